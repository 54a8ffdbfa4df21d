#include "results/gaps.h"

#include <algorithm>

#include "results/keyword_import.h"
#include "results/site.h"
#include "results/table_print.h"

namespace vx {

std::vector<Gap> Gaps(const ResultsTable& table, const std::vector<std::string>& hosts,
                      int atLeast) {
    std::vector<Gap> gaps;
    if (hosts.empty()) return gaps;
    const size_t needed = std::min(static_cast<size_t>(std::max(1, atLeast)), hosts.size());
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        // Only where the search found the site nowhere: "?" is not known.
        if (row.Text(colRank) != "-") continue;
        Gap gap;
        for (const std::string& host : hosts)
            for (const TopResult& r : row.Top())
                if (UrlIsOnSite(r.url, host)) {
                    gap.hosts.emplace_back(SiteHost(host), r.position);
                    break;
                }
        if (gap.hosts.size() < needed) continue;
        std::stable_sort(gap.hosts.begin(), gap.hosts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
        gap.term = std::string(row.KeyTerm());
        gap.demand = ReadDemandFigure(row.Text(colDemand)).value_or(0);
        gaps.push_back(std::move(gap));
    }
    std::stable_sort(gaps.begin(), gaps.end(),
                     [](const Gap& a, const Gap& b) { return a.demand > b.demand; });
    return gaps;
}

std::string FormatGapLines(const std::vector<Gap>& gaps) {
    std::string out;
    for (const Gap& g : gaps) {
        std::string held;
        for (const auto& [host, place] : g.hosts)
            held += (held.empty() ? "" : ", ") + host + "@" + std::to_string(place);
        out += EscapeField(g.term) + "\t" + std::to_string(g.demand) + "\t" + held + "\n";
    }
    return out;
}

}  // namespace vx
