#include <gtest/gtest.h>

#include "tracking/project_check.h"
#include "tracking/rank_moves.h"

namespace vx {
namespace {

TEST(MovedTerms, WhatATrackerTells) {
    struct Case {
        Rank before, after;
        bool told;
    } cases[] = {
        {11, 10, true},            // into the top 10 by one place
        {10, 11, true},            // out of it
        {kNotRanked, 40, true},    // onto the pages searched
        {33, kNotRanked, true},    // off them
        {20, 17, true},            // three places
        {20, 18, false},           // two
        {4, 4, false},             // still
        {std::nullopt, 3, false},  // never known before
        {5, std::nullopt, false},  // not known now
        {kNotRanked, kNotRanked, false},
    };
    for (const Case& c : cases) {
        TrackedTerm before{"Term", false, std::nullopt, {c.before}};
        const auto moves = MovedTerms({before}, {{"term", c.after}}, 3);
        EXPECT_EQ(moves.size(), c.told ? 1u : 0u)
            << RankText(c.before) << " -> " << RankText(c.after);
    }
    // The last check that could tell, however many could not since.
    const TrackedTerm gaps{"t", false, std::nullopt, {8, std::nullopt, std::nullopt}};
    ASSERT_EQ(MovedTerms({gaps}, {{"t", 2}}, 3).size(), 1u);
    EXPECT_EQ(MovedTerms({gaps}, {{"t", 2}}, 3)[0].before, 8);
}

TEST(MovedTerms, BiggestFirstInTheNotice) {
    const std::vector<TrackedTerm> before = {{"a", false, {}, {30}},
                                             {"b", false, {}, {12}},
                                             {"c", false, {}, {50}},
                                             {"d", false, {}, {3}}};
    const auto moves = MovedTerms(before, {{"a", 24}, {"b", 9}, {"c", kNotRanked}, {"d", 9}}, 3);
    std::vector<std::string> order;
    for (const RankMove& m : moves) order.push_back(m.term);
    EXPECT_EQ(order, (std::vector<std::string>{"b", "c", "a", "d"}));
    const CheckNotice n = NoticeOf("shop", moves);
    EXPECT_EQ(n.summary, "shop: 4 terms moved");
    EXPECT_EQ(n.body.substr(0, n.body.find('\n')), "b: 12 \u2192 9");
    std::vector<RankMove> many(7, {"x", 1, 20});
    EXPECT_TRUE(NoticeOf("p", many).body.ends_with("\nand 2 more"));
    EXPECT_EQ(NoticeOf("p", {many[0]}).summary, "p: 1 term moved");
}

TEST(IsDue, ADailyCheckKeepsItsHour) {
    TrackingProject p;
    const std::time_t day = 24 * 3600, now = 1'800'000'000;
    EXPECT_TRUE(IsDue(p, now));         // never checked
    p.lastCheck = now - day + 10 * 60;  // the timer's delay fell the other way
    EXPECT_TRUE(IsDue(p, now));
    p.lastCheck = now - day + 30 * 60;
    EXPECT_FALSE(IsDue(p, now));
    p.lastCheck = now + 3600;  // the clock was set back
    EXPECT_TRUE(IsDue(p, now));
    // Due exactly at its interval less the slack, not a second before.
    p.lastCheck = now - day + kDueSlackSeconds;
    EXPECT_TRUE(IsDue(p, now));
    p.lastCheck = now - day + kDueSlackSeconds + 1;
    EXPECT_FALSE(IsDue(p, now));
    p.intervalHours = 1;
    p.lastCheck = now - 45 * 60;
    EXPECT_TRUE(IsDue(p, now));
}

}  // namespace
}  // namespace vx
