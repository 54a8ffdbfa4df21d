// Clustering by shared results at the size agencies work at: 100 000 terms
// of ten results each, where a few pages (an encyclopaedia, a marketplace)
// stand among a large share of the terms' results as real ones do. Its time
// and peak memory; and, on 2 000 of the terms, the same clusters as a plain
// pairwise reference, timed side by side.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "results/clusters.h"
#include "results/top_results.h"

namespace {

using Clock = std::chrono::steady_clock;

vx::ResultsTable Terms(int count) {
    std::mt19937 random(7);
    // Topics of about 20 terms share a pool of 15 pages; a few pages stand
    // among every topic's results.
    std::vector<vx::ResultRow> rows;
    rows.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int topic = i / 20;
        std::vector<std::string> links;
        for (int popular = 0; popular < 3; ++popular)
            if (random() % 3 == 0)
                links.push_back("https://popular" + std::to_string(popular) + ".example/");
        while (links.size() < 10) {
            const std::string page =
                "https://t" + std::to_string(topic) + ".example/" + std::to_string(random() % 15);
            if (std::find(links.begin(), links.end(), page) == links.end()) links.push_back(page);
        }
        vx::ResultRow row("term " + std::to_string(i),
                          {std::to_string(random() % 100000), "1", "1", "-", "0%", "0"}, true);
        row.SetTop(vx::TopResultsOf(links));
        rows.push_back(std::move(row));
    }
    vx::ResultsTable table;
    table.ReplaceRows(std::move(rows));
    return table;
}

// Every pair compared, the lead's rule applied as written.
std::vector<std::vector<std::string>> Pairwise(const vx::ResultsTable& table, int overlap) {
    const int n = table.Count();
    std::vector<std::vector<std::string>> urls(static_cast<size_t>(n));
    std::vector<long long> demand(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (const vx::TopResult& r : table.At(i).Top())
            urls[static_cast<size_t>(i)].push_back(vx::NormalResultUrl(r.url));
        demand[static_cast<size_t>(i)] = std::stoll(std::string(table.At(i).Text(vx::colDemand)));
    }
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    std::stable_sort(order.begin(), order.end(), [&demand](int a, int b) {
        return demand[static_cast<size_t>(a)] > demand[static_cast<size_t>(b)];
    });
    std::vector<char> placed(static_cast<size_t>(n), 0);
    std::vector<std::vector<std::string>> clusters;
    for (const int lead : order) {
        if (placed[static_cast<size_t>(lead)]) continue;
        placed[static_cast<size_t>(lead)] = 1;
        std::vector<std::string> members = {std::string(table.At(lead).KeyTerm())};
        for (const int other : order) {
            if (placed[static_cast<size_t>(other)]) continue;
            int shared = 0;
            for (const std::string& u : urls[static_cast<size_t>(lead)])
                shared += std::count(urls[static_cast<size_t>(other)].begin(),
                                     urls[static_cast<size_t>(other)].end(), u) > 0;
            if (shared < overlap) continue;
            placed[static_cast<size_t>(other)] = 1;
            members.emplace_back(table.At(other).KeyTerm());
        }
        clusters.push_back(std::move(members));
    }
    return clusters;
}

double Since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

}  // namespace

int main() {
    const vx::ResultsTable small = Terms(2000);
    auto t0 = Clock::now();
    const std::vector<vx::Cluster> fast = vx::ClusterTerms(small, vx::kDefaultClusterOverlap);
    const double fastSmall = Since(t0);
    t0 = Clock::now();
    const auto reference = Pairwise(small, vx::kDefaultClusterOverlap);
    const double pairwise = Since(t0);
    std::vector<std::vector<std::string>> got;
    for (const vx::Cluster& c : fast) got.push_back(c.members);
    const bool same = got == reference;
    std::printf(
        "clusters of 2 000 terms: %zu, %s the pairwise reference's; %.1f ms against its %.1f ms\n",
        fast.size(), same ? "the same as" : "NOT the same as", fastSmall * 1000, pairwise * 1000);

    const vx::ResultsTable large = Terms(100000);
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    t0 = Clock::now();
    const std::vector<vx::Cluster> clusters = vx::ClusterTerms(large, vx::kDefaultClusterOverlap);
    const double seconds = Since(t0);
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    std::printf(
        "clusters of 100 000 terms of ten results, three pages among a third of them each: "
        "%zu in %.2f s (under 2); peak memory of the process %.0f MB (under 500)\n",
        clusters.size(), seconds, static_cast<double>(after.ru_maxrss) / 1024);
    return same && seconds < 2 ? 0 : 1;
}
