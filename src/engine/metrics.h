// Derived columns of a result row, computed from the row's display texts.
#pragma once

#include <string>
#include <string_view>

namespace vx {

// The text of a figure that is not known; metrics derived from it are too.
inline constexpr const char* kUnknown = "?";

// Competing pages per monthly search, "#######0.###".
std::string FormatCostPerProspect(std::string_view competition, std::string_view demand,
                                  char decimalSeparator);

// Score of the rank against the competition, "##0.###" followed by "%".
std::string FormatProfitability(std::string_view competition, std::string_view rank,
                                char decimalSeparator);

// max(0, round-half-even(demand x profitability / 100)) as whole digits;
// profitability is the column text without its "%" ("?" as it is).
std::string EstimateProspects(std::string_view demand, std::string_view profitability,
                              char decimalSeparator);

}  // namespace vx
