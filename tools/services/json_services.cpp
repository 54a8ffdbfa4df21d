#include "json_services.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "demo_data.h"

namespace vx::services {

namespace {

using nlohmann::json;

// The token the stand-in token endpoint hands out; made up, like every
// credential the demo takes.
constexpr const char* kAccessToken = "stand-in-access-token";
constexpr int kIdeasPerPage = 10;
// The Google Ads API versions served (checked December 2026).
constexpr int kAdsVersions[] = {24, 25, 26};

SearxngSetup gSearxng;

std::string Get(const std::map<std::string, std::string>& m, const char* key) {
    const auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
}

std::string Unquoted(std::string phrase) {
    if (phrase.size() >= 2 && phrase.front() == '"' && phrase.back() == '"')
        phrase = phrase.substr(1, phrase.size() - 2);
    return phrase;
}

int Bounded(const std::string& text, int lowest, int highest, int otherwise) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return otherwise;
    return std::clamp(std::stoi(text), lowest, highest);
}

// Results first..first+count-1 (1-based) of a phrase, as the demo lists them.
std::vector<std::string> Results(const std::string& phrase, int first, int count) {
    std::vector<std::string> urls;
    const int listed = static_cast<int>(std::min<int64_t>(PageCount(phrase), 1000));
    for (int r = first; r < first + count && r <= listed; ++r) urls.push_back(ResultUrl(phrase, r));
    return urls;
}

json Searxng(const JsonRequest& r) {
    const std::string phrase = Unquoted(Get(r.query, "q"));
    const int page = Bounded(Get(r.query, "pageno"), 1, 100, 1);
    json results = json::array();
    json down = json::array();
    if (gSearxng.enginesDown)
        down = json::array({json::array({"duckduckgo", "timeout"}),
                            json::array({"google", "Suspended: CAPTCHA"})});
    else
        for (const std::string& url : Results(phrase, (page - 1) * 10 + 1, 10))
            results.push_back({{"url", url}, {"title", phrase}, {"engine", "stand-in"}});
    json answer = {{"query", Get(r.query, "q")},  {"results", results},
                   {"answers", json::array()},    {"corrections", json::array()},
                   {"infoboxes", json::array()},  {"suggestions", json::array()},
                   {"unresponsive_engines", down}};
    if (gSearxng.counts) answer["number_of_results"] = static_cast<double>(PageCount(phrase));
    return answer;
}

// SerpApi: Google serves ten organic results a request since September
// 2025, whatever num asks; a search that finds nothing is an error text
// in a 200 answer.
json SerpApi(const JsonRequest& r) {
    const std::string phrase = Unquoted(Get(r.query, "q"));
    const int start = Bounded(Get(r.query, "start"), 0, 1000, 0);
    if (PageCount(phrase) == 0)
        return {{"search_metadata", {{"status", "Success"}}},
                {"search_information", {{"organic_results_state", "Fully empty"}}},
                {"error", "Google hasn't returned any results for this query."}};
    json organic = json::array();
    int position = start;
    for (const std::string& url : Results(phrase, start + 1, 10))
        organic.push_back({{"position", ++position}, {"link", url}, {"title", phrase}});
    return {{"search_metadata", {{"status", "Success"}}},
            {"search_information",
             {{"organic_results_state", "Results for exact spelling"},
              {"total_results", PageCount(phrase)}}},
            {"organic_results", organic}};
}

json CustomSearch(const JsonRequest& r, std::string* status) {
    const std::string phrase = Unquoted(Get(r.query, "q"));
    const int start = Bounded(Get(r.query, "start"), 1, 1000, 1);
    const int num = Bounded(Get(r.query, "num"), 1, 10, 10);
    // The API lists 100 results at most and refuses a request past them.
    if (start + num > 101) {
        *status = "400 Bad Request";
        return {{"error",
                 {{"code", 400},
                  {"message", "Request contains an invalid argument."},
                  {"errors", json::array({{{"message", "Request contains an invalid argument."},
                                           {"domain", "global"},
                                           {"reason", "badRequest"}}})},
                  {"status", "INVALID_ARGUMENT"}}}};
    }
    json items = json::array();
    for (const std::string& url : Results(phrase, start, num))
        items.push_back({{"link", url}, {"title", phrase}});
    json answer = {{"searchInformation", {{"totalResults", std::to_string(PageCount(phrase))}}}};
    if (!items.empty()) answer["items"] = items;
    return answer;
}

// Google Ads' keyword ideas: the suggestions of the seed, ten a page, the
// next page's token the index it starts at.
json KeywordIdeas(const json& body) {
    std::string seed;
    if (body.contains("keywordSeed") && body["keywordSeed"].contains("keywords") &&
        !body["keywordSeed"]["keywords"].empty() && body["keywordSeed"]["keywords"][0].is_string())
        seed = body["keywordSeed"]["keywords"][0].get<std::string>();
    const auto all = SuggestionsFor(seed);
    size_t from = 0;
    if (body.contains("pageToken") && body["pageToken"].is_string())
        from = static_cast<size_t>(Bounded(body["pageToken"].get<std::string>(), 0, 1000, 0));
    json results = json::array();
    for (size_t i = from; i < all.size() && i < from + kIdeasPerPage; ++i)
        results.push_back(
            {{"text", all[i].phrase},
             {"keywordIdeaMetrics",
              {{"avgMonthlySearches", std::to_string(all[i].demand)}, {"competition", "MEDIUM"}}}});
    json answer = {{"results", results}};
    if (from + kIdeasPerPage < all.size())
        answer["nextPageToken"] = std::to_string(from + kIdeasPerPage);
    return answer;
}

std::string Decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() &&
                   isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                   isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));  // 2 hex digits
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Google's error body: a message, a status and, for the Ads API, a
// GoogleAdsFailure naming the error code.
json GoogleError(int code, const char* status, const char* message, const char* kind,
                 const char* value) {
    json failure = {
        {"@type", "type.googleapis.com/google.ads.googleads.v26.errors.GoogleAdsFailure"},
        {"errors", json::array({{{"errorCode", {{kind, value}}}, {"message", message}}})},
        {"requestId", "stand-in-request"}};
    return {{"error",
             {{"code", code},
              {"message", message},
              {"status", status},
              {"details", json::array({failure})}}}};
}

bool ServedVersion(const std::string& path) {
    for (const int v : kAdsVersions)
        if (path.starts_with("/v" + std::to_string(v) + "/")) return true;
    return false;
}

}  // namespace

void SetSearxngSetup(const SearxngSetup& setup) {
    gSearxng = setup;
}

std::map<std::string, std::string> QueryFields(const std::string& q) {
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos <= q.size()) {
        size_t amp = q.find('&', pos);
        if (amp == std::string::npos) amp = q.size();
        const std::string pair = q.substr(pos, amp - pos);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos) out[pair.substr(0, eq)] = Decode(pair.substr(eq + 1));
        pos = amp + 1;
    }
    return out;
}

bool JsonAnswerFor(const JsonRequest& r, std::string* status, std::string* body) {
    *status = "200 OK";
    json answer;
    if (r.method == "GET" && r.path == "/autocompleter") {
        const std::string seed = Get(r.query, "q");
        json list = json::array();
        for (const auto& s : SuggestionsFor(seed, 10)) list.push_back(s.phrase);
        answer = json::array({seed, list});
    } else if (r.method == "GET" && r.path == "/search" && Get(r.query, "format") == "json") {
        if (gSearxng.jsonOff) {
            // Flask's own 403 page, as SearXNG's abort(403) sends it.
            *status = "403 Forbidden";
            *body =
                "<!doctype html>\n<html lang=en>\n<title>403 Forbidden</title>\n"
                "<h1>Forbidden</h1>\n<p>You don't have the permission to access the "
                "requested resource.</p>\n";
            return true;
        }
        answer = Searxng(r);
    } else if (r.method == "GET" && r.path == "/search.json") {
        if (Get(r.query, "api_key").empty()) {
            *status = "401 Unauthorized";
            answer = {{"error", "Invalid API key."}};
        } else {
            answer = SerpApi(r);
        }
    } else if (r.method == "GET" && r.path == "/customsearch/v1") {
        if (Get(r.query, "key").empty() || Get(r.query, "cx").empty()) {
            *status = "403 Forbidden";
            answer = {
                {"error", {{"code", 403}, {"message", "The request is missing a valid API key."}}}};
        } else {
            answer = CustomSearch(r, status);
        }
    } else if (r.method == "POST" && r.path == "/token") {
        const auto form = QueryFields(r.body);
        if (Get(form, "grant_type") != "refresh_token" || Get(form, "refresh_token").empty() ||
            Get(form, "client_id").empty() || Get(form, "client_secret").empty()) {
            *status = "400 Bad Request";
            answer = {{"error", "invalid_grant"}, {"error_description", "Bad Request"}};
        } else {
            answer = {
                {"access_token", kAccessToken}, {"expires_in", 3599}, {"token_type", "Bearer"}};
        }
    } else if (r.method == "POST" && r.path.starts_with("/v") &&
               r.path.ends_with(":generateKeywordIdeas")) {
        if (!ServedVersion(r.path)) {
            // A version past its sunset: Google's bare 404 page.
            *status = "404 Not Found";
            *body =
                "<!DOCTYPE html>\n<html lang=en><title>Error 404 (Not Found)!!1</title>"
                "<p><b>404.</b> <ins>That's an error.</ins><p>The requested URL was not "
                "found on this server.</html>\n";
            return true;
        }
        if (Get(r.headers, "authorization") != std::string("Bearer ") + kAccessToken) {
            *status = "401 Unauthorized";
            answer = GoogleError(401, "UNAUTHENTICATED",
                                 "Request had invalid authentication credentials.",
                                 "authenticationError", "OAUTH_TOKEN_INVALID");
        } else if (Get(r.headers, "developer-token").empty()) {
            *status = "401 Unauthorized";
            answer = GoogleError(401, "UNAUTHENTICATED", "Developer token parameter is missing.",
                                 "authenticationError", "DEVELOPER_TOKEN_PARAMETER_MISSING");
        } else {
            const json request = json::parse(r.body, nullptr, false);
            if (request.is_discarded() || !request.is_object()) {
                *status = "400 Bad Request";
                answer = {{"error", {{"code", 400}, {"status", "INVALID_ARGUMENT"}}}};
            } else {
                answer = KeywordIdeas(request);
            }
        }
    } else {
        return false;
    }
    *body = answer.dump();
    return true;
}

}  // namespace vx::services
