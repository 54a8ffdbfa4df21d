#include "results/clusters.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <unordered_map>

#include "core/text.h"
#include "core/url.h"
#include "results/export.h"
#include "results/keyword_import.h"
#include "results/rank_gains.h"
#include "results/table_print.h"

namespace vx {

std::string NormalResultUrl(std::string_view url) {
    const auto parsed = ParseUrl(TrimView(url, " \t\r\n"));
    if (!parsed || (parsed->scheme != "http" && parsed->scheme != "https")) return {};
    std::string host = parsed->host;
    while (!host.empty() && host.back() == '.') host.pop_back();
    if (host.starts_with("www.")) host.erase(0, 4);
    std::string path = parsed->path;
    while (path.ends_with('/')) path.pop_back();
    return host + path + (parsed->hasQuery ? "?" + parsed->query : std::string());
}

namespace {

struct Term {
    int row = 0;
    long long demand = 0;
    std::vector<int> urls;  // ids, each once
};

}  // namespace

std::vector<Cluster> ClusterTerms(const ResultsTable& table, int overlap) {
    overlap = std::clamp(overlap, kMinClusterOverlap, kMaxClusterOverlap);
    std::unordered_map<std::string, int> ids;
    std::vector<std::string> urlOf;
    std::vector<Term> terms(static_cast<size_t>(table.Count()));
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        Term& t = terms[static_cast<size_t>(i)];
        t.row = i;
        t.demand = ReadDemandFigure(row.Text(colDemand)).value_or(0);
        for (const TopResult& r : row.Top()) {
            std::string normal = NormalResultUrl(r.url);
            if (normal.empty()) continue;
            const auto [it, fresh] = ids.emplace(std::move(normal), static_cast<int>(urlOf.size()));
            if (fresh) urlOf.push_back(it->first);
            if (std::find(t.urls.begin(), t.urls.end(), it->second) == t.urls.end())
                t.urls.push_back(it->second);
        }
    }
    // By demand, highest first; ties keep the table's order.
    std::vector<int> order(terms.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&terms](int a, int b) { return terms[a].demand > terms[b].demand; });
    // Who holds each URL, in that order: a lead asks only the terms that
    // share one of its URLs.
    std::vector<std::vector<int>> holders(urlOf.size());
    for (const int t : order)
        for (const int u : terms[static_cast<size_t>(t)].urls)
            holders[static_cast<size_t>(u)].push_back(t);
    std::vector<char> placed(terms.size(), 0);
    std::vector<int> shared(terms.size(), 0);
    std::vector<Cluster> clusters;
    for (const int lead : order) {
        if (placed[static_cast<size_t>(lead)]) continue;
        placed[static_cast<size_t>(lead)] = 1;
        const Term& l = terms[static_cast<size_t>(lead)];
        std::vector<int> touched;
        for (const int u : l.urls) {
            std::vector<int>& list = holders[static_cast<size_t>(u)];
            // Placed terms leave the lists as they are met: a later lead
            // counts only terms still to place.
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&placed](int t) { return placed[static_cast<size_t>(t)]; }),
                       list.end());
            for (const int t : list)
                if (shared[static_cast<size_t>(t)]++ == 0) touched.push_back(t);
        }
        std::vector<int> members = {lead};
        for (const int t : touched)
            if (shared[static_cast<size_t>(t)] >= overlap) members.push_back(t);
        for (const int t : touched) shared[static_cast<size_t>(t)] = 0;
        // Members in demand order, as the lead was chosen.
        std::sort(members.begin() + 1, members.end(), [&terms](int a, int b) {
            const Term &x = terms[static_cast<size_t>(a)], &y = terms[static_cast<size_t>(b)];
            return x.demand != y.demand ? x.demand > y.demand : x.row < y.row;
        });
        Cluster c;
        c.lead = std::string(table.At(l.row).KeyTerm());
        std::vector<int> held(l.urls.size(), 0);
        for (const int m : members) {
            placed[static_cast<size_t>(m)] = 1;
            const Term& t = terms[static_cast<size_t>(m)];
            const ResultRow& row = table.At(t.row);
            c.members.emplace_back(row.KeyTerm());
            c.demand += t.demand;
            if (const auto place = PlaceOfRank(row.Text(colRank)))
                c.bestPlace = c.bestPlace ? std::min(*c.bestPlace, *place) : *place;
            if (m == lead) continue;
            for (size_t k = 0; k < l.urls.size(); ++k)
                if (std::find(t.urls.begin(), t.urls.end(), l.urls[k]) != t.urls.end()) ++held[k];
        }
        std::vector<size_t> byHeld(l.urls.size());
        std::iota(byHeld.begin(), byHeld.end(), size_t{0});
        std::stable_sort(byHeld.begin(), byHeld.end(),
                         [&held](size_t a, size_t b) { return held[a] > held[b]; });
        for (const size_t k : byHeld)
            if (held[k] > 0) c.sharedUrls.push_back(urlOf[static_cast<size_t>(l.urls[k])]);
        clusters.push_back(std::move(c));
    }
    return clusters;
}

namespace {
std::string Joined(const std::vector<std::string>& parts, const char* between) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : between) + p;
    return out;
}

std::string Place(const Cluster& c) {
    return c.bestPlace ? std::to_string(*c.bestPlace) : std::string("-");
}
}  // namespace

std::string FormatClusterLines(const std::vector<Cluster>& clusters) {
    std::string out;
    for (const Cluster& c : clusters)
        out += EscapeField(c.lead) + "\t" + std::to_string(c.members.size()) + "\t" +
               std::to_string(c.demand) + "\t" + Place(c) + "\t" +
               EscapeField(Joined(c.members, "; ")) + "\n";
    return out;
}

std::string FormatClustersCsv(const std::vector<Cluster>& clusters) {
    std::string out =
        "\xEF\xBB\xBF"
        "Lead term,Terms,Total demand,Best place,Members,Shared results\r\n";
    for (const Cluster& c : clusters)
        out += CsvField(c.lead) + "," + std::to_string(c.members.size()) + "," +
               std::to_string(c.demand) + "," + Place(c) + "," + CsvField(Joined(c.members, "; ")) +
               "," + CsvField(Joined(c.sharedUrls, " ")) + "\r\n";
    return out;
}

}  // namespace vx
