// The research history: every run kept in an SQLite database with its rows,
// for the History window, a term's trend and comparisons. WAL and a busy
// time-out let the window and the headless tool write at once; the schema's
// version is PRAGMA user_version, upgraded in code one step at a time.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/run_history.h"
#include "results/results_table.h"

namespace vx {

class Database;

// A time as ISO 8601 UTC, to the second.
std::string IsoUtc(std::time_t time);

class HistoryStore : public RunHistory {
  public:
    // $XDG_DATA_HOME (or ~/.local/share) + "/vexorin/history.sqlite3";
    // empty when neither names an absolute folder.
    static std::string DefaultPath();
    static constexpr int kSchemaVersion = 6;

    // Use::Read reads and never writes: no file or folder is made (a missing
    // history reads as an empty one), nothing upgraded or renamed, and a
    // read-only file is read. Use::Write makes the folder (0700) and file
    // (0600) when they are not there and brings the schema up to date; a
    // file a symbolic link names is used when the link is the user's own.
    // Either raises HistoryError, also for a database a newer version made
    // (left byte for byte as it is). A writer checks the whole file (PRAGMA
    // quick_check) once a day; a damaged one, then or later while recording,
    // is put aside under a name no file had (never deleted, never while
    // another connection of this process has it open) and a new history
    // started.
    enum class Use { Read, Write };
    explicit HistoryStore(const std::string& path, Use use = Use::Read);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Records a run with the table's rows; a table without rows is not
    // recorded (0). The run's count of rows is the table's.
    int64_t Record(HistoryRun run, const std::vector<ResultRow>& rows) override;
    std::vector<HistoryRun> Runs() const override;  // oldest first
    // Replaces the table's rows with the run's; false when there is no such run.
    bool Load(int64_t id, ResultsTable& table) const override;
    bool Delete(int64_t id) override;
    void Clear() override;
    // The runs that hold the key term (without regard to case, FoldCase),
    // oldest first.
    std::vector<TermPoint> TermHistory(std::string_view term) const override;

    // Runs recorded here while a shared history could not be reached, to be
    // sent there (oldest first); and the mark that one was sent.
    std::vector<HistoryRun> Pending() const;
    void MarkSent(int64_t id);
    // Records the run as waiting to be sent to a shared history.
    int64_t RecordPending(HistoryRun run, const std::vector<ResultRow>& rows,
                          const std::string& destination);
    // A waiting run its shared history refused for a lasting reason: kept,
    // with the reason, out of the way of the runs after it.
    void SetAside(int64_t id, const std::string& why);

    // Where a damaged history was put aside ("...history.sqlite3.corrupt-
    // 20261207T132500Z"), empty when none was; said once to the user.
    const std::string& SetAside() const { return setAside_; }
    // The connection, for the stores that keep their tables in the same
    // history (tracking projects); the schema is up to date for a writer.
    Database& Connection() const { return *db_; }
    int Schema() const { return schema_; }
    bool Writable() const { return use_ == Use::Write; }

    // Whole-file checks are this far apart (seconds).
    static constexpr int64_t kCheckEverySeconds = 24 * 3600;

  private:
    void OpenForReading();
    void OpenForWriting();
    void OpenEmpty();
    // Read-write, or unchanging (a file we may not write to).
    void OpenFile(bool readWrite);
    void Close() noexcept;
    int64_t Write(const HistoryRun& run, const std::vector<ResultRow>& rows, bool pending);
    int64_t UserVersion();
    std::vector<HistoryRun> RunsWhere(bool pendingOnly) const;
    void Upgrade();
    void CheckNowAndThen();
    void PutAsideAndStartAgain();
    std::string path_;
    Use use_;
    std::string setAside_;
    std::unique_ptr<Database> db_;
    int schema_ = 0;
    struct FileId {
        uint64_t device = 0, inode = 0;
        auto operator<=>(const FileId&) const = default;
    };
    std::optional<FileId> file_;  // the file this connection holds open
};

// What the user is told when a damaged history was put aside.
std::string SetAsideNotice(const std::string& setAside);

// The table's rows, for recording them away from it.
std::vector<ResultRow> RowsOf(const ResultsTable& table);

}  // namespace vx
