#include "results/competitors.h"

#include <gtest/gtest.h>

#include "support/scoped_locale.h"

namespace vx {
namespace {

// Links as hostile or careless pages write them: one site however written,
// nothing taken from a link that names none.
TEST(TopResults, EachLinkNamesItsSiteOrNone) {
    struct Case {
        const char *url, *host;
    } cases[] = {
        {"https://www.Example.COM/page", "example.com"},
        {"http://example.com:8080/", "example.com"},
        {"HTTPS://shop.example.com.", "shop.example.com"},
        {"http://example.com@evil.net/x", "evil.net"},  // user info names nobody
        // One site however its international name is written.
        {"https://xn--bcher-kva.example/",
         "b\xC3\xBC"
         "cher.example"},
        {"https://www.XN--BCHER-KVA.example./",
         "b\xC3\xBC"
         "cher.example"},
        {"https://B\xC3\x9C"
         "CHER.example/",
         "b\xC3\xBC"
         "cher.example"},
        {"https://xn--zz.example/", "xn--zz.example"},  // no IDNA name: as written
        {"https://b\xC3\xBC"
         "cher.example/",
         "b\xC3\xBC"
         "cher.example"},
        {"/relative/link", ""},
        {"page.html", ""},
        {"ftp://files.example.com/", ""},
        {"javascript:alert(1)", ""},
        {"https://", ""},
        {"http://a,b\"c.example/", ""},
        {"https://[2001:db8::1]:443/", "[2001:db8::1]"},
    };
    for (const Case& c : cases) EXPECT_EQ(ResultHost(c.url), c.host) << c.url;
    // Positions stay the page's: an item without a site keeps its place.
    const auto top =
        TopResultsOf({"http://a.com/", "", "/rel", "https://WWW.a.com/x", "http://b.com"});
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[1].position, 4);
    EXPECT_EQ(top[1].host, "a.com");
    std::vector<std::string> many(25, "http://c.com/");
    EXPECT_EQ(TopResultsOf(many).size(), kTopResults);
}

// Every place of the table counts, the tenth included; a place past it
// (an edited file) counts no visits.
TEST(Competitors, TheTenthPlaceCountsItsShare) {
    ResultsTable table;
    ResultRow row("t", {"1000", "1", "1", "-", "0%", "0"}, true);
    std::vector<TopResult> top;
    for (int place = 1; place <= 11; ++place)
        top.push_back({place, "http://h" + std::to_string(place) + ".com/",
                       "h" + std::to_string(place) + ".com"});
    row.SetTop(top);
    table.ReplaceRows({row});
    for (const Competitor& c : Competitors(table, "")) {
        if (c.host == "h10.com") {
            EXPECT_DOUBLE_EQ(c.visits, 1000 * kClickThrough[9]);
        } else if (c.host == "h11.com") {
            EXPECT_DOUBLE_EQ(c.visits, 0);
        }
    }
}

// One rule for a rank, the competitors' table and a term's top results.
TEST(Site, AResultIsOnTheSiteByItsHostAndPath) {
    struct Case {
        const char *url, *site;
        bool on;
    } cases[] = {
        {"https://www.Example.com/page", "example.com", true},
        {"http://example.com", "www.example.com", true},
        {"https://shop.example.com/x", "example.com", true},
        {"https://notexample.com/", "example.com", false},
        {"https://example.com.evil.net/", "example.com", false},
        {"https://evil.net/?u=example.com", "example.com", false},
        {"https://user@example.com:8443/a", "example.com", true},
        {"https://example.com/blog/post", "example.com/blog", true},
        {"https://example.com/blogger", "example.com/blog/", false},
        {"https://example.com/Blog?x=1", "example.com/blog", true},
        {"https://example.com/", "", false},
        {"https://xn--bcher-kva.example/",
         "b\xC3\xBC"
         "cher.example",
         true},
        {"https://shop.b\xC3\xBC"
         "cher.example/",
         "https://www.xn--bcher-kva.example/", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UrlIsOnSite(c.url, c.site), c.on) << c.url << " " << c.site;
        // A host alone is the site's by the same rule, whatever the path.
        if (!std::string_view(c.site).ends_with("blog/")) {
            EXPECT_EQ(HostIsOnSite(ResultHost(c.url), c.site), c.on) << c.url << " " << c.site;
        }
    }
}

TEST(Competitors, TermsPlacesAndShareFromTheTopResults) {
    ResultsTable table;
    auto add = [&table](const char* term, const char* demand, std::vector<std::string> links) {
        std::vector<ResultRow> rows;
        for (int i = 0; i < table.Count(); ++i) rows.push_back(table.At(i));
        ResultRow row(term, {demand, "1", "1", "-", "0%", "0"}, true);
        row.SetTop(TopResultsOf(links));
        rows.push_back(row);
        table.ReplaceRows(std::move(rows));
    };
    add("red shoes", "1,000",
        {"http://a.com/1", "http://www.mine.com/", "http://a.com/2", "http://b.com"});
    add("blue shoes", "1K \xE2\x80\x93 10K", {"http://b.com/", "http://a.com/"});
    add("green shoes", "?", {"http://a.com/"});
    const std::vector<Competitor> c = Competitors(table, "https://Mine.com/");
    ASSERT_EQ(c.size(), 3u);
    const double demand = 1000 + 3162;  // the range's geometric middle; "?" counts 0
    // b.com: 4th for red (1000 x 0.07), 1st for blue (3162 x 0.27).
    EXPECT_EQ(c[0].host, "b.com");
    EXPECT_EQ(c[0].terms, 2);
    EXPECT_DOUBLE_EQ(c[0].averagePosition, 2.5);
    EXPECT_DOUBLE_EQ(c[0].visits, 1000 * 0.07 + 3162 * 0.27);
    EXPECT_DOUBLE_EQ(c[0].share, c[0].visits / demand);
    // a.com: its best place for red (1st), 2nd for blue, 1st for green.
    EXPECT_EQ(c[1].host, "a.com");
    EXPECT_EQ(c[1].terms, 3);
    EXPECT_DOUBLE_EQ(c[1].averagePosition, 4.0 / 3);
    EXPECT_DOUBLE_EQ(c[1].visits, 1000 * 0.27 + 3162 * 0.15);
    EXPECT_TRUE(c[2].own);
    EXPECT_EQ(FormatCompetitorLines({c[2]}), "mine.com\t1\t2.0\t3.6%\n");
    {
        // The window runs under the user's locale: the figures do not follow it.
        vx::testing::ScopedLocale comma("de_DE");
        ASSERT_TRUE(comma.ok());
        EXPECT_EQ(FormatCompetitorLines({c[2]}), "mine.com\t1\t2.0\t3.6%\n");
    }
    EXPECT_EQ(FormatCompetitorsCsv({c[2]}),
              "\xEF\xBB\xBFSite,Terms in top 10,Average place,Traffic share,Your site\r\n"
              "mine.com,1,2.0,3.6%,1\r\n");
}

}  // namespace
}  // namespace vx
