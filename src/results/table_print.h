// The plain-text form of the table the headless tool prints: one line per
// row, check mark (1/0), key term and six column texts separated by TAB;
// TAB, CR, LF and backslash are written as \t, \r, \n and \\.
#pragma once

#include <string>
#include <string_view>

#include "results/results_table.h"

namespace vx {

std::string EscapeField(std::string_view text);
std::string FormatTableLines(const ResultsTable& table);

}  // namespace vx
