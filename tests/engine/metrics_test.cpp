#include "engine/metrics.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(CostPerProspect, Table) {
    struct Case {
        const char *competition, *demand, *want;
    } cases[] = {
        {"12345", "1000", "12.345"},
        {"500", "1000", "0.5"},
        {"12345", "0", "0"},
        {"?", "12345", "?"},
        {"12345", "?", "?"},
        {"1200", "1.200", "1"},
        {"1200", " 1 200 ", "1"},
        {"12345", "12,345", "1"},
        {"1", "3", "0.333"},
        {"2", "3", "0.667"},
        // A figure that does not read is unknown, and so is what comes of it:
        // never a 0 that sorts as the best row.
        {"-10", "4", "?"},
        {"", "", "?"},
        {"", "7", "0"},  // no term: no count asked
        {"100", "n/a", "?"},
        {"100", "-5", "?"},
        {"100", "99999999999999999999", "?"},
        {"99999999999999999999", "100", "?"},
        {"1500", "1.5K", "1"},
        {"12100", "12100.0", "1"},
        {"12100",
         "12\xC2\xA0"
         "100",
         "1"},
        // 64-bit counts and demand with digit groups read as their numbers.
        {"3000000000", "1000", "3000000"},
        {"2400", "1,200", "2"},
        {"2400", "1,20", "?"},
        {"2400", ",200", "?"},
        {"2400", "1,2000", "?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatCostPerProspect(c.competition, c.demand, '.'), c.want)
            << c.competition << "/" << c.demand;
    EXPECT_EQ(FormatCostPerProspect("12345", "1000", ','), "12,345");
}

TEST(Profitability, Table) {
    struct Case {
        const char *competition, *rank, *want;
    } cases[] = {
        {"1000", "1", "100%"},
        {"1000", "20", "98.1%"},
        {"1000", "21", "49%"},
        {"1000", "45", "23.9%"},
        {"1000", "-", "0%"},
        {"?", "7", "?"},
        {"1000", "?", "?"},
        {"0", "7", "100%"},
        {"10", "15", "-40%"},
        {"3000000000", "5", "100%"},
        {"3000000000", "45", "25%"},
        {"1000", "40", "48.05%"},
        {"1000", "0", "0%"},
        {"", "", "?"},
        {"", "-", "0%"},
        {"-5", "3", "?"},
        {"1000", "-3", "?"},
        {"1000", "x", "?"},
        {"3", "1", "100%"},
        {"3", "2", "66.667%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatProfitability(c.competition, c.rank, '.'), c.want)
            << c.competition << " @ " << c.rank;
    EXPECT_EQ(FormatProfitability("1000", "20", ','), "98,1%");
}

TEST(EstimateProspects, RoundsHalfToEvenAndNeverNegative) {
    struct Case {
        const char *demand, *profitability;
        char sep;
        const char* want;
    } cases[] = {
        {"4512", "98.1", '.', "4426"},  // 4426.272
        {"1000", "100", '.', "1000"},
        {"1", "50", '.', "0"},  // 0.5 -> 0
        {"3", "50", '.', "2"},  // 1.5 -> 2
        {"5", "50", '.', "2"},  // 2.5 -> 2
        {"10", "-40", '.', "0"},
        {"?", "100", '.', "?"},
        {"100", "?", '.', "?"},
        {"1000", "", '.', "?"},
        {"n/a", "50", '.', "?"},
        {"1000", "98,1", ',', "981"},
        {"1000", "98,1", '.', "?"},  // wrong separator fails
        {"12,345", "100", '.', "12345"},
        {"2147483647", "100", '.', "2147483647"},
        {"5000000000", "50", '.', "2500000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EstimateProspects(c.demand, c.profitability, c.sep), c.want)
            << c.demand << " x " << c.profitability;
}

TEST(Metrics, ProfitabilityFeedsProspectsWithoutPercent) {
    const std::string p = FormatProfitability("1000", "21", '.');
    EXPECT_EQ(EstimateProspects("200", p.substr(0, p.size() - 1), '.'), "98");
}

}  // namespace
}  // namespace vx
