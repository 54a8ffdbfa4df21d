// The terms closest to page one: rows where the site already ranks a little
// below the top (places 4 to 20 unless asked otherwise), by the visits it
// would gain at place 3 — demand times the click-through it would gain,
// with the click-through table the competitors' shares use (none past 10).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/results_table.h"

namespace vx {

constexpr int kGainFrom = 4, kGainTo = 20, kGainTarget = 3;

struct RankGain {
    std::string term;
    int place = 0;
    long long demand = 0;  // unknown demand counts 0
    double visits = 0;     // a month, gained at place 3
};

// The place a rank text gives ("12"); none for "-", "?" or anything else.
std::optional<int> PlaceOfRank(std::string_view rank);

// Most visits first; ties by place, then table order. A rank that is no
// place ("-", "?") is left out.
std::vector<RankGain> RankGains(const ResultsTable& table, int from = kGainFrom, int to = kGainTo);

// Tab-separated lines: term, place, demand, visits to gain ("35.0").
std::string FormatRankGainLines(const std::vector<RankGain>& gains);

}  // namespace vx
