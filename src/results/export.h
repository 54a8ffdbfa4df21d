// The two layouts of "Save keywords list...": the checked rows' key terms,
// one per line, or the whole table as CSV (RFC 4180, UTF-8).
#pragma once

#include <string>

#include "results/results_table.h"

namespace vx {

std::string FormatKeywordList(const ResultsTable& table);
std::string FormatCsvTable(const ResultsTable& table);

}  // namespace vx
