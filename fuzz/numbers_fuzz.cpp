// Whole-number and decimal reading on arbitrary text, with the properties
// that tie them to formatting.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/text.h"
#include "engine/metrics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto v = vx::ReadWholeNumber(text)) {
        if (vx::ReadWholeNumber(std::to_string(*v)) != v) std::abort();
    }
    for (char sep : {'.', ','}) {
        if (const auto d = vx::ReadDecimal(text, sep)) {
            if (!std::isfinite(*d)) std::abort();
            if (std::fabs(*d) < 1e15) {
                const std::string shown = vx::FormatDecimal(*d, 3, sep);
                const auto back = vx::ReadDecimal(shown, sep);
                if (!back || std::fabs(*back - *d) > 0.0005 + std::fabs(*d) * 1e-12) std::abort();
            }
        }
    }
    const size_t half = size / 2;
    const std::string a = text.substr(0, half), b = text.substr(half);
    vx::FormatCostPerProspect(a, b, '.');
    // What does not read is unknown and so is what comes of it; two plain
    // figures always give a percentage and whole digits.
    auto figure = [](const std::string& t) {
        return !t.empty() && t.size() < 18 &&
               t.find_first_not_of("0123456789") == std::string::npos;
    };
    const std::string p = vx::FormatProfitability(a, b, '.');
    if (p == vx::kUnknown ? (figure(a) && figure(b)) : (p.empty() || p.back() != '%')) std::abort();
    const std::string e = vx::EstimateProspects(a, b, '.');
    if (e == vx::kUnknown ? (figure(a) && figure(b))
                          : (e.empty() || e.find_first_not_of("0123456789") != std::string::npos))
        std::abort();
    return 0;
}
