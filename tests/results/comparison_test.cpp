#include "results/comparison.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

ResultsTable Table(std::initializer_list<std::vector<std::string>> rows) {
    ResultsTable t;
    std::vector<ResultRow> out;
    for (const auto& r : rows)
        out.emplace_back(r[0], std::vector<std::string>{r[1], r[2], "1", r[3], "1%", "1"}, true);
    t.ReplaceRows(std::move(out));
    return t;
}

TEST(CompareTables, StatusChangeAndOrder) {
    const ResultsTable older = Table({{"gone one", "5", "50", "7"},
                                      {"Up", "10", "100", "23"},
                                      {"down", "10", "100", "4"},
                                      {"same", "10", "100", "2"},
                                      {"unranked", "10", "100", "-"}});
    const ResultsTable newer = Table({{"fresh", "9", "90", "1"},
                                      {"up", "10", "100", "3"},
                                      {"down", "10", "100", "8"},
                                      {"same", "10", "100", "2"},
                                      {"unranked", "11", "100", "6"}});
    struct Want {
        const char *term, *status, *change, *mark, *words;
    } want[] = {
        {"fresh", "new", "-", "new", "new"},
        {"up", "changed", "+20", "\u25B2 20", "up 20 places"},
        {"down", "changed", "-4", "\u25BC 4", "down 4 places"},
        {"same", "same", "0", "", ""},
        {"unranked", "changed", "-", "", ""},
        {"gone one", "gone", "-", "", "gone"},
    };
    const auto changes = CompareTables(older, newer);
    ASSERT_EQ(changes.size(), std::size(want));
    for (size_t i = 0; i < changes.size(); ++i) {
        EXPECT_EQ(changes[i].term, want[i].term);
        EXPECT_STREQ(ToString(changes[i].status), want[i].status) << want[i].term;
        EXPECT_EQ(changes[i].rankChange, want[i].change) << want[i].term;
        EXPECT_EQ(ChangeMark(changes[i]), want[i].mark) << want[i].term;
        EXPECT_EQ(ChangeWords(changes[i]), want[i].words) << want[i].term;
    }
    EXPECT_EQ(changes[1].rankOld, "23");
    EXPECT_EQ(changes[1].rankNew, "3");
    EXPECT_EQ(changes[5].demandOld, "5");
    EXPECT_EQ(changes[5].demandNew, "");
}

// Each figure alone makes a change; case is folded for every script.
TEST(CompareTables, EachFigureAloneAndCaseInEveryScript) {
    const ResultsTable older = Table({{"Äpfel", "10", "100", "2"},
                                      {"demand", "10", "100", "2"},
                                      {"competition", "10", "100", "2"},
                                      {"rank", "10", "100", "2"}});
    const ResultsTable newer = Table({{"äPFEL", "10", "100", "2"},
                                      {"demand", "11", "100", "2"},
                                      {"competition", "10", "101", "2"},
                                      {"rank", "10", "100", "3"}});
    const char* want[] = {"same", "changed", "changed", "changed"};
    const auto changes = CompareTables(older, newer);
    ASSERT_EQ(changes.size(), std::size(want));
    for (size_t i = 0; i < changes.size(); ++i)
        EXPECT_STREQ(ToString(changes[i].status), want[i]) << changes[i].term;
    EXPECT_EQ(changes[3].rankChange, "-1");
}

}  // namespace
}  // namespace vx
