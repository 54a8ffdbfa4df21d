#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

#include "sources/google_ads_suggestions.h"
#include "sources/json_answer.h"
#include "sources/searxng_source.h"
#include "sources/serp_json_search.h"
#include "sources/service_choice.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

TEST(JsonAnswer, WhatIsNoJsonOrTooMuchIsRefusedWithItsReason) {
    // One value past the bound: a list that would cost a tree of megabytes.
    std::string many = "[0";
    for (size_t i = 0; i < kMaxJsonValues; ++i) many += ",0";
    many += "]";
    struct Case {
        std::string body;
        const char* error;  // a part of it; "" for none
    } cases[] = {
        {R"({"a": [1, 2]})", ""},
        {"<!DOCTYPE html><html>Forbidden</html>", "answered HTML, not JSON"},
        {"  \r\n", "answered nothing"},
        {"{\"a\": ", "is not JSON"},
        {std::string(10000, '[') + std::string(10000, ']'), "nested deeper than 64"},
        // The bound itself is allowed, one past it is not.
        {std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']'), ""},
        {std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']'),
         "nested deeper than 64"},
        // Brackets inside strings are text, not nesting.
        {"[\"" + std::string(200, '[') + "\"]", ""},
        {"[" + std::string(kMaxJsonBytes, ' ') + "]", "more than 8 MiB of JSON"},
        {many, "more than 250000 values"},
    };
    for (const Case& c : cases) {
        std::string error;
        ReadJsonAnswer(c.body, &error);
        if (*c.error == '\0')
            EXPECT_EQ(error, "") << c.body.substr(0, 40);
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(JsonAnswer, PointersWithEachElement) {
    const auto doc = nlohmann::json::parse(
        R"({"info": {"total": "12,345"}, "r": [{"link": "a"}, {"x": 1}, {"link": "b"}],
            "a/b": {"m~n": 7}, "list": [[1, 2], [3]]})");
    auto texts = [&](const char* pointer) {
        std::vector<std::string> out;
        for (const auto* v : PointTo(doc, pointer)) out.push_back(v->dump());
        return out;
    };
    EXPECT_EQ(texts("info/total"), std::vector<std::string>{"\"12,345\""});
    EXPECT_EQ(texts("/r/*/link"), (std::vector<std::string>{"\"a\"", "\"b\""}));
    EXPECT_EQ(texts("/a~1b/m~0n"), std::vector<std::string>{"7"});
    EXPECT_EQ(texts("/list/*/1"), std::vector<std::string>{"2"});
    EXPECT_EQ(texts("/r/1/x"), std::vector<std::string>{"1"});
    EXPECT_TRUE(texts("/r/9/link").empty());
    EXPECT_TRUE(texts("/missing/*").empty());
    EXPECT_EQ(JsonWholeNumber(doc["info"]["total"]), 12345);
    for (const char* bad : {R"("-5")", R"("1e3")", "1.5", "null", R"("")", "true"})
        EXPECT_FALSE(JsonWholeNumber(nlohmann::json::parse(bad))) << bad;
    EXPECT_EQ(JsonWholeNumber(nlohmann::json::parse("12300.0")), 12300);
}

ServiceProfile Profile(const std::string& text) {
    return ReadServiceProfile("p", "/profiles/p.json", text);
}

TEST(Sources, AProfileThatDoesNotReadSaysWhereAndWhy) {
    struct Case {
        const char *text, *error;
    } cases[] = {
        {"{\"kind\": \"searxng\",\n \"base\": }", "line 2, column 10: "},
        {"[1]", "a profile is a JSON object"},
        {R"({"base": "http://x"})", "\"kind\" is missing"},
        {R"({"kind": "gopher", "base": "http://x"})", "\"kind\" \"gopher\" is none of"},
        {R"({"kind": "searxng"})", "\"base\" is missing"},
        {R"({"kind": "serp-json", "base": "http://x", "url": "{base}/s", "total_results": "/t",
            "result_urls": "/u", "results_per_request": 10})",
         "\"url\" has no {q}"},
        {R"({"kind": "serp-json", "base": "http://x", "url": "{base}/s?q={q}", "total_results": "/t",
            "result_urls": "/u", "results_per_request": 500})",
         "\"results_per_request\" must be a whole number from 1 to 100"},
        {R"({"kind": "google-ads", "base": "http://x", "version": "17"})",
         "\"token_url\" is missing"},
    };
    for (const Case& c : cases) {
        const ServiceProfile p = Profile(c.text);
        EXPECT_NE(p.error.find(c.error), std::string::npos) << c.text << "\n -> " << p.error;
    }
    const ServiceProfile good = Profile(R"({"kind": "serp-json", "base": "http://x/",
        "url": "{base}/s?q={q}&k={secret:api_key}", "headers": {"X-Key": "{secret:other}"},
        "total_results": "/t", "result_urls": "/u/*/link", "results_per_request": 100})");
    EXPECT_EQ(good.error, "");
    EXPECT_EQ(good.base, "http://x");
    EXPECT_EQ(good.secrets, (std::vector<std::string>{"api_key", "other"}));
}

TEST(Sources, ASerpApiIsAskedAsItsProfileSaysAndItsSecretsAreMasked) {
    const ServiceProfile p = Profile(R"({"kind": "serp-json", "base": "http://api.test",
        "url": "{base}/s?q={q}&start={start}&num={num}&page={page}&key={secret:k}",
        "headers": {"X-Key": "{secret:k}"}, "first_start": 1,
        "total_results": "/info/total", "result_urls": "/organic/*/link",
        "results_per_request": 100})");
    ASSERT_EQ(p.error, "");
    const SerpJsonSearch search(p, {{"k", "made-up&key"}});
    const ServiceRequest count = search.CountRequest("red shoes");
    EXPECT_EQ(count.url,
              "http://api.test/s?q=%22red%20shoes%22&start=1&num=100&page=1&key=made-up%26key");
    EXPECT_EQ(count.ShownUrl(),
              "http://api.test/s?q=%22red%20shoes%22&start=1&num=100&page=1&key=***");
    EXPECT_EQ(count.headers,
              (std::vector<std::pair<std::string, std::string>>{{"X-Key", "made-up&key"}}));
    // The next request starts after the results the first really held.
    EXPECT_EQ(search.ResultsRequest("x", 1, 7).url,
              "http://api.test/s?q=x&start=8&num=100&page=2&key=made-up%26key");

    const SearchRead read = search.Read(
        {200, true,
         R"({"info": {"total": 2500}, "organic": [{"link": "http://a"}, {"link": "http://b"}]})"});
    EXPECT_EQ(read.count, 2500);
    EXPECT_EQ(read.urls, (std::vector<std::string>{"http://a", "http://b"}));
    // An API that echoes the key it was given never gets it into a message.
    const SearchRead echoed = search.Read({200, true, R"({"error": "bad key made-up&key"})"});
    EXPECT_EQ(echoed.error, "answered \"bad key ***\"");
    // Echoed as the request carried it, percent-encoded either way.
    EXPECT_EQ(
        search.Read({400, false, R"({"error": "no key=made-up%26key or made-up%26key"})"}).error,
        "answered 400: no key=*** or ***");
    EXPECT_EQ(search.Read({401, false, "{}"}).error, "refused the credentials (401)");
    // A secret that the mask itself would hold is masked once, not forever.
    EXPECT_EQ(MaskSecrets("key=*&k2=*", {"*"}), "key=***&k2=***");
}

TEST(Sources, SearxngCountsOnlyWhatItsEnginesCount) {
    const SearxngSearch search("http://sx");
    EXPECT_EQ(search.CountRequest("a&b").url, "http://sx/search?q=%22a%26b%22&format=json");
    EXPECT_EQ(search.ResultsRequest("a b", 2, 25).url,
              "http://sx/search?q=a%20b&format=json&pageno=3");
    EXPECT_EQ(search.Read({200, true, R"({"number_of_results": 0, "results": []})"}).count,
              std::nullopt);
    EXPECT_EQ(search.Read({200, true, R"({"number_of_results": 1.2e3, "results": []})"}).count,
              1200);
    EXPECT_NE(search.Read({200, true, "<html>JSON is off</html>"}).error.find("HTML"),
              std::string::npos);
    EXPECT_EQ(search.Refusal(403, "403 Forbidden"),
              "refused JSON output: add json to search: formats: in the instance's settings.yml "
              "(403 Forbidden)");
    SearxngSuggestions suggest("http://sx");
    suggest.Begin("shoes", 2);
    ASSERT_TRUE(suggest.Next());
    EXPECT_FALSE(suggest.Next());
    EXPECT_EQ(suggest.Read(
                  {200, true, R"(["shoes", ["red shoes", "RED SHOES", " ", "blue shoes", "x"]])"}),
              "");
    std::vector<std::string> terms;
    for (const auto& t : suggest.Terms()) terms.push_back(t.term + "|" + t.demand);
    EXPECT_EQ(terms, (std::vector<std::string>{"red shoes|", "blue shoes|"}));
}

// The token first, kept; a 401 renews it once; a second 401 ends with the
// service's refusal; ideas follow their pages up to the terms wanted.
TEST(Sources, GoogleAdsAsksATokenThenFollowsPages) {
    const ServiceProfile p = Profile(R"({"kind": "google-ads", "base": "http://ads",
        "version": "17", "token_url": "http://oauth/token"})");
    EXPECT_EQ(std::count(p.secrets.begin(), p.secrets.end(), "google_ads_developer_token"), 0);
    ASSERT_EQ(p.error, "");
    GoogleAdsSuggestions ads(p, {{"google_ads_refresh_token", "rt-made-up"},
                                 {"google_ads_client_id", "cid"},
                                 {"google_ads_client_secret", "cs-made-up"},
                                 {"google_ads_developer_token", "dev-made-up"},
                                 {"google_ads_customer_id", "123"}});
    ads.Begin("shoes", 3);
    auto r = ads.Next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->url, "http://oauth/token");
    EXPECT_NE(r->body.find("refresh_token=rt-made-up"), std::string::npos);
    // Each request carries the secrets it sends, no other.
    using Secrets = std::vector<std::string>;
    EXPECT_EQ(r->secrets, (Secrets{"rt-made-up", "cid", "cs-made-up"}));
    EXPECT_EQ(ads.Read({200, true, R"({"access_token": "tok-made-up", "expires_in": 3599})"}), "");
    r = ads.Next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->url, "http://ads/v17/customers/123:generateKeywordIdeas");
    EXPECT_EQ(r->secrets, (Secrets{"tok-made-up", "dev-made-up", "123"}));
    EXPECT_EQ(nlohmann::json::parse(r->body)["keywordSeed"]["keywords"][0], "shoes");
    EXPECT_NE(std::find(r->headers.begin(), r->headers.end(),
                        std::pair<std::string, std::string>{"Authorization", "Bearer tok-made-up"}),
              r->headers.end());
    EXPECT_EQ(ads.Read({401, false, "{}"}), "");  // renewed once
    EXPECT_EQ(ads.Next()->url, "http://oauth/token");
    EXPECT_EQ(ads.Read({200, true, R"({"access_token": "tok2-made-up"})"}), "");
    EXPECT_EQ(ads.Next()->url, "http://ads/v17/customers/123:generateKeywordIdeas");
    EXPECT_EQ(ads.Read({200, true, R"({"results": [{"text": "red shoes",
        "keywordIdeaMetrics": {"avgMonthlySearches": "1300"}}, {"text": "Red Shoes"}],
        "nextPageToken": "p2"})"}),
              "");
    r = ads.Next();
    ASSERT_TRUE(r);
    EXPECT_EQ(nlohmann::json::parse(r->body)["pageToken"], "p2");  // the token is kept
    EXPECT_EQ(ads.Read({200, true, R"({"results": [{"text": "boots"}, {"text": "hats",
        "keywordIdeaMetrics": {"avgMonthlySearches": 90}}, {"text": "more"}], "nextPageToken": "p3"})"}),
              "");
    EXPECT_FALSE(ads.Next());  // three wanted, three found
    std::vector<std::string> terms;
    for (const auto& t : ads.Terms()) terms.push_back(t.term + "|" + t.demand);
    EXPECT_EQ(terms, (std::vector<std::string>{"red shoes|1300", "boots|", "hats|90"}));

    ads.Begin("hats", 5);
    EXPECT_NE(ads.Next()->url, "http://oauth/token");  // the token is still good
    EXPECT_EQ(ads.Read({401, false, ""}), "");
    ads.Next();
    ads.Read({200, true, R"({"access_token": "tok3"})"});
    ads.Next();
    EXPECT_EQ(ads.Read({401, false, ""}), "refused the credentials (401)");
    EXPECT_FALSE(ads.Next());

    // Without a developer token none is sent; a version Google no longer
    // serves is said as such.
    GoogleAdsSuggestions bare(p, {{"google_ads_customer_id", "123"}});
    bare.Begin("hats", 5);
    bare.Next();
    bare.Read({200, true, R"({"access_token": "tok4"})"});
    r = bare.Next();
    ASSERT_TRUE(r);
    for (const auto& [name, value] : r->headers) EXPECT_NE(name, "developer-token");
    EXPECT_NE(bare.Read({404, false, "<html>Error 404 (Not Found)!!1</html>"})
                  .find("answered 404: API version 17 is not served (any more)"),
              std::string::npos);
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An answer transcribed from a real service (tests/sources/fixtures/).
std::string Fixture(const std::string& name) {
    return Slurp(std::string(VEXORIN_SOURCE_DIR) + "/tests/sources/fixtures/" + name + ".json");
}

ServiceProfile Shipped(const std::string& name) {
    const std::string file = std::string(VEXORIN_SOURCE_DIR) + "/assets/services/" + name + ".json";
    return ReadServiceProfile(name, file, Slurp(file));
}

// The search kinds as their shipped profiles make them, with made-up keys.
struct ShippedSearches {
    SerpJsonSearch serpapi{Shipped("serpapi"), {{"serpapi_key", "made-up"}}};
    SerpJsonSearch cse{Shipped("google-cse"),
                       {{"google_cse_key", "made-up"}, {"google_cse_id", "made-up-id"}}};
    SearxngSearch searxng{"http://sx"};
};

// Each adapter against answers transcribed from its real service (each
// fixture says where its shape comes from and when it was checked).
TEST(Sources, EachKindReadsItsRealServicesAnswers) {
    const ShippedSearches shipped;
    const SearchSource &serpapi = shipped.serpapi, &cse = shipped.cse, &searxng = shipped.searxng;
    struct Case {
        const SearchSource& source;
        const char* fixture;
        int status;
        std::optional<long long> count;
        size_t urls;
        const char *error, *notice;  // parts of them; "" for none
    } cases[] = {
        {serpapi, "serpapi_results", 200, 412000000, 4, "", ""},
        {serpapi, "serpapi_no_results", 200, 0, 0, "", ""},
        {serpapi, "serpapi_error", 400, {}, 0, "answered 400: Missing query `q` parameter.", ""},
        {serpapi, "serpapi_error", 200, {}, 0, "answered \"Missing query `q` parameter.\"", ""},
        {cse, "google_cse_results", 200, 2350000, 2, "", ""},
        {cse,
         "google_cse_too_deep",
         400,
         {},
         0,
         "answered 400: Request contains an invalid argument.",
         ""},
        {searxng, "searxng_search", 200, {}, 2, "", "gives no page counts"},
        {searxng,
         "searxng_engines_down",
         200,
         {},
         0,
         "had no engine answering (brave: too many requests, duckduckgo: timeout, google: "
         "Suspended: CAPTCHA)",
         ""},
    };
    for (const Case& c : cases) {
        const std::string body = Fixture(c.fixture);
        ASSERT_FALSE(body.empty()) << c.fixture;
        const SearchRead read = c.source.Read({c.status, c.status == 200, body});
        SCOPED_TRACE(c.fixture);
        if (*c.error) {
            EXPECT_NE(read.error.find(c.error), std::string::npos) << read.error;
            continue;
        }
        EXPECT_EQ(read.error, "");
        EXPECT_EQ(read.count, c.count);
        EXPECT_EQ(read.urls.size(), c.urls);
        EXPECT_NE(read.notice.find(c.notice), std::string::npos) << read.notice;
    }

    // The shipped profiles ask for what the services serve today.
    EXPECT_EQ(serpapi.ResultsRequest("x", 2, 19).url,
              "https://serpapi.com/search.json?engine=google&q=x&start=19&api_key=made-up");
    EXPECT_EQ(cse.Reach(), 100);
    EXPECT_NE(cse.ResultsRequest("x", 9, 95).url.find("&start=96&num=5"), std::string::npos);
    EXPECT_EQ(Shipped("google-ads").fields["version"], "26");

    GoogleAdsSuggestions ads(Shipped("google-ads"), {{"google_ads_customer_id", "1"}});
    ads.Begin("garden", 10);
    ads.Next();
    ads.Read({200, true, R"({"access_token": "made-up-token"})"});
    ads.Next();
    EXPECT_EQ(ads.Read({200, true, Fixture("google_ads_ideas")}), "");
    std::vector<std::string> terms;
    for (const auto& t : ads.Terms()) terms.push_back(t.term + "|" + t.demand);
    EXPECT_EQ(terms, (std::vector<std::string>{"garden tools|49500", "garden tool set|2900",
                                               "rare garden tool|"}));
    const std::string error = Fixture("google_ads_error");
    EXPECT_EQ(GoogleErrorWords(error),
              "The caller does not have permission (authorizationError: "
              "DEVELOPER_TOKEN_NOT_APPROVED)");
    ads.Begin("garden", 10);
    ads.Next();
    EXPECT_EQ(ads.Read({403, false, error}),
              "refused the credentials (403): The caller does not have permission "
              "(authorizationError: DEVELOPER_TOKEN_NOT_APPROVED)");
    // An error sent with 200 is no list of ideas.
    ads.Begin("garden", 10);
    ads.Next();
    EXPECT_NE(ads.Read({200, true, error}).find("answered an error: The caller"),
              std::string::npos);
}

// Results in another shape than a list of addresses, or a count below 0,
// are no figure: "?" in the table, never rank "-" and 0 %.
TEST(Sources, AnswersOfTheWrongTypeAreNoFigures) {
    const ShippedSearches shipped;
    const SearchSource &serpapi = shipped.serpapi, &cse = shipped.cse, &searxng = shipped.searxng;
    struct Case {
        const SearchSource& source;
        const char* body;
    } cases[] = {
        {serpapi, R"({"search_information": {"total_results": 5}, "organic_results": "x"})"},
        {serpapi, R"({"search_information": {"total_results": 5}, "organic_results": {"a": 1}})"},
        {serpapi, R"({"organic_results": [{"link": 7}]})"},
        {serpapi, R"({"organic_results": ["https://a.test/"]})"},
        {cse, R"({"items": [{"link": ["https://a.test/"]}]})"},
        {searxng, R"({"results": [{"url": 12}]})"},
        {searxng, R"({"results": [{"url": "https://a.test/"}, "https://b.test/"]})"},
    };
    for (const Case& c : cases) {
        const SearchRead read = c.source.Read({200, true, c.body});
        EXPECT_NE(read.error, "") << c.body;
        EXPECT_TRUE(read.urls.empty()) << c.body;
    }
    EXPECT_EQ(serpapi
                  .Read({200, true, R"({"search_information": {"total_results": -5},
        "organic_results": []})"})
                  .count,
              std::nullopt);
}

// A token lives its life less a tenth (a minute at most): one that lives a
// minute or less is still used, never asked for again before every request.
TEST(Sources, AShortLivedTokenIsUsedNotAskedForever) {
    for (const char* life : {"60", "1", "0", "-5"}) {
        GoogleAdsSuggestions ads(Shipped("google-ads"), {{"google_ads_customer_id", "1"}});
        ads.Begin("garden", 10);
        ASSERT_NE(ads.Next()->url.find("token"), std::string::npos) << life;
        ads.Read({200, true, std::string(R"({"access_token": "t", "expires_in": )") + life + "}"});
        EXPECT_NE(ads.Next()->url.find(":generateKeywordIdeas"), std::string::npos) << life;
        // An answer that says nothing ends the suggestions with none.
        EXPECT_EQ(ads.Read({200, true, "{}"}), "");
        EXPECT_FALSE(ads.Next());
        EXPECT_TRUE(ads.Terms().empty());
    }
}

// A profile that is no small file is named as faulty, never read: a link
// to a device would grow without end.
TEST(Sources, AProfileThatIsNoSmallFileIsNotRead) {
    testing::TempDir dir;
    ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.json").c_str()), 0);
    testing::WriteFile(dir.File("huge.json"), std::string((1 << 20) + 1, ' '));
    testing::WriteFile(dir.File("fine.json"), R"({"kind": "searxng", "base": "http://sx"})");
    const auto profiles = LoadServiceProfiles({dir.path()});
    EXPECT_EQ(profiles.at("zero").error, "not a regular file");
    EXPECT_EQ(profiles.at("huge").error, "larger than 1 MiB");
    EXPECT_EQ(profiles.at("fine").error, "");
}

TEST(Sources, AChoiceNamesAProfileWithItsSecrets) {
    std::map<std::string, ServiceProfile> profiles = {
        {"sx", Profile(R"({"kind": "searxng", "base": "http://sx"})")},
        {"api",
         Profile(R"({"kind": "serp-json", "base": "http://api", "url": "{base}?q={q}&k={secret:k}",
            "total_results": "/t", "result_urls": "/u", "results_per_request": 10})")},
        {"broken", Profile("{")}};
    for (auto& [name, profile] : profiles) profile.name = name;
    profiles["broken"].file = "/profiles/broken.json";
    const auto noSecrets = [](const std::string&) { return KeptSecret{}; };
    EXPECT_FALSE(ParseServiceChoice(""));
    for (const char* no : {"sx@ftp://host", "sx@http://", "sx@https://h:99999", "sx@h:80"})
        EXPECT_FALSE(ParseServiceChoice(no)) << no;
    EXPECT_EQ(ParseServiceChoice("sx@http://127.0.0.1:9/")->base, "http://127.0.0.1:9");
    struct Case {
        const char *suggest, *search, *error;
    } cases[] = {
        {"classic", "classic", ""},
        {"sx@http://other:8", "sx", ""},
        {"nope", "classic", "no service profile is named \"nope\""},
        {"broken", "classic", "/profiles/broken.json cannot be used: line 1"},
        {"api", "classic", "\"api\" (serp-json) gives no suggestions"},
        {"classic", "api",
         "needs the secret k: keep it in the keyring (Preferences) or set VEXORIN_SECRET_K"},
    };
    for (const Case& c : cases) {
        const ChosenSources chosen = ChooseSources(
            ParseServiceChoice(c.suggest), ParseServiceChoice(c.search), profiles, noSecrets, {});
        EXPECT_NE(chosen.error.find(c.error), std::string::npos)
            << c.suggest << " " << chosen.error;
        if (*c.error == '\0') {
            EXPECT_EQ(chosen.error, "");
        }
    }
    const ChosenSources sx = ChooseSources(ParseServiceChoice("sx@http://other:8"),
                                           ParseServiceChoice("sx"), profiles, noSecrets, {});
    EXPECT_EQ(sx.suggestHost, "other:8");
    EXPECT_EQ(sx.searchHost, "sx");
    ASSERT_TRUE(sx.search);
}

// A secret goes only to a server it belongs to, and never unencrypted off
// this computer: refused before any connection, naming secret and server.
TEST(Sources, ASecretGoesOnlyWhereItBelongs) {
    std::map<std::string, ServiceProfile> profiles;
    for (const char* name : {"api", "own"}) {
        profiles[name] = Profile(std::string(R"({"kind": "serp-json", "base": "https://)") + name +
                                 R"(.example", "url": "{base}?q={q}&k={secret:)" + name +
                                 R"(_key}", "total_results": "/t", "result_urls": "/u",
                                 "results_per_request": 10})");
        profiles[name].name = name;
    }
    const SecretHomes homes = {{"api_key", {"api.example:443"}}};
    using State = KeptSecret::State;
    struct Case {
        const char* choice;
        KeptSecret kept;
        const char* error;
    } cases[] = {
        {"api", {State::Found, "made-up", "", false, ""}, ""},
        {"api@https://API.example:443/", {State::Found, "made-up", "", false, ""}, ""},
        {"api@http://127.0.0.1:9", {State::Found, "made-up", "", false, ""}, ""},
        {"api@https://evil.example",
         {State::Found, "made-up", "", false, ""},
         "the secret api_key was not sent to evil.example: it belongs to api.example:443"},
        {"api@http://api.example",
         {State::Found, "made-up", "", false, ""},
         "the secret api_key would go unencrypted to api.example"},
        {"own", {State::Found, "made-up", "own.example:443", false, ""}, ""},
        {"own", {State::Found, "made-up", "", true, ""}, ""},
        {"own@https://other.example",
         {State::Found, "made-up", "own.example:443", false, ""},
         "not sent to other.example: it belongs to own.example:443"},
        {"own",
         {State::Found, "made-up", "", false, ""},
         "it belongs to no server named when it was kept (keep it again in Preferences)"},
        {"own",
         {State::Locked, "", "", false, "made-up words"},
         "needs the secret own_key, but the keyring holding own_key is locked (made-up words)"},
    };
    for (const Case& c : cases) {
        const ChosenSources chosen = ChooseSources(
            std::nullopt, ParseServiceChoice(c.choice), profiles,
            [&c](const std::string&) { return c.kept; }, homes);
        EXPECT_NE(chosen.error.find(c.error), std::string::npos)
            << c.choice << ": " << chosen.error;
        EXPECT_EQ(chosen.error.empty(), *c.error == '\0') << c.choice << ": " << chosen.error;
        EXPECT_EQ(!chosen.search, *c.error != '\0') << c.choice;
    }
}

}  // namespace
}  // namespace vx
