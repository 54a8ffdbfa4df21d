#include "core/text.h"

#include <utf8proc.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vx {

long Pos(std::string_view pattern, std::string_view text) {
    if (pattern.empty() || text.empty()) return 0;
    const auto at = text.find(pattern);
    return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

std::string Copy(std::string_view text, long start, long count) {
    const long len = static_cast<long>(text.size());
    if (start < 1) start = 1;
    if (start > len || count <= 0) return {};
    const long avail = len - start + 1;
    return std::string(text.substr(static_cast<size_t>(start - 1),
                                   static_cast<size_t>(count < avail ? count : avail)));
}

std::string From(std::string_view text, long start) {
    return std::string(FromView(text, start));
}

std::string_view FromView(std::string_view text, long start) {
    const long len = static_cast<long>(text.size());
    if (start < 1) start = 1;
    if (start > len) return {};
    return text.substr(static_cast<size_t>(start - 1));
}

std::string_view TrimView(std::string_view text, std::string_view blanks, bool leftOnly) {
    const size_t b = text.find_first_not_of(blanks);
    if (b == std::string_view::npos) return {};
    const size_t e = leftOnly ? text.size() : text.find_last_not_of(blanks) + 1;
    return text.substr(b, e - b);
}

char LowerAsciiChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAsciiChar(a[i]) != LowerAsciiChar(b[i])) return false;
    return true;
}

void LowerAsciiInPlace(std::string& text) {
    for (char& c : text) c = LowerAsciiChar(c);
}

std::string PrintableName(std::string_view name) {
    std::string out;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ShowableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char buf[12];
    for (size_t i = 0; i < text.size();) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x20 || u == 0x7F) {
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
            ++i;
            continue;
        }
        if (u < 0x80) {
            out += text[i++];
            continue;
        }
        const auto [cp, n] = Utf8SequenceAt(text, i);
        if (n == 0) {
            // 0x80-0x9F alone are C1 controls to an 8-bit terminal.
            if (u <= 0x9F) {
                std::snprintf(buf, sizeof buf, "\\x%02X", u);
                out += buf;
            } else {
                out += text[i];
            }
            ++i;
            continue;
        }
        const bool control = (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
                             cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
                             (cp >= 0x2066 && cp <= 0x2069);
        if (control) {
            std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::string FoldCase(std::string_view text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return LowerAscii(text);
    utf8proc_uint8_t* folded = nullptr;
    const utf8proc_ssize_t n = utf8proc_map(
        reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
        static_cast<utf8proc_ssize_t>(text.size()), &folded,
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT |
                                       UTF8PROC_CASEFOLD | UTF8PROC_IGNORE));
    if (n < 0) return LowerAscii(text);
    std::string out(reinterpret_cast<const char*>(folded), static_cast<size_t>(n));
    std::free(folded);
    return out;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAsciiChar(c);
    return out;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

namespace {
// "$", "x" or "0x" before hex digits; 0 when the text is not hex.
size_t HexPrefixLength(std::string_view s) {
    if (s[0] == '$' || s[0] == 'x' || s[0] == 'X') return 1;
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) return 2;
    return 0;
}

// Hex digits, always 32 bits (above 0x7FFFFFFF they read as negative).
std::optional<int64_t> ReadHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint64_t v = 0;
    for (const char c : digits) {
        const int h = HexValue(c);
        if (h < 0) return std::nullopt;
        v = v * 16 + static_cast<uint64_t>(h);
        if (v > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// A sign and decimal digits within [-limit - 1, limit].
std::optional<int64_t> ReadSignedDecimal(std::string_view s, uint64_t limit) {
    const bool negative = s[0] == '-';
    if (s[0] == '+' || s[0] == '-') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    uint64_t v = 0;
    for (const char c : s) {
        if (!IsDigit(c)) return std::nullopt;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > limit + 1) return std::nullopt;
    }
    if (!negative && v > limit) return std::nullopt;
    return negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
}

// The whole-number rule with the decimal range as a parameter: leading
// blanks skipped, hex always 32 bits, decimal within [-limit - 1, limit].
std::optional<int64_t> ReadWhole(std::string_view text, uint64_t limit) {
    const std::string_view s = TrimView(text, " ", true);
    if (s.empty()) return std::nullopt;
    if (const size_t hex = HexPrefixLength(s)) return ReadHex(s.substr(hex));
    return ReadSignedDecimal(s, limit);
}
}  // namespace

std::optional<int32_t> ReadWholeNumber(std::string_view text) {
    const auto v = ReadWhole(text, 2147483647u);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int64_t> ReadWholeNumber64(std::string_view text) {
    return ReadWhole(text, 9223372036854775807u);
}

std::optional<int64_t> ReadGroupedWholeNumber(std::string_view text) {
    text = TrimView(text, " ");
    if (auto v = ReadWholeNumber64(text)) return v;
    // "1,200", "1.200", "1 200" or "-12,345,678": groups of three after the
    // first, one separator throughout.
    size_t i = 0;
    std::string digits(text.substr(i, !text.empty() && (text[i] == '+' || text[i] == '-')));
    i += digits.size();
    size_t group = 0, groups = 0;
    char separator = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ',' || c == '.' || c == ' ') {
            if (separator == 0) separator = c;
            if (c != separator) return std::nullopt;
            if (group == 0 || (groups > 0 && group != 3) || (groups == 0 && group > 3))
                return std::nullopt;
            group = 0, ++groups;
        } else if (IsDigit(text[i])) {
            digits += text[i], ++group;
        } else {
            return std::nullopt;
        }
    }
    if (groups == 0 || group != 3) return std::nullopt;
    return ReadWholeNumber64(digits);
}

namespace {
// A cursor over a number's text that copies what it accepts.
struct DecimalScan {
    std::string_view s;
    size_t i = 0;
    std::string out;

    bool AtOneOf(std::string_view set) const {
        return i < s.size() && set.find(s[i]) != std::string_view::npos;
    }
    size_t CopyDigits() {
        const size_t start = i;
        while (i < s.size() && IsDigit(s[i])) out += s[i++];
        return i - start;
    }
};

// The decimal grammar, checked by us and handed on in '.'-form, so neither
// the C locale nor from_chars' own leniency decides what reads.
std::optional<std::string> NormalizeDecimal(std::string_view text, char decimalSeparator) {
    DecimalScan scan{.s = TrimView(text, " "), .i = 0, .out = {}};
    if (scan.AtOneOf("+-")) {
        if (scan.s[scan.i++] == '-') scan.out += '-';
    }
    size_t digits = scan.CopyDigits();
    if (scan.AtOneOf(std::string_view(&decimalSeparator, 1))) {
        scan.out += '.';
        ++scan.i;
        digits += scan.CopyDigits();
    }
    if (digits == 0) return std::nullopt;
    if (scan.AtOneOf("eE")) {
        scan.out += 'e';
        ++scan.i;
        if (scan.AtOneOf("+-")) scan.out += scan.s[scan.i++];
        if (scan.CopyDigits() == 0) return std::nullopt;
    }
    if (scan.i != scan.s.size()) return std::nullopt;
    return scan.out;
}
}  // namespace

std::optional<long double> ReadDecimalWide(std::string_view text, char decimalSeparator) {
    const auto norm = NormalizeDecimal(text, decimalSeparator);
    if (!norm) return std::nullopt;
    long double v = 0;
    const auto res = std::from_chars(norm->data(), norm->data() + norm->size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Past even this range: a negative exponent is as good as 0, else
        // it is larger than anything that reads.
        if (norm->find("e-") != std::string::npos) return 0.0L;
        return (*norm)[0] == '-' ? -HUGE_VALL : HUGE_VALL;
    }
    if (res.ec != std::errc() || res.ptr != norm->data() + norm->size()) return std::nullopt;
    return v;
}

std::optional<double> ReadDecimal(std::string_view text, char decimalSeparator) {
    const auto parsed = NormalizeDecimal(text, decimalSeparator);
    if (!parsed) return std::nullopt;
    const std::string& norm = *parsed;
    double v = 0;
    const auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow reads as 0; overflow is not a number we can compare.
        if (norm.find("e-") != std::string::npos) return 0.0;
        return std::nullopt;
    }
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size()) return std::nullopt;
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::string BackslashEscape(std::string_view text, std::string_view specials) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (specials.find(c) == std::string_view::npos) {
            out += c;
            continue;
        }
        out += '\\';
        switch (c) {
            case '\n':
                out += 'n';
                break;
            case '\r':
                out += 'r';
                break;
            case '\t':
                out += 't';
                break;
            case '\0':
                out += '0';
                break;
            default:
                out += c;  // backslash, quote
        }
    }
    return out;
}

std::pair<uint32_t, size_t> Utf8SequenceAt(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) return {c, 1};
    size_t n;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
        n = 2, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, cp = c & 0x07;
    } else {
        return {0, 0};
    }
    if (i + n > s.size()) return {0, 0};
    for (size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return {0, 0};
        cp = (cp << 6) | (d & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((n == 2 && cp < 0x80) || (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return {0, 0};
    return {cp, n};
}

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const size_t n = Utf8SequenceAt(s, i).second;
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    constexpr uint32_t kReplacement = 0xFFFD;
    auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u < 0xE000) ? kReplacement : u);
    }
    if (i < bytes.size()) AppendUtf8(out, kReplacement);
    return out;
}

namespace {
// Windows-1252 at 0x80..0x9F; the five holes keep their C1 code points, as
// the WHATWG decoder does. From 0xA0 on it is Latin-1.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::string BytesToUtf8(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return bytes;
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes)
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
    return out;
}

double RoundHalfEven(double value) {
    // The default floating-point rounding mode is to nearest, ties to even.
    return std::nearbyint(value);
}

namespace {
// |value| to 15 significant digits, as a display formatter shows it: the
// digits and how many of them stand before the decimal point.
std::pair<std::string, int> SignificantDigits(double value) {
    // to_chars, never printf: the C locale the GUI runs under must not
    // change a digit (a multi-byte decimal point would shift them all).
    char buf[64] = {};
    std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value), std::chars_format::scientific, 14);
    // buf: d.dddddddddddddde[+-]XX
    std::string digits(1, buf[0]);
    digits.append(buf + 2, 14);
    int exp10 = 0;
    const char* e = buf + 17;
    std::from_chars(e + (*e == '+' ? 1 : 0), buf + std::strlen(buf), exp10);
    return {digits, exp10 + 1};
}

// The digits as whole part and fraction, intDigits of them before the point.
std::pair<std::string, std::string> SplitAtPoint(const std::string& digits, int intDigits) {
    if (intDigits <= 0) return {"0", std::string(static_cast<size_t>(-intDigits), '0') + digits};
    const size_t whole = static_cast<size_t>(intDigits);
    if (whole >= digits.size()) return {digits + std::string(whole - digits.size(), '0'), ""};
    return {digits.substr(0, whole), digits.substr(whole)};
}

// Adds one at the last digit; true when it carries out of the first.
bool CarryInto(std::string& digits) {
    for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
        if (*d != '9') {
            ++*d;
            return false;
        }
        *d = '0';
    }
    return true;
}
}  // namespace

std::string FormatDecimal(double value, int maxFraction, char decimalSeparator) {
    if (!std::isfinite(value)) return "0";
    // 15 significant digits first, then decimal rounding: 1.0005 shows as
    // 1.001 although its binary value is below.
    const auto [digits, intDigits] = SignificantDigits(value);
    auto [intPart, frac] = SplitAtPoint(digits, intDigits);
    // Round half up at maxFraction digits.
    const size_t keep = static_cast<size_t>(maxFraction);
    const bool roundUp = frac.size() > keep && frac[keep] >= '5';
    if (frac.size() > keep) frac.resize(keep);
    if (roundUp && CarryInto(frac) && CarryInto(intPart)) intPart.insert(intPart.begin(), '1');
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    const size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    std::string out;
    if (value < 0 && !(intPart == "0" && frac.empty())) out += '-';
    out += intPart;
    if (!frac.empty()) {
        out += decimalSeparator;
        out += frac;
    }
    return out;
}

}  // namespace vx
