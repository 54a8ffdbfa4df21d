#include "results/clusters.h"

#include <gtest/gtest.h>

#include "results/top_results.h"

namespace vx {
namespace {

// A row of the table: term, demand, rank, and its results as "a1 a2 ..."
// on host a.example, b.example, ...
ResultRow Row(const char* term, const char* demand, const char* rank,
              std::vector<std::string> links) {
    ResultRow row(term, {demand, "1", "1", rank, "0%", "0"}, true);
    row.SetTop(TopResultsOf(links));
    return row;
}

std::vector<std::string> Links(std::initializer_list<int> pages) {
    std::vector<std::string> links;
    for (const int p : pages) links.push_back("https://site" + std::to_string(p) + ".example/page");
    return links;
}

TEST(Clusters, TermsSharingKResultsGoWithTheLeadOfMostDemand) {
    ResultsTable table;
    table.ReplaceRows({
        Row("shoes", "100", "4", Links({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})),
        Row("red shoes", "500", "-", Links({1, 2, 3, 11, 12, 13, 14, 15, 16, 17})),
        Row("cheap shoes", "500", "2", Links({1, 2, 20, 21, 22, 23, 24, 25, 26, 27})),
        Row("boots", "?", "?", Links({1, 2, 3})),  // fewer than ten results
        Row("hats", "50", "9", {}),                // none
        // Written otherwise, the same three pages as "shoes".
        Row("shoes sale", "10", "1",
            {"http://WWW.site1.example/page/", "https://site2.example/page#top",
             "https://site3.example/page"}),
    });
    struct Case {
        int overlap;
        std::vector<std::vector<std::string>> clusters;
    } cases[] = {
        // "red shoes" and "cheap shoes" tie at 500: the table's order decides.
        {3, {{"red shoes", "shoes", "shoes sale", "boots"}, {"cheap shoes"}, {"hats"}}},
        {1, {{"red shoes", "cheap shoes", "shoes", "shoes sale", "boots"}, {"hats"}}},
        {9, {{"red shoes"}, {"cheap shoes"}, {"shoes"}, {"hats"}, {"shoes sale"}, {"boots"}}},
    };
    for (const Case& c : cases) {
        const std::vector<Cluster> clusters = ClusterTerms(table, c.overlap);
        std::vector<std::vector<std::string>> members;
        for (const Cluster& cluster : clusters) members.push_back(cluster.members);
        EXPECT_EQ(members, c.clusters) << c.overlap;
    }
    const Cluster first = ClusterTerms(table, 3).front();
    EXPECT_EQ(first.demand, 610);  // "?" counts 0
    EXPECT_EQ(first.bestPlace, 1);
    EXPECT_EQ(first.sharedUrls,
              (std::vector<std::string>{"site1.example/page", "site2.example/page",
                                        "site3.example/page"}));
    EXPECT_EQ(FormatClusterLines({ClusterTerms(table, 3)[2]}), "hats\t1\t50\t9\thats\n");
    EXPECT_EQ(FormatClustersCsv({ClusterTerms(table, 3)[1]}),
              "\xEF\xBB\xBFLead term,Terms,Total demand,Best place,Members,Shared results\r\n"
              "cheap shoes,1,500,2,cheap shoes,\r\n");
    // A term a spreadsheet would run as a formula is written as text.
    Cluster formula;
    formula.lead = "=1+1";
    formula.members = {"=1+1", "a, b"};
    EXPECT_EQ(FormatClustersCsv({formula}).substr(FormatClustersCsv({}).size()),
              "'=1+1,2,0,-,\"'=1+1; a, b\",\r\n");
}

}  // namespace
}  // namespace vx
