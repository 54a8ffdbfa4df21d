// The two layouts of "Save keywords list...": the checked rows' key terms,
// one per line, or the whole table as CSV (RFC 4180, UTF-8).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/comparison.h"
#include "results/results_table.h"

namespace vx {

// One CSV field (RFC 4180) in UTF-8, quoted where it must be; a text a
// spreadsheet would run as a formula ("=...", "+...") gets a leading
// apostrophe, for terms come from pages anyone writes.
std::string CsvField(std::string_view bytes);

std::string FormatKeywordList(const ResultsTable& table);
// With changes (one a row, as a comparison shows them), a last column
// "Change" holds them.
// Terms gone since the older investigation follow the rows, as the window
// shows them: their older texts, unchecked, their change "gone".
std::string FormatCsvTable(const ResultsTable& table,
                           const std::vector<std::string>* changes = nullptr,
                           const std::vector<TermChange>* gone = nullptr);

}  // namespace vx
