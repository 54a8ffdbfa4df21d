#include "engine/metrics.h"

#include <cstdint>
#include <optional>

#include "core/text.h"
#include "results/keyword_import.h"

namespace vx {

namespace {
// A figure a service or a file gave, or nothing when it is unknown: "?", a
// negative number, a text that does not read or lies beyond 64 bits. An
// invented 0 would sort as the best row, so what is derived from an
// unknown figure is unknown too.
std::optional<int64_t> Figure(std::string_view text) {
    if (text == kUnknown) return std::nullopt;
    const auto n = ReadWholeNumber64(text);
    return n && *n >= 0 ? n : std::nullopt;
}
// A count: none is asked for an empty term, which counts 0.
std::optional<int64_t> Count(std::string_view text) {
    return text.empty() ? std::optional<int64_t>(0) : Figure(text);
}
// A rank: "-" is a site not found, 0.
std::optional<int64_t> Rank(std::string_view text) {
    return text == "-" ? std::optional<int64_t>(0) : Figure(text);
}
// Demand as the suggestion page shows it, digit groups included, or as an
// imported list gives it (a range reads as its geometric middle).
std::optional<int64_t> Demand(std::string_view text) {
    if (text == kUnknown) return std::nullopt;
    return ReadDemandFigure(text);
}
}  // namespace

std::string FormatCostPerProspect(std::string_view competition, std::string_view demand,
                                  char decimalSeparator) {
    const auto count = Count(competition);
    const auto searches = Demand(demand);
    if (!count || !searches) return kUnknown;
    const int64_t a = *count, b = *searches;
    const double v = b != 0 ? static_cast<double>(a) / static_cast<double>(b) : 0.0;
    return FormatDecimal(v, 3, decimalSeparator);
}

std::string FormatProfitability(std::string_view competition, std::string_view rank,
                                char decimalSeparator) {
    const auto count = Count(competition);
    const auto place = Rank(rank);
    if (!count || !place) return kUnknown;
    const int64_t c = *count, r = *place;
    int64_t page = r / 20;
    if (r % 20 > 0) page += 1;
    double weight = 1.0;
    for (int64_t k = 1; k < page && weight > 0.0; ++k) weight /= 2.0;
    double f;
    if (c < 1) {
        f = 1.0;
    } else {
        f = weight * static_cast<double>(c - r + 1) / static_cast<double>(c);
    }
    if (r == 0) f = 0.0;
    return FormatDecimal(f * 100.0, 3, decimalSeparator) + "%";
}

std::string EstimateProspects(std::string_view demand, std::string_view profitability,
                              char decimalSeparator) {
    const auto searches = Demand(demand);
    const auto share = ReadDecimal(profitability, decimalSeparator);
    if (!searches || !share) return kUnknown;
    const double d = static_cast<double>(*searches), p = *share;
    double v = RoundHalfEven(d * p / 100.0);
    if (!(v > 0.0)) return "0";
    // A profitability from a loaded row may be anything; keep the text a
    // plain integer rather than a float's exponent form.
    if (v > 9.0e18) v = 9.0e18;
    return std::to_string(static_cast<int64_t>(v));
}

}  // namespace vx
