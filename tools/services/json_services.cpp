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
    for (const std::string& url : Results(phrase, (page - 1) * 10 + 1, 10))
        results.push_back({{"url", url}, {"title", phrase}, {"engine", "stand-in"}});
    return {{"query", Get(r.query, "q")},
            {"number_of_results", static_cast<double>(PageCount(phrase))},
            {"results", results}};
}

json SerpApi(const JsonRequest& r) {
    const std::string phrase = Unquoted(Get(r.query, "q"));
    const int start = Bounded(Get(r.query, "start"), 0, 1000, 0);
    const int num = Bounded(Get(r.query, "num"), 1, 100, 10);
    json organic = json::array();
    int position = start;
    for (const std::string& url : Results(phrase, start + 1, num))
        organic.push_back({{"position", ++position}, {"link", url}, {"title", phrase}});
    return {{"search_information", {{"total_results", PageCount(phrase)}}},
            {"organic_results", organic}};
}

json CustomSearch(const JsonRequest& r) {
    const std::string phrase = Unquoted(Get(r.query, "q"));
    const int start = Bounded(Get(r.query, "start"), 1, 1000, 1);
    const int num = Bounded(Get(r.query, "num"), 1, 10, 10);
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

}  // namespace

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
            answer = CustomSearch(r);
        }
    } else if (r.method == "POST" && r.path == "/token") {
        const auto form = QueryFields(r.body);
        if (Get(form, "grant_type") != "refresh_token" || Get(form, "refresh_token").empty() ||
            Get(form, "client_id").empty() || Get(form, "client_secret").empty()) {
            *status = "400 Bad Request";
            answer = {{"error", "invalid_grant"}};
        } else {
            answer = {
                {"access_token", kAccessToken}, {"expires_in", 3599}, {"token_type", "Bearer"}};
        }
    } else if (r.method == "POST" && r.path.starts_with("/v") &&
               r.path.ends_with(":generateKeywordIdeas")) {
        if (Get(r.headers, "authorization") != std::string("Bearer ") + kAccessToken ||
            Get(r.headers, "developer-token").empty()) {
            *status = "401 Unauthorized";
            answer = {{"error", {{"code", 401}, {"status", "UNAUTHENTICATED"}}}};
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
