// The two layouts of "Save keywords list...": the checked rows' key terms,
// one per line, or the whole table as CSV (RFC 4180, UTF-8).
#pragma once

#include <string>

#include "results/results_table.h"

namespace vx {

// Table texts are bytes; valid UTF-8 passes unchanged, anything else is taken
// as Latin-1.
std::string BytesToUtf8(const std::string& bytes);
bool IsValidUtf8(const std::string& bytes);

std::string FormatKeywordList(const ResultsTable& table);
std::string FormatCsvTable(const ResultsTable& table);

extern const char* const kColumnCaptions[kColumnCount];

}  // namespace vx
