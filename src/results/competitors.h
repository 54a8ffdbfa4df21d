// Who ranks instead of the user's site: every host in the top results of an
// investigation's terms, with how many terms it holds, its average place and
// its estimated share of the terms' traffic.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/results_table.h"
#include "results/site.h"

namespace vx {

// Share of a result page's clicks by position 1 to 10: a rounded average of
// published click-through studies of organic results (first place about a
// quarter, tenth about 2 %); documented in the help.
inline constexpr double kClickThrough[kTopResults] = {0.27, 0.15, 0.10,  0.07, 0.05,
                                                      0.04, 0.03, 0.025, 0.02, 0.02};

struct Competitor {
    std::string host;
    int terms = 0;               // terms it holds a top-10 place for
    double averagePosition = 0;  // of its best place for each of them
    double visits = 0;           // sum of demand x click-through of its place
    double share = 0;            // visits / the investigation's demand (0..1)
    bool own = false;            // the user's site
};

// Hosts by estimated visits, then terms, then name; a term's unknown demand
// counts 0. ownSite is the site as the Investigate dialog holds it.
std::vector<Competitor> Competitors(const ResultsTable& table, std::string_view ownSite);

// Tab-separated lines: host, terms, average position ("2.5"), share ("12.5%").
std::string FormatCompetitorLines(const std::vector<Competitor>& competitors);
// The same as CSV (RFC 4180, UTF-8, a header line), as the exports are.
std::string FormatCompetitorsCsv(const std::vector<Competitor>& competitors);

}  // namespace vx
