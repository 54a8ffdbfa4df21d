// What the rest of the program asks of a research history, whichever
// database keeps it: the SQLite file of this computer (HistoryStore) or a
// team's PostgreSQL server (PgHistoryStore).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "results/results_table.h"

namespace vx {

// How a run ended.
constexpr const char* kEndedDone = "done";
constexpr const char* kEndedStopped = "stopped";
constexpr const char* kEndedGaveUp = "gave up";

struct HistoryRun {
    int64_t id = 0;
    std::string started;  // ISO 8601 UTC: "2026-12-07T13:25:00Z"
    std::string seed, site, depth;
    int rows = 0;
    int parallel = 1, retries = 0;
    std::string ended = kEndedDone;
    // The decimal separator the rows' texts were written with; the figures
    // are also kept as numbers, whatever locale recorded them.
    char decimalSeparator = '.';
    // The tracking project a check was of; 0 for a research.
    int64_t project = 0;
    // The run's own name wherever it is kept (32 hex digits), so sending it
    // to a shared history again adds nothing; made when first recorded.
    std::string uid;
    // Who recorded it: "user@host"; made when first recorded.
    std::string recordedBy;
    // A run waiting on this computer: the shared history it is for (its URL
    // without a password; empty for one kept before destinations were),
    // and why that history would not take it when it was set aside.
    std::string pendingTo, setAside;
};

// One run that holds a key term: when, which, and the term's six texts.
struct TermPoint {
    std::string started;
    int64_t run = 0;
    std::vector<std::string> texts;
};

class RunHistory {
  public:
    virtual ~RunHistory() = default;
    // Records a run with its rows (and their top results) in one
    // transaction; a run without rows is not recorded (0). A run whose uid
    // is there already is not recorded again: its id.
    virtual int64_t Record(HistoryRun run, const std::vector<ResultRow>& rows) = 0;
    virtual std::vector<HistoryRun> Runs() const = 0;  // oldest first
    // Replaces the table's rows with the run's; false when there is no such run.
    virtual bool Load(int64_t id, ResultsTable& table) const = 0;
    virtual bool Delete(int64_t id) = 0;
    virtual void Clear() = 0;
    // The runs that hold the key term (by case folding), oldest first.
    virtual std::vector<TermPoint> TermHistory(std::string_view term) const = 0;
    // The rows of a run as recorded, for copying it elsewhere.
    virtual std::vector<ResultRow> RowsOfRun(int64_t id) const;
    // A shared history's URL without its password; empty for this
    // computer's file.
    virtual std::string SharedUrl() const { return {}; }
};

// A new run's uid: 128 random bits in hex.
std::string NewRunUid();
// "user@host" of this process.
std::string RecordedByHere();

}  // namespace vx
