// Gaps: the terms where the competitors the user names rank in the top ten
// and the user's site does not rank within the depth searched ("-"), most
// demand first.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "results/results_table.h"

namespace vx {

constexpr int kDefaultGapHosts = 2;

struct Gap {
    std::string term;
    long long demand = 0;                            // unknown counts 0
    std::vector<std::pair<std::string, int>> hosts;  // the named hosts there, by place
};

// hosts: as typed ("https://www.rival.example/", "rival.example"), each
// matched by the one site rule, subdomains included. A term is a gap when
// at least atLeast of them (or all, when fewer are named) hold a top-ten place.
std::vector<Gap> Gaps(const ResultsTable& table, const std::vector<std::string>& hosts,
                      int atLeast = kDefaultGapHosts);

// Tab-separated lines: term, demand, the hosts as "host@place" joined by ", ".
std::string FormatGapLines(const std::vector<Gap>& gaps);

}  // namespace vx
