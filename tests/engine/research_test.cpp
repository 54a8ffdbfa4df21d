#include "engine/research.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "support/scoped_env.h"

namespace vx {
namespace {

// Fakes for everything the run reaches: pages by URL, a recorded URL list,
// and a hook that runs at every pump, where a test plays the user.
struct FakeWorld : StatusSink, EventPump, KeyState, InvestigateInputs {
    std::map<std::string, std::string> pages;  // URL -> body
    std::set<std::string> errorStatus;         // URLs answered with an error status
    std::set<std::string> dead;                // hosts that never answer
    std::function<std::string(const std::string&)> pageFor;
    std::vector<std::string> urls;
    std::vector<std::string> statuses;
    std::function<void()> onPump;
    int pumps = 0;
    bool escape = false;
    std::string site = "mysite.com";
    std::string depth = "3";
    int results = 10;
    StopFlag stop;
    ResultsTable table;
    LookupPolicy policy;
    std::mutex mutex;  // the fetch may run on several lookup threads
    std::function<void()> cancelFetches;
    PageFetcher fetchInstead;  // when set, every fetch goes here

    std::vector<RunProgress> progress;

    void SetStatusText(const std::string& t) override { statuses.push_back(t); }
    void ShowProgress(const RunProgress& p) override { progress.push_back(p); }
    void PumpEvents() override {
        ++pumps;
        if (onPump) onPump();
    }
    bool EscapeDown() override { return escape; }
    std::string TargetSite() override { return site; }
    std::string PageDepthText() override { return depth; }
    int ResultCount() override { return results; }

    FetchedPage Fetch(const std::string& url) {
        {
            const std::lock_guard lock(mutex);
            urls.push_back(url);
        }
        // A missing page is an empty answer (a server that answers, with
        // nothing); a dead one never answers.
        if (dead.count(url.substr(7, url.find('/', 7) - 7))) return FetchedPage();
        if (pageFor) {
            std::string body = pageFor(url);
            const bool whole = !body.empty();
            return FetchedPage(std::move(body), whole, true);
        }
        const auto it = pages.find(url);
        if (it == pages.end()) return FetchedPage("", false, true);
        return FetchedPage(it->second, !errorStatus.count(url), true);
    }

    Research Make() {
        const PageFetcher fetch =
            fetchInstead ? fetchInstead : [this](const std::string& url) { return Fetch(url); };
        return Research({.status = *this,
                         .pump = *this,
                         .keys = *this,
                         .stop = stop,
                         .inputs = *this,
                         .table = table,
                         .hosts = {"sugg", "srch"},
                         .fetch = fetch,
                         .decimalSeparator = '.',
                         .policy = policy,
                         .fetchAnyThread = policy.parallel > 1 ? fetch : PageFetcher(),
                         .cancelFetches = cancelFetches});
    }
};

const std::string kCompUrl = "http://srch/search?p=%22";
std::string RankUrl(const std::string& phrase, int start) {
    return kCompUrl + phrase + "%22&ei=UTF-8&n=20&fl=0&b=" + std::to_string(start);
}

std::string ResultsPage(const std::vector<std::string>& items, const std::string& count = "1,000") {
    std::string p = "<p>Results 1 - 20 of about <b>" + count + "</b> for x</p><ol>";
    for (const auto& i : items) p += "<li><a href=http://" + i + "/>" + i + "</a></li>";
    return p + "</ol></html>";
}

std::string SuggestionPage(int pairs) {
    std::string p = "<html>Searches DONE in May<table>";
    for (int i = 0; i < pairs; ++i)
        p += "<tr><td>&nbsp;" + std::to_string(1000 + i) + "</td><td><a href=x>Term " +
             std::to_string(i) + "</a></td></tr>";
    return p + "</table>";
}

TEST(RunInvestigation, SuggestionRequestKeepsCaseDropsQuotes) {
    struct Case {
        const char *keyword, *url;
    } cases[] = {
        {"\"Red Shoes\"",
         "http://sugg/d/searchinventory/suggestion/?term=Red%20Shoes&mkt=us&lang=en_US"},
        {"", "http://sugg/d/searchinventory/suggestion/?term=&mkt=us&lang=en_US"},
        {"a  b", "http://sugg/d/searchinventory/suggestion/?term=a%20%20b&mkt=us&lang=en_US"},
        {"c# 50%+\"a&b\"",
         "http://sugg/d/searchinventory/suggestion/?term=c%23%2050%25%2Ba%26b&mkt=us&lang=en_US"},
    };
    for (const auto& c : cases) {
        FakeWorld w;
        w.Make().RunInvestigation(c.keyword);
        ASSERT_EQ(w.urls.size(), 1u);
        EXPECT_EQ(w.urls[0], c.url);
        EXPECT_EQ(w.statuses.front(), c.keyword);
        EXPECT_EQ(w.table.Count(), 0);
    }
}

TEST(RunInvestigation, WalksPairsAndFillsEveryColumn) {
    FakeWorld w;
    w.pages["http://sugg/d/searchinventory/suggestion/?term=red%20shoes&mkt=us&lang=en_US"] =
        "<html>ignored <td>&nbsp;1</td> ... searches done in may ... "
        "<tr><td>&nbsp;4512</td><td><a href=x>Red Shoes</a></td></tr>"
        "<tr><td>&nbsp;870</td><td><a href=y>red shoe sale</a></td></tr></table>";
    w.pages[kCompUrl + "red+shoes%22"] = ResultsPage({}, "1,000");
    w.pages[RankUrl("red+shoes", 1)] = ResultsPage({"a.com", "b.com", "www.MySite.com"});
    w.pages[kCompUrl + "red+shoe+sale%22"] = "no count here";
    w.Make().RunInvestigation("red shoes");
    ASSERT_EQ(w.table.Count(), 2);
    const ResultRow& r0 = w.table.At(0);
    EXPECT_EQ(r0.KeyTerm(), "red shoes");
    EXPECT_EQ(r0.Columns(),
              (std::vector<std::string>{"4512", "1000", "0.222", "3", "99.8%", "4503"}));
    EXPECT_TRUE(r0.checked);
    const ResultRow& r1 = w.table.At(1);
    EXPECT_EQ(r1.KeyTerm(), "red shoe sale");
    // No "of about": "?"; every rank request came back empty: "?" too; and
    // what is derived from them is unknown. Three empty answers in a row
    // give up on the service.
    EXPECT_EQ(r1.Columns(), (std::vector<std::string>{"870", "?", "?", "?", "?", "?"}));
    EXPECT_EQ(w.urls,
              (std::vector<std::string>{
                  "http://sugg/d/searchinventory/suggestion/?term=red%20shoes&mkt=us&lang=en_US",
                  kCompUrl + "red+shoes%22", RankUrl("red+shoes", 1), kCompUrl + "red+shoe+sale%22",
                  RankUrl("red+shoe+sale", 1), RankUrl("red+shoe+sale", 21),
                  RankUrl("red+shoe+sale", 41)}));
    EXPECT_EQ(w.statuses,
              (std::vector<std::string>{
                  "red shoes", "red shoes", "red shoe sale",
                  "The search service at srch gave incomplete answers to 3 requests in a row."}));
}

TEST(RunInvestigation, EndsAtResultCountWithCompleteRows) {
    FakeWorld w;
    w.pageFor = [](const std::string& url) {
        return url.find("sugg") != std::string::npos ? SuggestionPage(40) : ResultsPage({});
    };
    w.depth = "1";
    w.Make().RunInvestigation("x");
    ASSERT_EQ(w.table.Count(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(w.table.At(i).ColumnCount(), 6);
        EXPECT_TRUE(w.table.At(i).checked);
        EXPECT_EQ(w.table.At(i).KeyTerm(), "term " + std::to_string(i));
    }
}

TEST(RunInvestigation, StopDuringRankSearchOfRowThreeEndsAfterThatRow) {
    FakeWorld w;
    w.pageFor = [&](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(40);
        if (url == RankUrl("term+2", 21)) w.onPump = [&] { w.stop.Set(); };
        return ResultsPage({"x.com"});
    };
    w.stop.Set();  // a stop before the walk begins is cleared by it
    w.Make().RunInvestigation("x");
    ASSERT_EQ(w.table.Count(), 3);
    // Page 41 was never searched: the rank is unknown, not "not ranked".
    EXPECT_EQ(w.table.At(2).Column(3), "?");
    EXPECT_TRUE(w.table.At(2).checked);
    EXPECT_EQ(w.urls.back(), RankUrl("term+2", 21));  // no page 41 after the stop
}

TEST(RunInvestigation, EscapeEndsRankSearchAfterThePageAndTheWalkAfterTheRow) {
    FakeWorld w;
    w.pageFor = [&](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(5);
        if (url.find("&b=") != std::string::npos) w.escape = true;
        return ResultsPage({"x.com"});
    };
    w.Make().RunInvestigation("x");
    ASSERT_EQ(w.table.Count(), 1);
    EXPECT_EQ(w.table.At(0).Column(3), "?");
    EXPECT_EQ(w.urls.back(), RankUrl("term+0", 1));
}

TEST(RunInvestigation, NoCellAfterDoneGivesEmptyTable) {
    FakeWorld w;
    w.Make().FillResultsFromSuggestions("<td>&nbsp;1</td><td><a>a</a></td> searches done here");
    EXPECT_EQ(w.table.Count(), 0);
    EXPECT_TRUE(w.urls.empty());
}

TEST(RunInvestigation, MissingMarkersStillGiveFilledRows) {
    FakeWorld w;
    w.Make().FillResultsFromSuggestions(" done <td>4512</td><td>red shoes</td>");
    ASSERT_EQ(w.table.Count(), 1);
    EXPECT_EQ(w.table.At(0).Column(0), "512");  // no &nbsp;: from position 6
    EXPECT_EQ(w.table.At(0).KeyTerm(), "");     // no </a>
    EXPECT_EQ(w.table.At(0).Columns(), (std::vector<std::string>{"512", "", "0", "-", "0%", "0"}));
    EXPECT_TRUE(w.table.At(0).checked);
    EXPECT_TRUE(w.urls.empty());  // empty term: no competition, no rank request
}

TEST(RunInvestigation, UnreadableDepthCompletesRowThenFaults) {
    FakeWorld w;
    w.depth = "";
    EXPECT_THROW(w.Make().FillResultsFromSuggestions(SuggestionPage(3)), ResearchFault);
    ASSERT_EQ(w.table.Count(), 1);
    EXPECT_EQ(w.table.At(0).Column(3), "-");
    EXPECT_EQ(w.table.At(0).ColumnCount(), 6);
    EXPECT_TRUE(w.table.At(0).checked);
}

TEST(RunInvestigation, StopSeenOnlyAtCheckPoints) {
    FakeWorld w;
    w.pageFor = [](const std::string& url) {
        return url.find("sugg") != std::string::npos ? SuggestionPage(5) : std::string();
    };
    w.depth = "1";
    int rows = 0;
    w.onPump = [&] {
        if (w.table.Count() == 2 && rows++ == 0) w.stop.Set();
    };
    w.Make().RunInvestigation("x");
    EXPECT_EQ(w.table.Count(), 2);
}

// A service that stops answering ends the run after three fetches in a row
// got no answer: the row in progress is completed with "?", the rows before
// it stay, and the run says which service it gave up on. A suggestion
// service that does not answer ends the run before the table is touched.
TEST(RunInvestigation, GivesUpOnAServiceThatDoesNotAnswer) {
    FakeWorld w;
    w.depth = "5";
    w.pageFor = [&](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(10);
        if (url.find("term+1") != std::string::npos) w.dead.insert("srch");
        return ResultsPage({"a.com"});
    };
    Research r = w.Make();
    r.RunInvestigation("x");
    ASSERT_EQ(w.table.Count(), 2);
    EXPECT_EQ(w.table.At(0).Column(3), "-");
    // Its competition came back; then three rank pages got no answer.
    EXPECT_EQ(w.table.At(1).Columns(),
              (std::vector<std::string>{"1001", "1000", "0.999", "?", "?", "?"}));
    EXPECT_TRUE(w.table.At(1).checked);
    EXPECT_EQ(r.GaveUp(), "The search service at srch is not answering.");
    EXPECT_EQ(w.statuses.back(), r.GaveUp());
    const auto asked = std::count_if(w.urls.begin(), w.urls.end(), [](const std::string& u) {
        return u.find("term+1") != std::string::npos;
    });
    EXPECT_EQ(asked, 1 + Research::kFailuresBeforeGivingUp);

    FakeWorld down;
    down.table.SetKeyTerm(down.table.Append(), "kept");
    down.dead.insert("sugg");
    Research s = down.Make();
    s.RunInvestigation("x");
    EXPECT_EQ(s.GaveUp(), "The suggestion service at sugg is not answering.");
    ASSERT_EQ(down.table.Count(), 1);
    EXPECT_EQ(down.urls.size(), 1u);
}

TEST(LookupCompetition, CountWindowRules) {
    struct Case {
        const char *page, *want;
    } cases[] = {
        {"Results 1 - 10 of about <b>12,345</b> for", "12345"},
        {"of about <b></b>", "0"},
        {"of about <b>12.345</b>", "12345"},
        {"OF ABOUT <B>7 000</B>", "7000"},
        {"no count", "?"},
        {"", "?"},
        {"of about 1234</b", "ofabout1234"},
        {"of about 1234</b>", "0"},  // ">" after "</"
        {"of about <b>12", "0"},
        {"of about </b><b>5</b>", "0"},
    };
    for (const auto& c : cases) {
        FakeWorld w;
        w.pages[kCompUrl + "red+shoes%22"] = c.page;
        EXPECT_EQ(w.Make().LookupCompetition("red shoes"), c.want) << c.page;
    }
    FakeWorld w;
    w.pages[kCompUrl + "red+shoes%22"] =
        std::string(300, 'x') + "of about " + std::string(195, ' ') + "<b>9</b>";
    EXPECT_EQ(w.Make().LookupCompetition("red shoes"), "0");  // outside the 200-byte window
}

TEST(LookupCompetition, StatusFirstAndEmptyTermMakesNoRequest) {
    FakeWorld w;
    Research r = w.Make();
    EXPECT_EQ(r.LookupCompetition(""), "");
    EXPECT_TRUE(w.urls.empty());
    EXPECT_EQ(w.statuses, std::vector<std::string>{""});
    EXPECT_EQ(w.pumps, 1);
    r.LookupCompetition("  ");
    ASSERT_EQ(w.urls.size(), 1u);
    EXPECT_EQ(w.urls[0], kCompUrl + "++%22");
    EXPECT_EQ(w.pumps, 4);
}

TEST(FindRank, ItemWalk) {
    struct Case {
        const char* name;
        std::map<int, std::string> pages;  // page start -> body
        int depth;
        const char* want;
    } cases[] = {
        {"third item", {{1, ResultsPage({"a.com", "b.com", "mysite.com", "d.com"})}}, 3, "3"},
        {"page 41 third item",
         {{1, ResultsPage({"a.com"})},
          {21, ResultsPage({"a.com"})},
          {41, ResultsPage({"a.com", "b.com", "mysite.com"})}},
         3,
         "43"},
        {"last item gets its real rank",
         {{1, ResultsPage({"a.com", "b.com", "mysite.com"})}},
         1,
         "3"},
        {"only before of about", {{1, "mysite.com " + ResultsPage({"a.com"})}}, 1, "1"},
        {"no items", {{1, "of about <b>5</b> mysite.com"}}, 1, "1"},
        {"capitals on the page", {{1, ResultsPage({"a.com", "WWW.MYSITE.COM"})}}, 1, "2"},
        {"not found", {{1, ResultsPage({"a.com"})}, {21, ResultsPage({"b.com"})}}, 2, "-"},
        {"every request failed", {}, 3, "?"},
        {"one page failed", {{1, ResultsPage({"a.com"})}}, 2, "?"},
        {"found after a failed page", {{21, ResultsPage({"mysite.com"})}}, 2, "21"},
        {"depth 0", {{1, ResultsPage({"mysite.com"})}}, 0, "-"},
        {"an item ends three bytes before the next",
         {{1, "of about <b>9</b><li>x mysite.com<li>b.com<li>mysite.com"}},
         1,
         "3"},
    };
    for (const auto& c : cases) {
        FakeWorld w;
        for (const auto& [start, body] : c.pages) w.pages[RankUrl("red+shoes", start)] = body;
        EXPECT_EQ(w.Make().FindRank("red shoes", "MySite.com", c.depth), c.want) << c.name;
    }
    // A results page that came with an error status is searched, but a site
    // missing from it is unknown, not "not ranked".
    FakeWorld w;
    w.pages[RankUrl("red+shoes", 1)] = ResultsPage({"a.com"});
    w.errorStatus.insert(RankUrl("red+shoes", 1));
    EXPECT_EQ(w.Make().FindRank("red shoes", "mysite.com", 1), "?");
    w.pages[RankUrl("red+shoes", 1)] = ResultsPage({"mysite.com"});
    EXPECT_EQ(w.Make().FindRank("red shoes", "mysite.com", 1), "1");
    // A competition count beyond 64 bits is unknown.
    w.pages[kCompUrl + "big%22"] = ResultsPage({}, "99,999,999,999,999,999,999");
    EXPECT_EQ(w.Make().LookupCompetition("big"), "?");
}

TEST(SearchUrls, TermsThatWouldChangeTheUrlAreEncoded) {
    struct Case {
        const char *term, *phrase;
    } cases[] = {
        {"red shoes", "red+shoes"},
        {"c# tutorial", "c%23+tutorial"},
        {"c++ tutorial", "c%2B%2B+tutorial"},
        {"a&b=41", "a%26b=41"},
        {"50% off", "50%25+off"},
        {"caf\xc3\xa9 cr\xc3\xa8me", "caf%C3%A9+cr%C3%A8me"},
        {"\xd0\xb4\xd0\xb0 \"x\"", "%D0%B4%D0%B0+\"x\""},
        {"a\r\nb\x7f", "a%0D%0Ab%7F"},
    };
    for (const auto& c : cases) {
        FakeWorld w;
        w.depth = "1";
        w.site = "mysite.com";
        Research r = w.Make();
        r.LookupCompetition(c.term);
        r.FindRank(c.term, "mysite.com", 1);
        EXPECT_EQ(w.urls,
                  (std::vector<std::string>{kCompUrl + c.phrase + "%22", RankUrl(c.phrase, 1)}))
            << c.term;
    }
}

// The site as users type it: a scheme, a trailing "/", capitals, blanks.
TEST(RunInvestigation, TargetSiteTypedWithSchemeOrSlashIsFound) {
    for (const char* typed :
         {"www.mysite.com", "  https://www.MySite.com/ ", "HTTP://www.mysite.com//"}) {
        FakeWorld w;
        w.site = typed;
        w.pages["http://sugg/d/searchinventory/suggestion/?term=red&mkt=us&lang=en_US"] =
            "done <td>&nbsp;10</td><td><a href=x>red</a></td>";
        w.pages[RankUrl("red", 1)] = ResultsPage({"a.com", "www.mysite.com"});
        w.Make().RunInvestigation("red");
        ASSERT_EQ(w.table.Count(), 1) << typed;
        EXPECT_EQ(w.table.At(0).Column(3), "2") << typed;
    }
}

TEST(FindRank, LargePageWithManyItems) {
    FakeWorld w;
    std::string page = "of about <b>1</b><ol>";
    for (int i = 0; i < 200000; ++i) page += "<li>x.com";
    page += "<li>mysite.com</ol>";
    w.pages[RankUrl("red", 1)] = page;
    EXPECT_EQ(w.Make().FindRank("red", "mysite.com", 1), "200001");
}

TEST(FindRank, FetchesAtMostDepthPages) {
    FakeWorld w;
    w.pageFor = [](const std::string&) { return ResultsPage({"a.com"}); };
    w.Make().FindRank("red shoes", "mysite.com", 5);
    EXPECT_EQ(w.urls, (std::vector<std::string>{RankUrl("red+shoes", 1), RankUrl("red+shoes", 21),
                                                RankUrl("red+shoes", 41), RankUrl("red+shoes", 61),
                                                RankUrl("red+shoes", 81)}));
}

TEST(FindRank, NoRequestWithoutPhraseOrTarget) {
    FakeWorld w;
    EXPECT_EQ(w.Make().FindRank("", "mysite.com", 3), "-");
    EXPECT_EQ(w.Make().FindRank("red", "", 3), "-");
    EXPECT_TRUE(w.urls.empty());
}

TEST(FindRank, StopOrEscapeAfterFirstPage) {
    for (bool useEscape : {false, true}) {
        FakeWorld w;
        w.pages[RankUrl("red", 1)] = ResultsPage({"a.com"});
        w.pages[RankUrl("red", 21)] = ResultsPage({"mysite.com"});
        if (useEscape)
            w.escape = true;
        else
            w.stop.Set();  // requested before the search: one page is still fetched
        // Pages 21 and 41 may hold the site: unknown, never "not ranked".
        EXPECT_EQ(w.Make().FindRank("red", "mysite.com", 3), "?");
        EXPECT_EQ(w.urls.size(), 1u);
        // The last page searched whole without the site: "-" it is.
        FakeWorld last;
        last.pages[RankUrl("red", 1)] = ResultsPage({"a.com"});
        if (useEscape)
            last.escape = true;
        else
            last.stop.Set();
        EXPECT_EQ(last.Make().FindRank("red", "mysite.com", 1), "-");
        // That one page cut short by the stop: unknown.
        FakeWorld e;
        e.stop.Set();
        EXPECT_EQ(e.Make().FindRank("red", "mysite.com", 1), "?");
    }
    FakeWorld w;
    w.escape = true;
    w.pages[RankUrl("red", 1)] = ResultsPage({"a.com", "mysite.com"});
    EXPECT_EQ(w.Make().FindRank("red", "mysite.com", 3), "2");
}

// A service given as https://host:port is asked over HTTPS, its paths and
// queries as always; a bare host:port means plain HTTP.
TEST(SearchUrls, TheServicesSchemeIsKept) {
    struct Case {
        const char *host, *want;
    } cases[] = {
        {"srch", "http://srch/search?p=%22red%22"},
        {"https://srch.example:8443", "https://srch.example:8443/search?p=%22red%22"},
        {"HTTP://srch/", "http://srch/search?p=%22red%22"},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.fetchInstead = [&](const std::string& url) {
            w.urls.push_back(url);
            return FetchedPage("of about <b>1</b>");
        };
        Research r({.status = w,
                    .pump = w,
                    .keys = w,
                    .stop = w.stop,
                    .inputs = w,
                    .table = w.table,
                    .hosts = {"sugg", c.host},
                    .fetch = w.fetchInstead});
        r.LookupCompetition("red");
        ASSERT_EQ(w.urls.size(), 1u);
        EXPECT_EQ(w.urls[0], c.want);
    }
}

// Why a service cannot be reached securely is told once a run and service,
// in the status and among the run's notices, however many fetches fail so.
TEST(RunInvestigation, ATlsFailureIsToldOncePerService) {
    for (const int parallel : {1, 4}) {
        FakeWorld w;
        w.policy.parallel = parallel;
        w.fetchInstead = [](const std::string& url) {
            if (url.find("sugg") != std::string::npos) return FetchedPage(SuggestionPage(3));
            FetchedPage failed("", false, true);
            failed.problem = "TLS handshake: certificate has expired";
            return failed;
        };
        Research r = w.Make();
        r.RunInvestigation("x");
        const std::string told =
            "The search service at srch: TLS handshake: certificate has expired";
        EXPECT_EQ(r.Notices(), std::vector<std::string>{told}) << parallel;
        EXPECT_NE(std::find(w.statuses.begin(), w.statuses.end(), told), w.statuses.end());
        // Three such failures give up with the reason, never "not answering".
        EXPECT_EQ(r.Outcome().gaveUp, told) << parallel;
    }
}

TEST(ServiceHosts, EnvironmentOrLoopbackDefaults) {
    ::unsetenv("VEXORIN_SUGGEST_HOST");
    ::setenv("VEXORIN_SEARCH_HOST", "search.test:8080", 1);
    const ServiceHosts h = ServiceHostsFromEnvironment();
    EXPECT_EQ(h.suggest, "127.0.0.1:" + std::to_string(kDefaultServicesPort));
    EXPECT_EQ(h.search, "search.test:8080");
    ::unsetenv("VEXORIN_SEARCH_HOST");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Rows as the table shows them, every text and the check mark.
std::vector<std::vector<std::string>> Rows(const ResultsTable& table) {
    std::vector<std::vector<std::string>> rows;
    for (int i = 0; i < table.Count(); ++i) {
        rows.push_back({std::string(table.At(i).KeyTerm())});
        for (const std::string& c : table.At(i).Columns()) rows.back().push_back(c);
        rows.back().push_back(table.At(i).checked ? "checked" : "");
    }
    return rows;
}

// Rows looked up at once give the same table as one at a time; each row's
// requests keep their order (competition, then rank pages up to the one
// holding the site), and no more than N fetches are in flight at a moment.
TEST(ParallelLookups, SameRowsAndEachRowsOrderAtEveryN) {
    std::vector<std::vector<std::string>> first;
    for (const int n : {1, 4, 8}) {
        FakeWorld w;
        w.policy.parallel = n;
        w.depth = "4";
        std::atomic<int> inFlight{0}, most{0};
        w.pageFor = [&](const std::string& url) {
            if (url.find("sugg") != std::string::npos) return SuggestionPage(12);
            const int now = ++inFlight;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --inFlight;
            // Term k is on page k % 5 (none past the depth), with k thousand pages.
            const int k = std::stoi(url.substr(url.find("term+") + 5));
            if (url.find("&b=") == std::string::npos)
                return ResultsPage({}, std::to_string(k + 1) + ",000");
            const bool holds = url.ends_with("&b=" + std::to_string(1 + 20 * (k % 5)));
            return ResultsPage({"a.com", holds ? "mysite.com" : "b.com"});
        };
        w.Make().RunInvestigation("x");
        EXPECT_LE(most.load(), n);
        if (n > 1) {
            EXPECT_GT(most.load(), 1) << "no two lookups at once";
        }
        if (n == 1) first = Rows(w.table);
        EXPECT_EQ(Rows(w.table), first) << n;
        for (int k = 0; k < 10; ++k) {
            const std::string phrase = "term+" + std::to_string(k) + "%22";
            std::vector<std::string> asked;
            for (const std::string& u : w.urls)
                if (u.find(phrase) != std::string::npos) asked.push_back(u);
            std::vector<std::string> want = {kCompUrl + phrase};
            for (int page = 0; page <= std::min(k % 5, 3); ++page)
                want.push_back(RankUrl("term+" + std::to_string(k), 1 + 20 * page));
            EXPECT_EQ(asked, want) << "N " << n << ", row " << k;
        }
    }
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first[2][4], "42");  // page 3, second item
    EXPECT_EQ(first[4][4], "-");   // page 5 is past the depth
}

// Stop with every lookup stalled: the fetches in flight are cancelled, the
// rows shown are completed with what they have, no new row starts, and no
// lookup thread outlives the run.
TEST(ParallelLookups, StopCancelsEveryLookupInFlight) {
    FakeWorld w;
    w.policy.parallel = 4;
    std::mutex m;
    std::condition_variable cv;
    bool cancelled = false;
    w.cancelFetches = [&] {
        const std::lock_guard lock(m);
        cancelled = true;
        cv.notify_all();
    };
    w.pageFor = [&](const std::string& url) -> std::string {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(10);
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(20), [&] { return cancelled; });
        return "";
    };
    const auto start = std::chrono::steady_clock::now();
    w.onPump = [&] {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(50)) w.stop.Set();
    };
    w.Make().RunInvestigation("x");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(w.table.Count(), 4);
    for (const auto& row : Rows(w.table)) EXPECT_EQ(row[2], "?") << row[0];
}

// Back-off before each retry: about 0.5 s, 1 s, 2 s with a quarter of
// jitter either way, or the service's Retry-After when longer; one beyond
// the cap is not waited for (-1).
TEST(Retries, DelayFollowsRetryAfterOrBacksOff) {
    const LookupPolicy p;
    struct Case {
        int attempt, retryAfter;
        double jitter;
        int want;
    } cases[] = {
        {0, -1, 0, 500},        {1, -1, 0, 1000},  {2, -1, 0, 2000}, {0, -1, 1, 625},
        {2, -1, -1, 1500},      {0, 3, 1, 3000},   {4, 0, 0, 8000},  {2, 1, 0, 2000},
        {0, 0, -1, 375},        {0, 30, 0, 30000}, {0, 31, 0, -1},   {0, 999, 0, -1},
        {30, -1, 0, 500 << 20},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Research::RetryDelayMs(p, c.attempt, c.retryAfter, c.jitter), c.want)
            << c.attempt << " " << c.retryAfter << " " << c.jitter;
}

// What is tried again: transient failures, up to the policy's count; other
// failures once. What still fails is unknown ("?").
TEST(Retries, OnlyTransientFailuresAreTriedAgain) {
    struct Case {
        bool transient;
        int failures, retries;
        int wantFetches;
        const char* want;
    } cases[] = {
        {true, 2, 2, 3, "7"}, {true, 3, 2, 3, "?"}, {false, 1, 2, 1, "?"},
        {true, 1, 0, 1, "?"}, {true, 0, 2, 1, "7"},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.policy.retries = c.retries;
        w.policy.backoffMs = 1;
        int fetches = 0;
        w.fetchInstead = [&](const std::string&) {
            if (fetches++ < c.failures) {
                FetchedPage failed("", false, true);
                failed.transient = c.transient;
                return failed;
            }
            return FetchedPage("of about <b>7</b>");
        };
        Research r = w.Make();
        EXPECT_EQ(r.LookupCompetition("red"), c.want) << c.failures << " " << c.retries;
        EXPECT_EQ(fetches, c.wantFetches) << c.failures << " " << c.retries;
    }
}

// A back-off ends at once when the run is stopped.
TEST(Retries, StopEndsABackOff) {
    FakeWorld w;
    w.policy.retries = 5;
    w.policy.backoffMs = 10000;
    int fetches = 0;
    w.fetchInstead = [&](const std::string&) {
        ++fetches;
        FetchedPage failed("", false, false);
        failed.transient = true;
        return failed;
    };
    Research r = w.Make();
    const auto start = std::chrono::steady_clock::now();
    w.onPump = [&] {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(30)) w.stop.Set();
    };
    EXPECT_EQ(r.LookupCompetition("red"), "?");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(fetches, 1);
}

// A refusing service is given up on like a silent one: a 503 storm with
// "Retry-After: 0" ends after three fetches in a row still failed, each
// retry waits at least the back-off, and the run says what the service
// answered. A Retry-After past the cap is not waited for.
// No local port free is this computer's shortage: said once as such, and
// the service is not given up on for it, however many fetches it fails.
TEST(RunInvestigation, NoLocalPortIsNotTheServicesFault) {
    FakeWorld w;
    w.policy.parallel = 2;
    w.fetchInstead = [](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return FetchedPage(SuggestionPage(6));
        FetchedPage failed("", false, false);
        failed.noLocalPort = true;
        return failed;
    };
    Research r = w.Make();
    r.RunInvestigation("x");
    EXPECT_EQ(r.Outcome().gaveUp, "");
    EXPECT_EQ(r.Notices(), std::vector<std::string>{
                               "This computer had no local port free for a new connection (too "
                               "many closed in the last minute); rows left incomplete can be "
                               "looked up again."});
    EXPECT_EQ(w.table.Count(), 6);
}

TEST(Retries, ARefusingServiceIsGivenUpOnPolitely) {
    struct Case {
        int status, retryAfter;
        int wantFetches;
        const char* wantGaveUp;
    } cases[] = {
        {503, 0, 9,
         "The search service at srch answered 503 Service Unavailable to 3 requests in a row."},
        {429, 31, 3,
         "The search service at srch answered 429 Too Many Requests to 3 requests in a row."},
        {0, -1, 9, "The search service at srch is not answering."},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.policy.retries = 2;
        w.policy.backoffMs = 20;
        w.depth = "5";
        std::vector<std::chrono::steady_clock::time_point> at;
        w.fetchInstead = [&](const std::string& url) {
            if (url.find("sugg") != std::string::npos) return FetchedPage(SuggestionPage(10));
            at.push_back(std::chrono::steady_clock::now());
            FetchedPage failed("", false, c.status != 0);
            failed.transient = true;
            failed.retryAfterSeconds = c.retryAfter;
            failed.status = c.status;
            failed.statusLine = c.status == 503   ? "HTTP/1.1 503 Service Unavailable"
                                : c.status == 429 ? "HTTP/1.1 429 Too Many Requests"
                                                  : "";
            return failed;
        };
        Research r = w.Make();
        r.RunInvestigation("x");
        EXPECT_EQ(static_cast<int>(at.size()), c.wantFetches) << c.status;
        EXPECT_EQ(r.Outcome().gaveUp, c.wantGaveUp);
        EXPECT_EQ(r.Outcome().Summary(), c.wantGaveUp);
        // 20 ms then 40 ms between the tries of one fetch, never less.
        for (size_t i = 1; i < at.size(); ++i) {
            if (i % 3 == 0 || c.retryAfter > 30) continue;
            EXPECT_GE(at[i] - at[i - 1], std::chrono::milliseconds(15)) << c.status << " " << i;
        }
    }
}

// A service that asked one lane to wait is not asked by any other lane
// before the time is up.
TEST(Retries, AllLanesShareOneBackOff) {
    FakeWorld w;
    w.policy.parallel = 4;
    w.policy.retries = 1;
    w.depth = "1";
    std::mutex m;
    std::vector<std::chrono::steady_clock::time_point> after;
    std::optional<std::chrono::steady_clock::time_point> refused;
    w.fetchInstead = [&](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return FetchedPage(SuggestionPage(8));
        const std::lock_guard lock(m);
        const auto now = std::chrono::steady_clock::now();
        if (!refused) {
            refused = now;
            FetchedPage busy("", false, true);
            busy.transient = true;
            busy.retryAfterSeconds = 1;
            busy.status = 429;
            return busy;
        }
        // Fetches already in flight when the answer came may finish; a fetch
        // that starts later waits.
        after.push_back(now);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return FetchedPage(ResultsPage({"a.com"}));
    };
    w.Make().RunInvestigation("x");
    ASSERT_TRUE(refused);
    // At most the three other lanes' first fetches come within the second.
    const auto early = std::count_if(after.begin(), after.end(), [&](auto t) {
        return t - *refused < std::chrono::milliseconds(900);
    });
    EXPECT_LE(early, 3);
    EXPECT_EQ(w.table.Count(), 8);
}

// How a run says it ended: stopped, given up, rows with holes and which
// service failed how often, or a plain "Done!" with nothing missing.
TEST(RunOutcome, SummaryTellsHowTheRunEnded) {
    auto outcome = [](bool stopped, const char* gaveUp, int rows, int incomplete, int failed) {
        RunOutcome o;
        o.walked = true;
        o.stopped = stopped;
        o.gaveUp = gaveUp;
        o.rows = rows;
        o.incompleteRows = incomplete;
        o.failedFetches[1] = failed;
        return o;
    };
    const struct Case {
        RunOutcome o;
        const char* want;
    } cases[] = {
        {outcome(false, "", 30, 0, 0), "Done!"},
        {outcome(true, "", 30, 2, 2), "Stopped"},
        {outcome(false, "The search service at s is not answering.", 3, 1, 3),
         "The search service at s is not answering."},
        {outcome(false, "", 30, 7, 9),
         "Done: 7 of 30 rows incomplete; the search service failed 9 requests."},
        {outcome(false, "", 30, 1, 1),
         "Done: 1 of 30 rows incomplete; the search service failed 1 request."},
        {outcome(false, "", 4, 1, 0), "Done: 1 of 4 rows incomplete."},
    };
    for (const Case& c : cases) EXPECT_EQ(c.o.Summary(), c.want);

    // From a real run: one row's competition page failed.
    FakeWorld w;
    w.pageFor = [](const std::string& url) {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(4);
        return url.find("term+2%22") != std::string::npos && url.find("&b=") == std::string::npos
                   ? std::string()
                   : ResultsPage({"a.com"});
    };
    Research r = w.Make();
    r.RunInvestigation("x");
    EXPECT_EQ(r.Outcome().Summary(),
              "Done: 1 of 4 rows incomplete; the search service failed 1 request.");
}

// A list the user has: every term in order, whatever the dialog's count,
// no suggestion fetched; its demand as given ("?" where none), a range
// read as its geometric middle for the metrics.
TEST(RunOutcome, AListIsResearchedWhole) {
    for (const int parallel : {1, 4}) {
        FakeWorld w;
        w.policy.parallel = parallel;
        w.depth = "1";
        w.results = 2;
        w.pageFor = [](const std::string& url) {
            return url.find("&b=") == std::string::npos ? ResultsPage({}, "31,620")
                                                        : ResultsPage({"a.com"});
        };
        std::vector<ImportedTerm> list = {{"red shoes", "1K \xE2\x80\x93 10K"}, {"boots", ""}};
        for (int i = 0; i < 10; ++i) list.push_back({"term " + std::to_string(i), "100"});
        Research r = w.Make();
        r.RunList(list);
        const auto rows = Rows(w.table);
        ASSERT_EQ(rows.size(), list.size()) << parallel;
        EXPECT_EQ(rows[0], (std::vector<std::string>{"red shoes", "1K \xE2\x80\x93 10K", "31620",
                                                     "10", "-", "0%", "0", "checked"}));
        EXPECT_EQ(rows[1][1], "?");
        EXPECT_EQ(rows[11][0], "term 9");
        EXPECT_TRUE(std::none_of(w.urls.begin(), w.urls.end(),
                                 [](const std::string& u) { return u.find("sugg") != u.npos; }));
        EXPECT_TRUE(r.Outcome().walked);
    }
}

// Several seeds: each brings as many suggestions as its own research would,
// in seed order, a term met again (in any case) dropped; one list is walked.
TEST(RunOutcome, SeveralSeedsAreResearchedAsOneList) {
    FakeWorld w;
    w.results = 3;
    w.depth = "1";
    auto page = [](const std::vector<std::string>& terms) {
        std::string p = "<html>Searches DONE in May<table>";
        for (const auto& t : terms)
            p += "<tr><td>&nbsp;50</td><td><a href=x>" + t + "</a></td></tr>";
        return p + "</table>";
    };
    w.pageFor = [&](const std::string& url) {
        if (url.find("term=shoes") != std::string::npos)
            return page({"red shoes", "Blue Shoes", "Shoes sale", "beyond the cap"});
        if (url.find("term=boots") != std::string::npos) return page({"BLUE SHOES", "boots"});
        return ResultsPage({}, "500");
    };
    Research r = w.Make();
    r.RunSeeds({"shoes", "boots"});
    std::vector<std::string> terms;
    for (const auto& row : Rows(w.table)) terms.push_back(row[0]);
    EXPECT_EQ(terms, (std::vector<std::string>{"red shoes", "blue shoes", "shoes sale", "boots"}));
    EXPECT_EQ(Rows(w.table)[3][2], "500");
    ASSERT_FALSE(w.progress.empty());
    EXPECT_EQ(w.progress.back().rowsDone, 4);
    EXPECT_EQ(w.progress.back().rowsWanted, 4);
}

// The first page's result links become the row's top results, from the
// pages a run fetches anyway: no request more, serial or rows at once; a
// page that did not come whole gives none.
TEST(TopResults, KeptFromTheFirstPageWithoutARequestMore) {
    EXPECT_EQ(ItemLinks("<p>of about <b>9</b></p><ol><LI><a HREF=\"http://a.com/x\">a</a>"
                        "<li>no link</li><li><a href='/rel'>r</a><li><a href=http://b.com/>b</a>"),
              (std::vector<std::string>{"http://a.com/x", "", "/rel", "http://b.com/"}));
    for (const int parallel : {1, 4}) {
        FakeWorld w;
        w.policy.parallel = parallel;
        // Depth 1: the failing term's two failures never make the run give up.
        w.depth = "1";
        w.pageFor = [](const std::string& url) -> std::string {
            if (url.find("term 1") != std::string::npos || url.find("term+1") != std::string::npos)
                return "";  // no answer for this term at all
            if (url.find("&b=1") != std::string::npos)
                return ResultsPage({"a.com", "www.B.com", "mysite.com"});
            return url.find("&b=") != std::string::npos ? ResultsPage({"c.com"})
                                                        : ResultsPage({}, "5");
        };
        Research r = w.Make();
        r.RunList({{"term 0", "10"}, {"term 1", "10"}});
        ASSERT_EQ(w.table.Count(), 2);
        const auto& top = w.table.At(0).Top();
        ASSERT_EQ(top.size(), 3u) << parallel;
        EXPECT_EQ(top[1].host, "b.com");
        EXPECT_EQ(top[2].position, 3);
        EXPECT_TRUE(w.table.At(1).Top().empty());
        // Competition and one rank page a term, as before.
        EXPECT_EQ(w.urls.size(), 2u + 2u) << parallel;
    }
}

TEST(RunProgress, TextTellsRowsAndTimes) {
    struct Case {
        int done, wanted;
        long long elapsed, left;
        const char* text;
    } cases[] = {
        {0, 2000, 400, -1, "0 of 2000 rows, 0:00 elapsed"},
        {120, 2000, 65'000, 1'021'999, "120 of 2000 rows, 1:05 elapsed, about 17:01 left"},
        {5, 9, 3'723'000, 3'723'000, "5 of 9 rows, 1:02:03 elapsed, about 1:02:03 left"},
        {9, 9, 5'000, 0, "9 of 9 rows, 0:05 elapsed"},
    };
    for (const Case& c : cases) {
        RunProgress p{c.done, c.wanted, 0, c.elapsed, c.left};
        EXPECT_EQ(p.Text(), c.text);
    }
}

// A run stopped while its suggestions load walks no rows: the table keeps
// the earlier run's rows, and there is no run of its own to record.
TEST(RunOutcome, AStopBeforeTheRowWalkIsNoRun) {
    FakeWorld w;
    w.table.Append();
    w.pageFor = [&](const std::string& url) {
        if (url.find("sugg") != std::string::npos) w.stop.Set();
        return SuggestionPage(4);
    };
    Research r = w.Make();
    r.RunInvestigation("shoes");
    EXPECT_FALSE(r.Outcome().walked);
    EXPECT_TRUE(r.Outcome().stopped);
    EXPECT_EQ(r.Outcome().Summary(), "Stopped");
    EXPECT_EQ(w.table.Count(), 1);
}

// Rows are completed however a lookup ends: a page cut short is no count,
// and a fault on a lookup thread fails its row, not the process.
TEST(ParallelLookups, ACutPageOrAFaultFailsOnlyItsRow) {
    FakeWorld w;
    w.policy.parallel = 4;
    w.depth = "1";
    w.fetchInstead = [](const std::string& url) -> FetchedPage {
        if (url.find("sugg") != std::string::npos) return SuggestionPage(4);
        if (url.find("term+1%22") != std::string::npos) throw std::runtime_error("boom");
        if (url.find("term+2%22") != std::string::npos && url.find("&b=") == std::string::npos)
            return FetchedPage(ResultsPage({}, "5,000"), false, true);  // cut short
        return FetchedPage(ResultsPage({"a.com"}, "5,000"));
    };
    w.Make().RunInvestigation("x");
    const auto rows = Rows(w.table);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][2], "5000");
    EXPECT_EQ(rows[1][2], "?");
    EXPECT_EQ(rows[1][4], "?");
    EXPECT_EQ(rows[2][2], "?");
    EXPECT_EQ(rows[2][4], "-");
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// A run takes its services and lookup policy from the preferences, except
// where the environment sets them; values out of range in it do not count.
TEST(Preferences, TheEnvironmentWins) {
    Preferences p;
    p.suggestHost = "suggest.example";
    p.parallel = 6;
    p.retries = 1;
    EXPECT_EQ(ServiceHostsFor(p).suggest, "suggest.example");
    EXPECT_EQ(ServiceHostsFor(p).search, "127.0.0.1:" + std::to_string(kDefaultServicesPort));
    EXPECT_EQ(LookupPolicyFor(p).parallel, 6);
    {
        vx::testing::ScopedEnv host("VEXORIN_SUGGEST_HOST", "env.example:81");
        vx::testing::ScopedEnv parallel("VEXORIN_PARALLEL", "2");
        vx::testing::ScopedEnv retries("VEXORIN_RETRIES", "9");
        EXPECT_EQ(ServiceHostsFor(p).suggest, "env.example:81");
        EXPECT_EQ(LookupPolicyFor(p).parallel, 2);
        EXPECT_EQ(LookupPolicyFor(p).retries, 1);  // 9 is out of range
    }
    EXPECT_EQ(LookupPolicyFor(p).parallel, 6);
}

// The ends of each range from the environment, and one past them.
TEST(Preferences, TheEnvironmentsRangeEnds) {
    Preferences p;
    p.parallel = 6;
    p.retries = 1;
    struct Case {
        const char *name, *value;
        int wantParallel, wantRetries;
    } cases[] = {
        {"VEXORIN_PARALLEL", "1", 1, 1}, {"VEXORIN_PARALLEL", "8", 8, 1},
        {"VEXORIN_PARALLEL", "0", 6, 1}, {"VEXORIN_PARALLEL", "9", 6, 1},
        {"VEXORIN_RETRIES", "0", 6, 0},  {"VEXORIN_RETRIES", "5", 6, 5},
        {"VEXORIN_RETRIES", "-1", 6, 1}, {"VEXORIN_RETRIES", "6", 6, 1},
    };
    for (const Case& c : cases) {
        vx::testing::ScopedEnv env(c.name, c.value);
        EXPECT_EQ(LookupPolicyFor(p).parallel, c.wantParallel) << c.name << "=" << c.value;
        EXPECT_EQ(LookupPolicyFor(p).retries, c.wantRetries) << c.name << "=" << c.value;
    }
}

}  // namespace
}  // namespace vx
