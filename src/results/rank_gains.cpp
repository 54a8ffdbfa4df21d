#include "results/rank_gains.h"

#include <algorithm>
#include <charconv>

#include "results/competitors.h"
#include "results/keyword_import.h"
#include "results/table_print.h"

namespace vx {

namespace {
double ClickThrough(int place) {
    return place >= 1 && place <= static_cast<int>(kTopResults)
               ? kClickThrough[static_cast<size_t>(place - 1)]
               : 0;
}
}  // namespace

std::optional<int> PlaceOfRank(std::string_view rank) {
    int place = 0;
    const auto [end, ec] = std::from_chars(rank.data(), rank.data() + rank.size(), place);
    if (ec != std::errc() || end != rank.data() + rank.size() || place < 1) return std::nullopt;
    return place;
}

std::vector<RankGain> RankGains(const ResultsTable& table, int from, int to) {
    std::vector<RankGain> gains;
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        const auto at = PlaceOfRank(row.Text(colRank));
        if (!at || *at < from || *at > to) continue;
        const int place = *at;
        RankGain g;
        g.term = std::string(row.KeyTerm());
        g.place = place;
        g.demand = ReadDemandFigure(row.Text(colDemand)).value_or(0);
        g.visits = static_cast<double>(g.demand) *
                   std::max(0.0, ClickThrough(kGainTarget) - ClickThrough(place));
        gains.push_back(std::move(g));
    }
    std::stable_sort(gains.begin(), gains.end(), [](const RankGain& a, const RankGain& b) {
        return a.visits != b.visits ? a.visits > b.visits : a.place < b.place;
    });
    return gains;
}

std::string FormatRankGainLines(const std::vector<RankGain>& gains) {
    std::string out;
    for (const RankGain& g : gains) {
        // One decimal, always a point, whatever the locale.
        char visits[32];
        const auto [end, ec] =
            std::to_chars(visits, visits + sizeof visits, g.visits, std::chars_format::fixed, 1);
        out += EscapeField(g.term) + "\t" + std::to_string(g.place) + "\t" +
               std::to_string(g.demand) + "\t" +
               (ec == std::errc() ? std::string(visits, end) : std::string("?")) + "\n";
    }
    return out;
}

}  // namespace vx
