// Investigation files (".bki"): one INI section per row, item0..itemN-1.
#pragma once

#include <string>

#include "results/results_table.h"

namespace vx {

// Clears the table, then reads rows item0..item(n-1), n being the number of
// sections whose names fit the 16384-byte name list. Never throws; a missing
// or unreadable file leaves the table empty.
void LoadInvestigationFile(const std::string& path, ResultsTable& table);

// The file text for the table's rows in table order.
std::string FormatInvestigationFile(const ResultsTable& table);

// Writes atomically; false (old file untouched) on any failure.
bool SaveInvestigationFile(const std::string& path, const ResultsTable& table);

}  // namespace vx
