// Byte-string rules shared by the scrapers, the metrics and the sort.
// Positions are 1-based and 0 means "not found", so code ported from the
// page-walking rules can use the numbers exactly as they are written there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace vx {

// Position of the first occurrence of pattern in text, 1-based; 0 when absent
// or when either text is empty.
long Pos(std::string_view pattern, std::string_view text);

// Copy of count bytes from 1-based position start, clamped to the text.
std::string Copy(std::string_view text, long start, long count);

// The text from 1-based position start to its end.
std::string From(std::string_view text, long start);
// The same, as a view into text: a walk by positions copies nothing.
std::string_view FromView(std::string_view text, long start);

// text without the bytes of `blanks` at its start (and, unless leftOnly, at
// its end).
std::string_view TrimView(std::string_view text, std::string_view blanks, bool leftOnly = false);

// Equal when lower-cased by LowerAscii's rule, without copying either.
bool EqualsNoCase(std::string_view a, std::string_view b);

// Lower-cases "A".."Z" only; every other byte is kept.
std::string LowerAscii(std::string_view text);
// A file name as one line of a message: backslash, TAB, CR and LF as \\,
// \t, \r, \n and other control bytes as \xNN, so a name cannot start a
// line of its own.
std::string PrintableName(std::string_view name);
// Text a service or a file gave, made safe to show on a terminal, in a
// message or a table: control characters (C0, DEL, C1), bidirectional
// controls and bytes 0x80-0x9F that are no UTF-8 become "\x1B", "\u202E";
// the rest stays, backslashes included.
std::string ShowableText(std::string_view text);
// The text with case folded for every script (Unicode NFKC case folding),
// so "Äpfel" and "äpfel" are one term; bytes that are not UTF-8 are folded
// by LowerAscii's rule instead.
std::string FoldCase(std::string_view text);
void LowerAsciiInPlace(std::string& text);
char LowerAsciiChar(char c);

// Whole-number reading: leading spaces, then [+-]digits within int32, or a
// "$", "x", "X", "0x", "0X" prefix with hex digits taken as 32 bits. Nothing
// may follow.
std::optional<int32_t> ReadWholeNumber(std::string_view text);
// The same rule with decimal numbers within int64.
std::optional<int64_t> ReadWholeNumber64(std::string_view text);
// ReadWholeNumber64, or a decimal number written with ",", "." or a blank
// (one of them throughout) between groups of three digits ("1,200", "1.200",
// "12 345 678"); blanks around it are ignored.
std::optional<int64_t> ReadGroupedWholeNumber(std::string_view text);

// Decimal reading with the given decimal separator: spaces around, optional
// sign, digits with an optional fraction, optional exponent; no grouping.
std::optional<double> ReadDecimal(std::string_view text, char decimalSeparator);
// The same grammar read as a long double, for comparing magnitudes of texts
// beyond a double's range ("1e400"); out of even that range: +-HUGE_VALL.
std::optional<long double> ReadDecimalWide(std::string_view text, char decimalSeparator);

// Formats with at most maxFraction fraction digits, rounded half away from
// zero on the value's 15 significant decimal digits; no trailing zeros, no
// separator for a whole number, no grouping.
std::string FormatDecimal(double value, int maxFraction, char decimalSeparator);

// Writes each byte of `specials` found in text as a backslash sequence:
// "\\", "\"", "\n", "\r", "\t", "\0" for backslash, quote, LF, CR, TAB, NUL.
std::string BackslashEscape(std::string_view text, std::string_view specials);

// Texts are bytes; valid UTF-8 passes unchanged, anything else is taken as
// Windows-1252 (pages and files from Windows). The GUI and the exports show
// bytes through this one rule.
bool IsValidUtf8(const std::string& bytes);
// The code point of the UTF-8 sequence at text[i] and its length in bytes;
// length 0 where none starts (a stray byte, an overlong form, a surrogate).
std::pair<uint32_t, size_t> Utf8SequenceAt(std::string_view text, size_t i);
// One code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);
// UTF-16 bytes (without byte-order mark) as UTF-8; a lone surrogate or an odd
// last byte becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
std::string BytesToUtf8(const std::string& bytes);

// Rounds to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);

}  // namespace vx
