// The research history of a team on PostgreSQL, through libpq: the same
// tables and meanings as the SQLite history, its schema upgraded step by
// step in one transaction under an advisory lock, every run recorded in
// one transaction, parameters never pasted into SQL.
#pragma once

#include <optional>
#include <string>

#include "history/database.h"
#include "history/run_history.h"

struct pg_conn;

namespace vx {

// The server could not be reached, or the connection broke: what was to be
// written can be kept on this computer and sent later.
// A shared history's URL without any password (user:password@, or a
// password= in its query): what a waiting run keeps of where it goes.
std::string HistoryUrlWithoutPassword(const std::string& url);
// "host:port/database" of a URL, as libpq reads it (defaults filled in):
// two URLs of one destination however written give the same.
std::string HistoryDestination(const std::string& url);
// "user@host:port/database": the server a password kept for the URL
// belongs to, and is given to alone.
std::string HistoryPasswordServer(const std::string& url);

// The longest a statement on the shared history may take, in ms (a lock a
// third of it): VEXORIN_HISTORY_WAIT_MS, 100 to 600000, else 30 s.
int HistoryWaitMs();

struct HistoryUnreachable : HistoryError {
    using HistoryError::HistoryError;
};

class PgHistoryStore : public RunHistory {
  public:
    static constexpr int kSchemaVersion = 2;
    enum class Use { Read, Write };
    // url: "postgresql://user@host:5432/db?sslmode=verify-full"; the password
    // from libpq's places (PGPASSWORD, ~/.pgpass) or, when given, password.
    // Raises HistoryUnreachable, or HistoryError (a refused password, a
    // newer schema, no right to make the tables), each in one line.
    PgHistoryStore(const std::string& url, Use use,
                   const std::optional<std::string>& password = std::nullopt);
    ~PgHistoryStore() override;
    PgHistoryStore(const PgHistoryStore&) = delete;
    PgHistoryStore& operator=(const PgHistoryStore&) = delete;

    int64_t Record(HistoryRun run, const std::vector<ResultRow>& rows) override;
    std::vector<HistoryRun> Runs() const override;
    bool Load(int64_t id, ResultsTable& table) const override;
    bool Delete(int64_t id) override;
    void Clear() override;
    std::vector<TermPoint> TermHistory(std::string_view term) const override;
    std::string SharedUrl() const override { return HistoryUrlWithoutPassword(shown_); }

    // For the stores that keep their tables in the same database (tracking
    // projects): a statement's rows, NULL as none; raises as the rest does.
    using Row = std::vector<std::optional<std::string>>;
    std::vector<Row> Query(const char* sql,
                           const std::vector<std::optional<std::string>>& params = {}) const;
    bool Writable() const { return use_ == Use::Write; }
    // False for a database no client has recorded into yet (read as empty).
    bool Made() const { return SchemaOnServer() > 0; }
    // Two checks never run at once, on whichever machine: a lock the server
    // holds for this connection until it ends. False when another holds it.
    bool TryCheckLock();

  private:
    class Result;
    Result Exec(const char* sql, const std::vector<std::optional<std::string>>& params = {}) const;
    void Upgrade();
    int SchemaOnServer() const;
    [[noreturn]] void Fail(const std::string& doing, const char* message) const;

    pg_conn* conn_ = nullptr;
    Use use_;
    std::string shown_;
};

}  // namespace vx
