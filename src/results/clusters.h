// Keyword clusters by shared results: two terms belong together when their
// top ten share at least K result URLs, so that one page can rank for both.
// Hard clustering, deterministic for the same table: terms by demand,
// highest first (ties in table order); each term not yet placed leads a
// cluster, and every unplaced term sharing at least K URLs with the lead
// joins it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/results_table.h"

namespace vx {

constexpr int kMinClusterOverlap = 1, kMaxClusterOverlap = 9, kDefaultClusterOverlap = 3;

struct Cluster {
    std::string lead;
    std::vector<std::string> members;  // the lead first, then by demand
    long long demand = 0;              // the members' known demand ("?" counts 0)
    std::optional<int> bestPlace;      // the site's best place among them
    // The lead's URLs that other members hold too, the most held first.
    std::vector<std::string> sharedUrls;
};

// One form of a result URL however written: scheme, "www.", case of the
// host, a fragment and a trailing "/" aside. Empty for no http(s) URL.
std::string NormalResultUrl(std::string_view url);

// overlap: K, from kMinClusterOverlap to kMaxClusterOverlap. A term with
// fewer results than K, or none, stands alone.
std::vector<Cluster> ClusterTerms(const ResultsTable& table, int overlap);

// Tab-separated lines: lead, members, total demand, best place ("-" when
// the site ranks for none), the members joined by "; ".
std::string FormatClusterLines(const std::vector<Cluster>& clusters);
// The same as CSV (RFC 4180, UTF-8, a header line), shared URLs included.
std::string FormatClustersCsv(const std::vector<Cluster>& clusters);

}  // namespace vx
