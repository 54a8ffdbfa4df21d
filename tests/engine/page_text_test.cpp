#include "engine/page_text.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(ReplaceAllNoCase, MatchesWithoutCaseKeepsTheRest) {
    struct Case {
        const char *text, *pattern, *replacement, *want;
    } cases[] = {
        {"Red RED red", "red", "x", "x x x"},
        {"Red RED red", "", "x", "Red RED red"},
        {"\"Red Shoes\"", "\"", "", "Red Shoes"},
        {"Red Shoes", " ", "%20", "Red%20Shoes"},
        {"red  shoes ", " ", "+", "red++shoes+"},
        {"aabb", "ab", "", ""},  // a deletion that joins a new match
        {"abc", "B", "-", "a-c"},
        {"", "a", "b", ""},
        {"\xC4Red", "red", "x", "\xC4x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAllNoCase(c.text, c.pattern, c.replacement), c.want) << c.text;
}

TEST(ReplaceAllNoCase, EndsWhenReplacementHoldsPattern) {
    EXPECT_EQ(ReplaceAllNoCase("a a", "a", "aa"), "aa aa");
    EXPECT_EQ(ReplaceAllNoCase("xX", "x", "[X]"), "[X][X]");
}

TEST(PageText, ReverseAndStrip) {
    EXPECT_EQ(ReverseString(""), "");
    EXPECT_EQ(ReverseString("abc"), "cba");
    EXPECT_EQ(StripNumberSeparators("1,234.5 6"), "123456");
    EXPECT_EQ(StripNumberSeparators(",. "), "");
}

TEST(ExtractDemandCell, FollowsItsPositionRules) {
    struct Case {
        const char *cell, *want;
    } cases[] = {
        {"<td>&nbsp;4512", "4512"},
        {"<td><b>&nbsp;4512</b>", "4512"},
        {"</b>", ""},
        {"", ""},
        {"<td>&nbsp;1,234 ", "1,234 "},      // not cleaned
        {"<td>4512</b>", "512"},             // no &nbsp;: from position 6
        {"<td>&nbsp;12<i>3</i>", "12<i>3"},  // up to the first "</"
        {"<td>&nbsp;", ""},
        {"<td>&nbsp;99", "99"},
        {"ab</x", ""},  // e = 2 lies before s = 6: nothing
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractDemandCell(c.cell), c.want) << c.cell;
}

TEST(ExtractTermCell, TakesTextAfterLastAngleOrSemicolon) {
    struct Case {
        const char *cell, *want;
    } cases[] = {
        {"<td><a href=x>red shoes</a>", "red shoes"},
        {"<td><a href=x>&nbsp;red shoes</a>", "red shoes"},
        {"<td><a href=x>b&amp;b</a>", "b"},
        {"<td>red shoes", ""},
        {"red shoes</a>", ""},
        {"<a>x</a><a>y</a>", "x"},
        {"<a href=x></a>", ""},
        {"a;b>c</a>", "c"},
        {"a>b;c</a>", "c"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ExtractTermCell(c.cell), c.want) << c.cell;
}

}  // namespace
}  // namespace vx
