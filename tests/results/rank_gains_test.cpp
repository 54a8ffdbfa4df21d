#include "results/rank_gains.h"

#include "results/gaps.h"
#include "results/serp_changes.h"

#include "results/clusters.h"
#include "results/top_results.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

// Places 4 to 20 by the visits reaching place 3 would bring; place 3 and 21,
// and a rank that is no place, are not among them.
TEST(RankGains, TheTermsClosestToPageOneByVisitsToGain) {
    ResultsTable table;
    std::vector<ResultRow> rows;
    for (const auto& [term, demand, rank] :
         std::vector<std::tuple<const char*, const char*, const char*>>{
             {"at three", "9000", "3"},
             {"at four", "1000", "4"},
             {"at twenty", "1,000", "20"},
             {"at twenty-one", "9000", "21"},
             {"unknown place", "9000", "?"},
             {"not found", "9000", "-"},
             {"unknown demand", "?", "5"},
             {"at nine", "2000", "9"}})
        rows.emplace_back(term, std::vector<std::string>{demand, "1", "1", rank, "0%", "0"}, true);
    table.ReplaceRows(std::move(rows));
    // 2000 x (0.10 - 0.02), 1000 x 0.10, 1000 x (0.10 - 0.07), 0.
    EXPECT_EQ(FormatRankGainLines(RankGains(table)),
              "at nine\t9\t2000\t160.0\n"
              "at twenty\t20\t1000\t100.0\n"
              "at four\t4\t1000\t30.0\n"
              "unknown demand\t5\t0\t0.0\n");
    EXPECT_EQ(RankGains(table, 3, 4).size(), 2u);
}

// Gaps: the named competitors rank in the top ten, the site nowhere ("-");
// "?" is not known and is no gap.
TEST(Gaps, WhereTheNamedCompetitorsRankAndTheSiteDoesNot) {
    ResultsTable table;
    std::vector<ResultRow> rows;
    const auto add = [&rows](const char* term, const char* demand, const char* rank,
                             std::vector<std::string> links) {
        rows.emplace_back(term, std::vector<std::string>{demand, "1", "1", rank, "0%", "0"}, true);
        rows.back().SetTop(TopResultsOf(links));
    };
    add("both", "10", "-",
        {"https://x.example/", "https://shop.b.example/", "https://www.a.example/"});
    add("both, more demand", "900", "-", {"https://a.example/", "https://b.example/"});
    add("one", "500", "-", {"https://a.example/"});
    add("site ranks", "500", "12", {"https://a.example/", "https://b.example/"});
    add("unknown", "500", "?", {"https://a.example/", "https://b.example/"});
    table.ReplaceRows(std::move(rows));
    const std::vector<std::string> rivals = {"https://www.A.example/", "b.example"};
    EXPECT_EQ(FormatGapLines(Gaps(table, rivals)),
              "both, more demand\t900\ta.example@1, b.example@2\n"
              "both\t10\tb.example@2, a.example@3\n");
    EXPECT_EQ(Gaps(table, rivals, 1).size(), 3u);
    EXPECT_EQ(Gaps(table, {"a.example"}).size(), 3u);  // one named: it alone
    EXPECT_TRUE(Gaps(table, {}).empty());
}

// A term's results over time: entered, left, moved, and a run that kept
// none compared with nothing.
TEST(SerpChanges, EnteredLeftAndMoved) {
    const auto top = [](std::vector<std::string> links) { return TopResultsOf(links); };
    EXPECT_EQ(
        FormatSerpChanges({
            {"run 1", top({"https://a.example/", "https://b.example/", "https://d.example/"})},
            {"run 2", {}},
            {"run 3", top({"https://b.example/", "http://www.a.example", "https://c.example/"})},
        }),
        "run 1\n1\thttps://a.example/\tfirst\n2\thttps://b.example/\tfirst\n"
        "3\thttps://d.example/\tfirst\n"
        "run 2\nno top results kept\n"
        "run 3\n1\thttps://b.example/\tup 1\n2\thttp://www.a.example\tdown 1\n"
        "3\thttps://c.example/\tnew\nleft\thttps://d.example/\twas 3\n");
}

// A term or address a service sent with a TAB or a terminal control in it
// keeps each printed line to its columns and never reaches the terminal raw.
TEST(ToolLines, WhatAServiceSentIsEscapedInEveryList) {
    const std::string hostile = "a\tb\x1B[2J";
    const std::string shown = "a\\tb\\x1B[2J";
    ResultsTable table;
    ResultRow row(hostile, {"100", "1", "1", "-", "0%", "0"}, true);
    row.SetTop(TopResultsOf({"https://rival.example/" + hostile}));
    table.ReplaceRows({row});
    const std::vector<std::string> lines = {
        FormatClusterLines(ClusterTerms(table, 1)),
        FormatGapLines(Gaps(table, {"rival.example"}, 1)),
        FormatSerpChanges({{"run 1", row.Top()}}),
    };
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find('\x1B'), std::string::npos) << line;
        EXPECT_NE(line.find(shown), std::string::npos) << line;
    }
    table.ReplaceRows({ResultRow(hostile, {"100", "1", "1", "5", "0%", "0"}, true)});
    EXPECT_EQ(FormatRankGainLines(RankGains(table)), shown + "\t5\t100\t5.0\n");
}

}  // namespace
}  // namespace vx
