#include "engine/page_text.h"

#include <algorithm>

#include "core/text.h"

namespace vx {

std::string ReverseString(std::string_view text) {
    return std::string(text.rbegin(), text.rend());
}

std::string ReplaceAllNoCase(std::string_view text, std::string_view pattern,
                             std::string_view replacement) {
    std::string out(text);
    if (pattern.empty()) return out;
    const std::string pat = LowerAscii(pattern);
    std::string lower = LowerAscii(out);
    // Restarting every search at the front (the plain rule) never ends when
    // the replacement holds the pattern; then resume after the inserted text.
    // Otherwise resume L-1 bytes back: no match can start earlier, so the
    // result equals the restart-from-the-front one.
    const bool replacementHoldsPattern = LowerAscii(replacement).find(pat) != std::string::npos;
    size_t from = 0;
    while (true) {
        const size_t at = lower.find(pat, from);
        if (at == std::string::npos) break;
        out.replace(at, pat.size(), replacement);
        lower.replace(at, pat.size(), LowerAscii(replacement));
        if (replacementHoldsPattern) {
            from = at + replacement.size();
        } else {
            from = at >= pat.size() - 1 ? at - (pat.size() - 1) : 0;
        }
    }
    return out;
}

std::string StripNumberSeparators(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ',' && c != '.' && c != ' ') out += c;
    return out;
}

std::string ExtractDemandCell(std::string_view cell) {
    long e = Pos("</", cell);
    if (e > 0) e = e - 1;
    if (e == 0) e = static_cast<long>(cell.size());
    const long s = Pos("&nbsp;", cell) + 6;
    return Copy(cell, s, e - s + 1);
}

std::string ExtractTermCell(std::string_view cell) {
    const long a = Pos("</a>", cell);
    const std::string kept = Copy(cell, 1, a - 1);
    const std::string rev = ReverseString(kept);
    const long g = Pos(">", rev);
    const long c = Pos(";", rev);
    long k = 0;
    if (g > 0 && c > 0) {
        k = std::min(g, c);
    } else if (g > 0) {
        k = g;
    } else if (c > 0) {
        k = c;
    }
    return Copy(kept, static_cast<long>(kept.size()) - k + 2, k - 1);
}

}  // namespace vx
