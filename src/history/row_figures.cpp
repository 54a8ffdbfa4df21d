#include "history/row_figures.h"

#include <charconv>
#include <string>

#include "core/text.h"

namespace vx {

std::optional<int64_t> WholeFigure(std::string_view text) {
    return ReadGroupedWholeNumber(text);
}

std::optional<double> DecimalFigure(std::string_view text, char separator) {
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::string plain(text);
    for (char& c : plain) {
        if (c == separator) {
            c = '.';
        } else if (c == '.' || !(c == '-' || (c >= '0' && c <= '9'))) {
            return std::nullopt;
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size()) return std::nullopt;
    return value;
}

}  // namespace vx
