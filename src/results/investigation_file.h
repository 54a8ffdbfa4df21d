// Investigation files (".bki"): one INI section per row, item0..itemN-1.
#pragma once

#include <string>

#include "results/atomic_file.h"
#include "results/results_table.h"

namespace vx {

using LoadStatus = ReadStatus;

// Clears the table, then reads rows item0..item(n-1), n being the number of
// sections in the file. Never throws; a file that is missing, unreadable,
// not a regular file or over the size cap leaves the table empty, and the
// status says which.
LoadStatus LoadInvestigationFile(const std::string& path, ResultsTable& table);
// A short text for the status bar: why a file was not opened.
const char* LoadStatusText(LoadStatus status);

// The file text for the table's rows in table order.
std::string FormatInvestigationFile(const ResultsTable& table);

// Writes atomically; false (old file untouched) on any failure.
bool SaveInvestigationFile(const std::string& path, const ResultsTable& table);

}  // namespace vx
