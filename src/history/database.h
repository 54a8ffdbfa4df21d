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
    // Unchanging: a file nobody may write to (nor make its -shm beside it),
    // read as it stands.
    enum class Mode { Unchanging, ReadWrite, Create };
    // Opens the database file at path (":memory:" for one in memory).
    Database(const std::string& path, Mode mode);
    Database(const std::string& path, bool create)
        : Database(path, create ? Mode::Create : Mode::ReadWrite) {}
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs statements that take no parameters and return no rows.
    void Execute(const char* sql);
    // Ends the transaction in progress, if any, keeping quiet about its own
    // failure: the error that made it necessary is the one to tell.
    void RollbackQuietly() noexcept;
    sqlite3* Handle() const { return db_; }
    // Raises the connection's last error, saying what was being done.
    [[noreturn]] void Fail(const std::string& doing) const;

  private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

}  // namespace vx
