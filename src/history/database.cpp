#include "history/database.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstdint>
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
    // A copy read as it stands ignores a write-ahead log, and the runs it
    // holds would be missing without a word: such a history is read through
    // SQLite's read-only WAL reading, or says it cannot be.
    struct stat wal {};
    if (mode == Mode::Unchanging && ::stat((path + "-wal").c_str(), &wal) == 0 && wal.st_size > 0) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK &&
            sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) ==
                SQLITE_OK) {
            sqlite3_extended_result_codes(db_, 1);
            return;
        }
        const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw HistoryError("cannot read the runs waiting in the write-ahead log of " +
                           PrintableName(path) + ": " + why);
    }
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
// "the disk is full" or "the file size limit is reached" when either is
// why a write into the history failed; empty otherwise.
std::string WhyNoRoom(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) == 0 &&
        static_cast<uint64_t>(disk.f_bavail) * disk.f_frsize < (1u << 20))
        return "the disk is full";
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        for (const std::string& file : {path, path + "-wal", path + "-journal"}) {
            struct stat st {};
            if (::stat(file.c_str(), &st) == 0 &&
                static_cast<rlim_t>(st.st_size) + (64u << 10) >= limit.rlim_cur)
                return "the file size limit is reached";
        }
    }
    return {};
}

[[noreturn]] void Raise(sqlite3* db, const std::string& path, std::string why) {
    const int code = sqlite3_extended_errcode(db) & 0xFF;
    // SQLite calls a write into a full disk "disk I/O error" on some paths
    // and keeps no errno: the disk and the file size limit are looked at.
    if (code == SQLITE_FULL || code == SQLITE_IOERR)
        if (const std::string cause = WhyNoRoom(path); !cause.empty()) why += " (" + cause + ")";
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
