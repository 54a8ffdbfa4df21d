#include "history/statement.h"

namespace vx {

Statement::Statement(Database& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.Handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK)
        db.Fail("cannot prepare a statement");
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::Bind(int index, std::string_view text) {
    // Bytes as they are (SQLite keeps text it is given unchecked): the table
    // holds bytes, not always UTF-8.
    // An empty view may have no data at all, which SQLite would take as NULL.
    if (sqlite3_bind_text64(stmt_, index, text.empty() ? "" : text.data(), text.size(),
                            SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        db_.Fail("cannot bind a value");
    return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) db_.Fail("cannot bind a value");
    return *this;
}

Statement& Statement::Bind(int index, std::optional<int64_t> value) {
    if (!value) {
        if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) db_.Fail("cannot bind a value");
        return *this;
    }
    return Bind(index, *value);
}

Statement& Statement::Bind(int index, std::optional<double> value) {
    const int rc =
        value ? sqlite3_bind_double(stmt_, index, *value) : sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) db_.Fail("cannot bind a value");
    return *this;
}

Statement& Statement::BindOrNull(int index, const std::optional<std::string>& text) {
    if (text) return Bind(index, std::string_view(*text));
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) db_.Fail("cannot bind a value");
    return *this;
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    db_.Fail("cannot run a statement");
}

void Statement::Run() {
    while (Step()) {
    }
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::string Statement::Text(int column) const {
    const unsigned char* bytes = sqlite3_column_text(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size))
                 : std::string();
}

double Statement::Real(int column) const {
    return sqlite3_column_double(stmt_, column);
}

bool Statement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

int64_t Statement::Integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

}  // namespace vx
