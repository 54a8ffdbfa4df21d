#include "core/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>

#include <cmath>

namespace vx {
namespace {

TEST(TextPositions, SearchIsOneBasedAndZeroWhenMissing) {
    EXPECT_EQ(Pos("b", "abc"), 2);
    EXPECT_EQ(Pos("abc", "abc"), 1);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
    EXPECT_EQ(Pos("a", ""), 0);
    EXPECT_EQ(Pos("B", "abc"), 0);  // case-sensitive
}

TEST(TextPositions, CopyIsClampedNeverFails) {
    struct Case {
        long start, count;
        const char* want;
    } cases[] = {
        {1, 3, "abc"},  {2, 2, "bc"}, {0, 2, "ab"}, {-5, 1, "a"}, {4, 1, "d"},
        {2, 99, "bcd"}, {1, -1, ""},  {1, 0, ""},   {5, 1, ""},   {4, 5, "d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Copy("abcd", c.start, c.count), c.want) << c.start << "," << c.count;
    EXPECT_EQ(Copy("", 1, 5), "");
    EXPECT_EQ(From("abcd", 3), "cd");
    EXPECT_EQ(From("abcd", 5), "");
}

TEST(TextPositions, LowerCasingTouchesOnlyAsciiCapitals) {
    EXPECT_EQ(LowerAscii("AbZ@[`\xC4\xD6"), "abz@[`\xC4\xD6");
}

TEST(WholeNumberReading, AcceptsAndRejects) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},
        {"123", true, 123},
        {"+7", true, 7},
        {"-7", true, -7},
        {"   42", true, 42},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"$10", true, 16},
        {"x1F", true, 31},
        {"X1f", true, 31},
        {"0x10", true, 16},
        {"0XFF", true, 255},
        {"$FFFFFFFF", true, -1},
        {"0x80000000", true, INT32_MIN},
        {"$100000000", false, 0},
        {"$", false, 0},
        {"0x", false, 0},
        {"-$10", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"+", false, 0},
        {"-", false, 0},
        {"?", false, 0},
        {"12 ", false, 0},
        {"1,234", false, 0},
        {"12.0", false, 0},
        {"1e3", false, 0},
        {"\t5", false, 0},
    };
    for (const auto& c : cases) {
        const auto got = ReadWholeNumber(c.text);
        EXPECT_EQ(got.has_value(), c.ok) << '"' << c.text << '"';
        if (got && c.ok) {
            EXPECT_EQ(*got, c.value) << c.text;
        }
    }
}

TEST(WholeNumberReading, SixtyFourBitsAndDigitGroups) {
    struct Case {
        const char* text;
        std::optional<int64_t> whole64, grouped;
    } cases[] = {
        {"3000000000", 3000000000, 3000000000},
        {"-9223372036854775808", INT64_MIN, INT64_MIN},
        {"9223372036854775807", INT64_MAX, INT64_MAX},
        {"9223372036854775808", std::nullopt, std::nullopt},
        {"$FFFFFFFF", -1, -1},  // hex keeps its 32-bit rule
        {"1,200", std::nullopt, 1200},
        {" -12,345,678", std::nullopt, -12345678},
        {"1,20", std::nullopt, std::nullopt},
        {"1234,567", std::nullopt, std::nullopt},
        {",123", std::nullopt, std::nullopt},
        {"1,,234", std::nullopt, std::nullopt},
        {"1,234 ", std::nullopt, 1234},  // blanks around are ignored
        {"1.200", std::nullopt, 1200},
        {" 1 200 ", std::nullopt, 1200},
        {"12 345 678", std::nullopt, 12345678},
        {"1.234,567", std::nullopt, std::nullopt},  // one separator throughout
        {"1.5", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadWholeNumber64(c.text), c.whole64) << c.text;
        EXPECT_EQ(ReadGroupedWholeNumber(c.text), c.grouped) << c.text;
    }
}

TEST(DecimalReading, BothSeparators) {
    struct Case {
        const char* text;
        char sep;
        bool ok;
        double value;
    } cases[] = {
        {"12.5", '.', true, 12.5}, {"12,5", ',', true, 12.5},     {"12,5", '.', false, 0},
        {"12.5", ',', false, 0},   {" -0.25 ", '.', true, -0.25}, {"+3", '.', true, 3},
        {"1e3", '.', true, 1000},  {"1,5E-2", ',', true, 0.015},  {".5", '.', true, 0.5},
        {"5.", '.', true, 5},      {"1,234.5", '.', false, 0},    {"1 234", '.', false, 0},
        {"", '.', false, 0},       {".", '.', false, 0},          {"e5", '.', false, 0},
        {"1e", '.', false, 0},     {"98.1%", '.', false, 0},      {"-", '.', false, 0},
        {"1e999", '.', false, 0},  {"1e-999", '.', true, 0},
    };
    for (const auto& c : cases) {
        const auto got = ReadDecimal(c.text, c.sep);
        EXPECT_EQ(got.has_value(), c.ok) << '"' << c.text << "\" sep " << c.sep;
        if (got && c.ok) {
            EXPECT_DOUBLE_EQ(*got, c.value) << c.text;
        }
    }
}

TEST(DecimalFormatting, ThreeFractionDigitsRoundedNoTrailingZeros) {
    struct Case {
        double v;
        const char* dot;
    } cases[] = {
        {12.345, "12.345"},
        {0.5, "0.5"},
        {0, "0"},
        {98.1, "98.1"},
        {-40, "-40"},
        {12.3456, "12.346"},
        {1.0005, "1.001"},
        {0.0004, "0"},
        {0.9996, "1"},
        {99.9999, "100"},
        {2147483647, "2147483647"},
        {-0.0001, "0"},
        {123456789.125, "123456789.125"},
        {1e-20, "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDecimal(c.v, 3, '.'), c.dot) << c.v;
        std::string comma = c.dot;
        for (char& ch : comma)
            if (ch == '.') ch = ',';
        EXPECT_EQ(FormatDecimal(c.v, 3, ','), comma) << c.v;
    }
}

TEST(Rounding, HalvesGoToEven) {
    const double in[] = {0.5, 1.5, 2.5, -0.5, -1.5, 22.5, 21.5, 2.4999, 2.5001};
    const double want[] = {0, 2, 2, -0.0, -2, 22, 22, 2, 3};
    for (size_t i = 0; i < std::size(in); ++i) EXPECT_EQ(RoundHalfEven(in[i]), want[i]) << in[i];
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Only real UTF-8 passes through unchanged; anything else, encoded UTF-16
// surrogates and overlong forms included, is read as Windows-1252.
TEST(Utf8, ValidTextPassesEverythingElseIsWindows1252) {
    struct Case {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"plain", true},
        {"caf\xC3\xA9", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xED\x9F\xBF", true},   // U+D7FF, just below the surrogates
        {"\xED\xA0\x80", false},  // U+D800, a surrogate
        {"\xED\xBF\xBF", false},  // U+DFFF
        {"\xC0\xAF", false},      // overlong "/"
        {"\xF4\x90\x80\x80", false},
        {"\xE9t\xE9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(BytesToUtf8(c.bytes) == c.bytes, c.valid) << c.bytes;
    }
    EXPECT_EQ(BytesToUtf8("\xE9t\xE9"), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(BytesToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign of Windows-1252
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Numbers read and shown the same under any C locale the GUI may run under:
// one whose decimal point is a comma, one whose point is two bytes.
TEST(Numbers, TheCLocaleChangesNothing) {
    char tmpl[] = "/tmp/vexorin-locales-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    int built = 0;
    for (const char* name : {"de_DE", "ps_AF"}) {
        const std::string cmd = "localedef -i " + std::string(name) + " -f UTF-8 " + dir + "/" +
                                name + ".UTF-8 >/dev/null 2>&1";
        built += std::system(cmd.c_str()) == 0;
    }
    ASSERT_EQ(built, 2) << "localedef and the locale sources (package locales) are needed";
    ::setenv("LOCPATH", dir.c_str(), 1);
    for (const char* name : {"de_DE.UTF-8", "ps_AF.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name;
        EXPECT_STRNE(std::localeconv()->decimal_point, ".") << name;
        EXPECT_EQ(FormatDecimal(1234.5678, 3, '.'), "1234.568") << name;
        EXPECT_EQ(FormatDecimal(0.0004, 3, ','), "0") << name;
        EXPECT_EQ(FormatDecimal(98.1, 3, ','), "98,1") << name;
        EXPECT_EQ(FormatDecimal(1e20, 3, '.'), "100000000000000000000") << name;
        EXPECT_EQ(ReadDecimal("12.5", '.'), 12.5) << name;
        EXPECT_EQ(ReadDecimal("1e-400", '.'), 0.0) << name;
        std::setlocale(LC_ALL, "C");
    }
    ::unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// What a service or a file controls never reaches a terminal as a control.
TEST(ShowableText, ControlsAreShownNeverObeyed) {
    struct Case {
        const char *text, *shown;
    } cases[] = {
        {"plain \xC3\xA4 text \\ kept", "plain \xC3\xA4 text \\ kept"},
        {"clear\x1B[2J", "clear\\x1B[2J"},
        {"line\nbreak\rback", "line\\x0Abreak\\x0Dback"},
        {"del\x7F", "del\\x7F"},
        {"c1 \xC2\x9B"
         "31m",
         "c1 \\u009B31m"},
        {"lone \x9B byte", "lone \\x9B byte"},
        {"latin \xE9t\xE9", "latin \xE9t\xE9"},
        {"rtl \xE2\x80\xAEgnp.exe", "rtl \\u202Egnp.exe"},
        {"isolate \xE2\x81\xA6x\xE2\x81\xA9", "isolate \\u2066x\\u2069"},
        {"cut \xE2\x80", "cut \xE2\\x80"},
    };
    for (const Case& c : cases) EXPECT_EQ(ShowableText(c.text), c.shown) << c.text;
    EXPECT_EQ(ShowableText(std::string("nul\0x", 5)), "nul\\x00x");
}

}  // namespace
}  // namespace vx
