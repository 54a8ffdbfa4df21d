// Which history a program uses: the SQLite file of this computer, or a
// team's PostgreSQL named by a URL (--history-db, VEXORIN_HISTORY_URL);
// and what keeps a run safe when the shared one cannot be reached.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "history/run_history.h"
#include "results/preferences.h"

namespace vx {

// VEXORIN_HISTORY_URL when set, else empty (this computer's history).
std::string HistoryUrlFromEnvironment();
// Where a program's runs go: VEXORIN_HISTORY_URL, else the shared history
// the preferences name, else this computer's file.
std::string HistoryWhere(const Preferences& preferences);
// "postgresql://..." or "postgres://...".
bool IsSharedHistoryUrl(const std::string& url);

// The history at url (a shared one), or the SQLite file at a path (empty:
// the default file). Raises HistoryError (HistoryUnreachable for a server
// that does not answer).
std::unique_ptr<RunHistory> OpenHistory(const std::string& where, bool forWriting);

struct Recorded {
    int64_t id = 0;
    bool keptHere = false;  // in this computer's history, to be sent later
    std::string notice;     // what the user hears once; empty when all went well
};

// Records a run in the shared history at url; when it cannot be reached,
// goes away while recording, refuses or cannot take it, in this computer's
// history marked to be sent, saying why. Runs waiting here are sent after
// it when it takes it.
Recorded RecordShared(const std::string& url, const HistoryRun& run,
                      const std::vector<ResultRow>& rows);

struct Sent {
    int sent = 0;  // each once, however often it is tried
    // One line for each run the history refused and that was set aside.
    std::vector<std::string> setAside;
};

// Sends the runs waiting in this computer's history for the shared one at
// url (runs kept for another shared history stay), those set aside before
// tried again; runs kept before runs knew their destination go too.
Sent SendWaitingRuns(const std::string& url);
// The shared histories runs wait for (their URLs without a password), each
// once.
std::vector<std::string> WaitingDestinations();
// The runs waiting on this computer to be sent, each with where it is going
// and, when it was set aside, why (none when there is no history here).
std::vector<HistoryRun> WaitingRuns();

// Copies every run of one history into another, rows and top results too,
// and its tracking projects with their terms (matched by name), each
// copied check belonging to the copy of its own project; a run there
// already (by uid) is not copied again. How many runs were new.
int CopyHistory(RunHistory& from, RunHistory& to);

}  // namespace vx
