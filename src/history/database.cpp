#include "history/database.h"

#include <cstdio>

#include "core/text.h"

namespace vx {

namespace {
// A path as a file: URI, every byte a URI could read otherwise escaped.
std::string UriOf(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '%' || c == '?' || c == '#') {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", u);
            uri += buf;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}
}  // namespace

Database::Database(const std::string& path, Mode mode) : path_(path) {
    const bool readOnly = mode == Mode::Unchanging;
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0) |
                      (mode == Mode::Unchanging ? SQLITE_OPEN_URI : 0) | SQLITE_OPEN_NOMUTEX;
    const std::string name = mode == Mode::Unchanging ? UriOf(path) : path;
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw HistoryError("cannot open " + PrintableName(path) + ": " + why);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() {
    sqlite3_close(db_);
}

namespace {
[[noreturn]] void Raise(sqlite3* db, const std::string& path, const std::string& why) {
    const int code = sqlite3_extended_errcode(db) & 0xFF;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        throw HistoryCorrupt("the research history " + PrintableName(path) + " is damaged: " + why);
    throw HistoryError(why);
}
}  // namespace

void Database::Execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string why = message ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        Raise(db_, path_, why);
    }
}

void Database::RollbackQuietly() noexcept {
    // SQLite may have rolled back already (a full disk, an I/O error).
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Database::Fail(const std::string& doing) const {
    Raise(db_, path_, doing + ": " + sqlite3_errmsg(db_));
}

}  // namespace vx
