#include "results/keyword_import.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

// UTF-8 text as Keyword Planner writes it: UTF-16 LE behind its mark.
std::string Utf16(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

using Terms = std::vector<std::pair<std::string, std::string>>;

Terms Read(const std::string& bytes) {
    const KeywordList list = ReadKeywordList(bytes);
    EXPECT_TRUE(list) << list.error;
    Terms out;
    for (const ImportedTerm& t : list.terms) out.emplace_back(t.term, t.demand);
    return out;
}

TEST(KeywordImport, EachKindOfList) {
    const struct Case {
        const char* name;
        std::string bytes;
        Terms want;
    } cases[] = {
        {"Keyword Planner, UTF-16, tabs, titles, ranges",
         Utf16(
             u"Keyword Stats 2025-01-01 at 10_00_00\r\nJanuary 1, 2025 - December 31, 2025\r\n"
             u"Keyword\tCurrency\tAvg. monthly searches\tThree month change\tSearches: Jan 2025\r\n"
             u"running shoes\tUSD\t1K \u2013 10K\t0%\t1000\r\nred shoes\tUSD\t12 100\t\t\r\n"
             u"Running Shoes\tUSD\t10\t\t\r\n\r\n"),
         {{"running shoes", "1K \xE2\x80\x93 10K"}, {"red shoes", "12 100"}}},
        {"Keyword Planner, UTF-8, commas, quoted groups",
         "\xEF\xBB\xBF"
         "Keyword,Avg. monthly searches,Competition\n\"shoes, cheap\",\"1,300\",Low\n",
         {{"shoes, cheap", "1,300"}}},
        {"Search Console Queries: impressions are the demand",
         "Top queries,Clicks,Impressions,CTR,Position\n\xC3\xA4pfel kaufen,3,1200,0.25%,4.5\n"
         "\xC3\x84PFEL KAUFEN,1,5,20%,9\n",
         {{"\xC3\xA4pfel kaufen", "1200"}}},
        {"plain list, blanks, tab or comma demand",
         "  shoes  \n\nboots\t300\nsocks,20\nhats, caps and scarves\n",
         {{"shoes", ""}, {"boots", "300"}, {"socks", "20"}, {"hats, caps and scarves", ""}}},
        {"our own CSV export",
         "\xEF\xBB\xBFKey term,Demand,Competition,Cost per prospect,Rank #,Profitability,"
         "Estimated prospects #,Checked\r\n'=sum,100,5,0.05,-,0%,0,1\r\nred,?,?,?,?,?,?,0\r\n",
         {{"=sum", "100"}, {"red", "?"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(Read(c.bytes), c.want) << c.name;
    // A lone CR ends a line as LF does.
    EXPECT_EQ(Read("shoes\rboots\t300\r"), (Terms{{"shoes", ""}, {"boots", "300"}}));
}

TEST(KeywordImport, WhatIsNoFileIsRefusedUnread) {
    EXPECT_EQ(ReadKeywordListFile("/").error, "a folder, not a file");
    EXPECT_EQ(ReadKeywordListFile("/dev/zero").error, "not a regular file");
}

// An account's export in its language reads as the English one: its
// header's names, its digit groups (a dot, a no-break space), its range
// words; a cell quoted in a tab-separated export is unquoted.
TEST(KeywordImport, ExportsInTheAccountsLanguage) {
    const std::u16string rows[][2] = {
        {u"running shoes\tUSD\t1K \u2013 10K\t0%\r\n", u"red shoes\tUSD\t12100\t\r\n"},
        {u"running shoes\tEUR\t1000 \u2013 10.000\t0 %\r\n", u"\"red shoes\"\tEUR\t12.100\t\r\n"},
        {u"running shoes\tEUR\t1 k \u2013 10 k\t0 %\r\n", u"red shoes\tEUR\t12\u00A0100\t\r\n"},
        {u"running shoes\tJPY\t1000\uFF5E1\u4E07\t0%\r\n", u"red shoes\tJPY\t12,100\t\r\n"},
    };
    const std::u16string headers[] = {
        u"Keyword\tCurrency\tAvg. monthly searches\tThree month change\r\n",
        u"Keyword\tW\u00E4hrung\tDurchschn. Suchanfragen pro Monat\tVer\u00E4nderung\r\n",
        u"Mot cl\u00E9\tDevise\tNombre moyen de recherches mensuelles\tVariation\r\n",
        u"\u30AD\u30FC\u30EF\u30FC\u30C9\t\u901A\u8CA8\t\u6708\u9593\u5E73\u5747\u691C\u7D22"
        u"\u30DC\u30EA\u30E5\u30FC\u30E0\t\u5909\u5316\r\n",
    };
    const Terms english = {{"running shoes", "1K \xE2\x80\x93 10K"}, {"red shoes", "12100"}};
    for (size_t i = 0; i < std::size(headers); ++i)
        EXPECT_EQ(Read(Utf16(u"Keyword Stats 2026-11-01\r\n1 Nov 2025 - 31 Oct 2026\r\n" +
                             headers[i] + rows[i][0] + rows[i][1])),
                  english)
            << i;
    EXPECT_EQ(Read("H\xC3\xA4ufigste Suchanfragen,Klicks,Impressionen,CTR,Position\n"
                   "schuhe,3,\"1.200\",\"2,5 %\",\"4,5\"\n"),
              (Terms{{"schuhe", "1200"}}));
    // A header in a language not read is refused naming its columns, never
    // researched as whole lines.
    const KeywordList unknown = ReadKeywordList(
        Utf16(u"Title\r\nS\u00F6kord\tValuta\tGenomsnittliga s\u00F6kningar per m\u00E5nad\r\n"
              u"skor\tSEK\t1000\r\n"));
    EXPECT_EQ(unknown.error,
              "no keyword column (columns: S\xC3\xB6kord, Valuta, Genomsnittliga "
              "s\xC3\xB6kningar per m\xC3\xA5nad)");
    EXPECT_EQ(ReadKeywordList("alpha\t99999999999999999999\n").error,
              "line 1: \"99999999999999999999\" after the tab is no demand");
}

// A file that is not a table of terms says what is wrong, and gives none.
TEST(KeywordImport, BadInputSaysWhatIsWrong) {
    std::string many;
    for (size_t i = 0; i <= kMaxImportedTerms; ++i) many += "t" + std::to_string(i) + "\n";
    const struct Case {
        std::string bytes;
        const char* error;
    } cases[] = {
        {std::string("shoes\nbo\0ts\n", 12), "not a table of terms: it holds NUL bytes"},
        {"\x89PNG\r\n\x1A\n", "line 2: not a table of terms: it holds control bytes"},
        {"a,b,c\n1,2,3\n", "no keyword column (columns: a, b, c)"},
        {"Keyword,Avg. monthly searches\nfine,1\n\"open,1\n", "line 3: unbalanced quotes"},
        {"ok\n" + std::string(3000, 'x') + "\n", "line 2: a term longer than 2048 bytes"},
        {many, "more than 100000 terms"},
        // Nothing to research, or text that does not decode, is refused.
        {"", "no terms in it"},
        {" \n\t\n", "no terms in it"},
        {"Keyword,Avg. monthly searches\n", "no terms in it"},
        {"shoes\nb\xE4r\n", "line 2: text that is not UTF-8 (save the list as UTF-8)"},
        {std::string("\xFF\xFEs\0h\0\n\0\0\xD8x\0", 12), "line 2: UTF-16 that does not decode"},
    };
    for (const Case& c : cases) {
        const KeywordList list = ReadKeywordList(c.bytes);
        EXPECT_EQ(list.error, c.error);
        EXPECT_TRUE(list.terms.empty()) << c.error;
    }
}

TEST(KeywordImport, DemandFiguresAndMerging) {
    const struct Case {
        const char* text;
        std::optional<int64_t> want;
    } cases[] = {
        {"1,300", 1300},
        {"12 100", 12100},
        {"1K \xE2\x80\x93 10K", 3162},
        {"100 - 1K", 316},
        {"10K - 100K", 31623},
        {"1M \xE2\x80\x93 10M", 3162278},
        {"0", 0},
        {"1.300", 1300},
        {"12\xC2\xA0"
         "100",
         12100},
        {"1,5 Tsd. \xE2\x80\x93 15 Tsd.", 4743},
        {"100\xEF\xBD\x9E"
         "1\xE5\x8D\x83",
         316},
        {"10 mil - 100 mil", 31623},
        {"?", std::nullopt},
        {"10K - 1K", std::nullopt},
        {"-5", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadDemandFigure(c.text), c.want) << c.text;

    std::vector<ImportedTerm> list = {{"Shoes", "1"}, {"boots", ""}};
    MergeKeywordLists(list, {{"SHOES", "2"}, {"socks", "3"}, {"boots", "4"}});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].demand, "1");
    EXPECT_EQ(list[2].term, "socks");
}

}  // namespace
}  // namespace vx
