// A row's texts as the numbers every history keeps beside them, whatever
// locale wrote them, so reports in SQL compute right.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vx {

// "1,200" -> 1200; none for "?", "-" and anything else.
std::optional<int64_t> WholeFigure(std::string_view text);
// A figure as the table shows it ("2.736", "49,911%" with a decimal comma);
// none for "?", "-" and anything else.
std::optional<double> DecimalFigure(std::string_view text, char separator);

}  // namespace vx
