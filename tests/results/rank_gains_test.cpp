#include "results/rank_gains.h"

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

}  // namespace
}  // namespace vx
