// The headless tool's work with the research history: listing runs or one
// term's runs, recording a run or an investigation file, and comparing two
// investigations (files or past runs). Each prints its lines on stdout and
// says what failed on one line of stderr.
#pragma once

#include <optional>
#include <string>

#include "history/history_store.h"
#include "results/results_table.h"

namespace vx::tool {

// --history [TERM]: exit code.
int ListHistory(const std::optional<std::string>& term);
// --serp-history TERM: the term's top ten in each run that holds it, beside
// the run before, with what entered, left and moved.
int SerpHistory(const std::string& term);
// --compare OLD NEW, each a .bki path or run:ID: exit code.
int CompareInvestigations(const std::string& older, const std::string& newer, char sep);
// --record FILE: the file's rows as a run started at its modification time;
// prints the run's id. Exit code.
int RecordFile(const std::string& file, HistoryRun run, char sep);
// --history-sync: the runs kept here while the shared history could not be
// reached, sent to it. Exit code.
int SyncHistory();
// --history-copy FROM TO: each a SQLite file or a postgresql:// URL. Exit code.
int CopyHistories(const std::string& from, const std::string& to);
// A research run as it ended; false (said on stderr) when it could not be kept.
bool RecordRun(const HistoryRun& run, const ResultsTable& table);

}  // namespace vx::tool
