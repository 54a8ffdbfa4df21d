#include "engine/metrics.h"

#include <cstdint>

#include "core/text.h"
#include "results/keyword_import.h"

namespace vx {

namespace {
// Competition and rank: 64-bit whole numbers, 0 when they do not read.
int64_t WholeOrZero(std::string_view text) {
    return ReadWholeNumber64(text).value_or(0);
}
// Demand as the suggestion page shows it, digit groups included, or as an
// imported list gives it (a range reads as its geometric middle).
int64_t DemandOrZero(std::string_view text) {
    return ReadDemandFigure(text).value_or(0);
}
// A figure the services did not give: what is derived from it is unknown
// too, never a 0 that would sort as the best.
bool Unknown(std::string_view text) {
    return text == kUnknown;
}
}  // namespace

std::string FormatCostPerProspect(std::string_view competition, std::string_view demand,
                                  char decimalSeparator) {
    if (Unknown(competition) || Unknown(demand)) return kUnknown;
    const int64_t a = WholeOrZero(competition);
    const int64_t b = DemandOrZero(demand);
    const double v = b != 0 ? static_cast<double>(a) / static_cast<double>(b) : 0.0;
    return FormatDecimal(v, 3, decimalSeparator);
}

std::string FormatProfitability(std::string_view competition, std::string_view rank,
                                char decimalSeparator) {
    if (Unknown(competition) || Unknown(rank)) return kUnknown;
    const int64_t c = WholeOrZero(competition);
    const int64_t r = WholeOrZero(rank);
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
    if (Unknown(demand) || Unknown(profitability)) return kUnknown;
    const double d = static_cast<double>(DemandOrZero(demand));
    const double p = ReadDecimal(profitability, decimalSeparator).value_or(0.0);
    double v = RoundHalfEven(d * p / 100.0);
    if (!(v > 0.0)) return "0";
    // A profitability from a loaded row may be anything; keep the text a
    // plain integer rather than a float's exponent form.
    if (v > 9.0e18) v = 9.0e18;
    return std::to_string(static_cast<int64_t>(v));
}

}  // namespace vx
