// A connection to an SQLite database through its C API: opened on
// construction, closed on destruction, every failure a HistoryError.
#pragma once

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace vx {

struct HistoryError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// The file is damaged or no database at all.
struct HistoryCorrupt : HistoryError {
    using HistoryError::HistoryError;
};

class Database {
  public:
    // Opens (creating when create is set) the database file at path.
    Database(const std::string& path, bool create);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs statements that take no parameters and return no rows.
    void Execute(const char* sql);
    sqlite3* Handle() const { return db_; }
    // Raises the connection's last error, saying what was being done.
    [[noreturn]] void Fail(const std::string& doing) const;

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace vx
