#include "results/competitors.h"

#include <charconv>

#include <algorithm>
#include <cstdio>
#include <map>

#include "core/text.h"
#include "results/keyword_import.h"

namespace vx {

std::vector<Competitor> Competitors(const ResultsTable& table, std::string_view ownSite) {
    struct Tally {
        int terms = 0;
        double positions = 0, visits = 0;
    };
    std::map<std::string, Tally> hosts;
    double demandTotal = 0;
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        const double demand = static_cast<double>(ReadDemandFigure(row.Column(0)).value_or(0));
        demandTotal += demand;
        // Each host once a term, at its best place.
        std::map<std::string, int> best;
        for (const TopResult& r : row.Top()) {
            const auto [it, fresh] = best.emplace(r.host, r.position);
            if (!fresh) it->second = std::min(it->second, r.position);
        }
        for (const auto& [host, position] : best) {
            Tally& t = hosts[host];
            ++t.terms;
            t.positions += position;
            if (position >= 1 && position <= static_cast<int>(kTopResults))
                t.visits += demand * kClickThrough[position - 1];
        }
    }
    std::vector<Competitor> out;
    for (const auto& [host, t] : hosts)
        out.push_back({host, t.terms, t.positions / t.terms, t.visits,
                       demandTotal > 0 ? t.visits / demandTotal : 0, HostIsOnSite(host, ownSite)});
    std::stable_sort(out.begin(), out.end(), [](const Competitor& a, const Competitor& b) {
        if (a.visits != b.visits) return a.visits > b.visits;
        if (a.terms != b.terms) return a.terms > b.terms;
        return a.host < b.host;
    });
    return out;
}

namespace {
// One decimal, always a point: the window runs under the user's C locale,
// and a comma would add a column to the CSV.
std::string Fixed(double value, const char* suffix = "") {
    char text[64];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return (ec == std::errc() ? std::string(text, end) : std::string("?")) + suffix;
}
}  // namespace

std::string FormatCompetitorLines(const std::vector<Competitor>& competitors) {
    std::string out;
    for (const Competitor& c : competitors)
        out += c.host + "\t" + std::to_string(c.terms) + "\t" + Fixed(c.averagePosition) + "\t" +
               Fixed(c.share * 100, "%") + "\n";
    return out;
}

std::string FormatCompetitorsCsv(const std::vector<Competitor>& competitors) {
    // The window's column names, so the file and the window read alike.
    std::string out = "\xEF\xBB\xBFSite,Terms in top 10,Average place,Traffic share,Your site\r\n";
    for (const Competitor& c : competitors) {
        // A host holds no comma, quote or line break: no field needs quoting.
        out += c.host + "," + std::to_string(c.terms) + "," + Fixed(c.averagePosition) + "," +
               Fixed(c.share * 100, "%") + "," + (c.own ? "1" : "0") + "\r\n";
    }
    return out;
}

}  // namespace vx
