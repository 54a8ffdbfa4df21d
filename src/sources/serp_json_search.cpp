#include "sources/serp_json_search.h"

#include <algorithm>

#include "core/text.h"
#include "sources/json_answer.h"
#include "sources/searxng_source.h"

namespace vx {

std::string CheckSerpJsonProfile(ServiceProfile& p) {
    const nlohmann::json& f = p.fields;
    for (const char* key : {"url", "total_results", "result_urls"})
        if (std::string e = NeedProfileText(p, key); !e.empty()) return e;
    const std::string url = ProfileText(p, "url");
    if (url.find("{q}") == std::string::npos) return "\"url\" has no {q} for the search term";
    const auto per = f.find("results_per_request");
    if (per == f.end() || !per->is_number_integer() || per->get<long long>() < 1 ||
        per->get<long long>() > 100)
        return "\"results_per_request\" must be a whole number from 1 to 100";
    if (const auto first = f.find("first_start");
        first != f.end() &&
        (!first->is_number_integer() || first->get<long long>() < 0 || first->get<long long>() > 1))
        return "\"first_start\" must be 0 or 1";
    if (const auto deepest = f.find("deepest_result");
        deepest != f.end() && (!deepest->is_number_integer() || deepest->get<long long>() < 1 ||
                               deepest->get<long long>() > 1000000))
        return "\"deepest_result\" must be a whole number from 1 to 1000000";
    if (const auto none = f.find("no_results_error"); none != f.end() && !none->is_string())
        return "\"no_results_error\" must be a text";
    std::string secretText = url;
    if (const auto headers = f.find("headers"); headers != f.end()) {
        if (!headers->is_object()) return "\"headers\" must be an object of texts";
        for (const auto& [name, value] : headers->items()) {
            if (!value.is_string()) return "\"headers\" must be an object of texts";
            secretText += value.get<std::string>();
        }
    }
    p.secrets = SecretNamesIn(secretText);
    p.searches = true;
    return {};
}

std::shared_ptr<SearchSource> MakeSerpJsonSearch(const ServiceProfile& profile,
                                                 std::map<std::string, std::string> secrets) {
    return std::make_shared<SerpJsonSearch>(profile, std::move(secrets));
}

SerpJsonSearch::SerpJsonSearch(const ServiceProfile& profile,
                               std::map<std::string, std::string> secrets)
    : base_(profile.base),
      url_(profile.fields.value("url", "")),
      countPointer_(profile.fields.value("total_results", "")),
      urlsPointer_(profile.fields.value("result_urls", "")),
      perRequest_(profile.fields.value("results_per_request", 10)),
      noResults_(profile.fields.value("no_results_error", "")),
      firstStart_(profile.fields.value("first_start", 0)),
      reach_(profile.fields.value("deepest_result", 0LL)),
      secrets_(std::move(secrets)) {
    if (const auto h = profile.fields.find("headers"); h != profile.fields.end() && h->is_object())
        for (const auto& [name, value] : h->items())
            if (value.is_string()) headers_.emplace_back(name, value.get<std::string>());
}

std::string SerpJsonSearch::Fill(std::string text, const std::string& query, int index,
                                 long long seen, bool url) const {
    // Never a request past the deepest place: such an API refuses it whole.
    const long long num = reach_ > 0 ? std::clamp(reach_ - seen, 1LL, 0LL + perRequest_)
                                     : static_cast<long long>(perRequest_);
    const std::map<std::string, std::string> values = {
        {"{base}", base_},
        {"{q}", url ? QueryEscape(query) : query},
        {"{start}", std::to_string(firstStart_ + seen)},
        {"{num}", std::to_string(num)},
        {"{page}", std::to_string(index + 1)}};
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t open = text.find('{', i);
        out += text.substr(i, open - i);
        if (open == std::string::npos) break;
        const size_t close = text.find('}', open);
        if (close == std::string::npos) {
            out += text.substr(open);
            break;
        }
        const std::string key = text.substr(open, close - open + 1);
        if (const auto v = values.find(key); v != values.end()) {
            out += v->second;
        } else if (key.starts_with("{secret:")) {
            const auto s = secrets_.find(key.substr(8, key.size() - 9));
            const std::string secret = s == secrets_.end() ? std::string() : s->second;
            out += url ? QueryEscape(secret) : secret;
        } else {
            out += key;
        }
        i = close + 1;
    }
    return out;
}

ServiceRequest SerpJsonSearch::Request(const std::string& query, int index, long long seen) const {
    ServiceRequest r;
    r.url = Fill(url_, query, index, seen, true);
    r.json = true;
    for (const auto& [name, value] : headers_)
        r.headers.emplace_back(name, Fill(value, query, index, seen, false));
    for (const auto& [name, secret] : secrets_) {
        r.secrets.push_back(secret);
        r.secrets.push_back(QueryEscape(secret));
    }
    return r;
}

ServiceRequest SerpJsonSearch::CountRequest(const std::string& term) const {
    return Request("\"" + term + "\"", 0, 0);
}

ServiceRequest SerpJsonSearch::ResultsRequest(const std::string& term, int index,
                                              long long seen) const {
    return Request(term, index, seen);
}

SearchRead SerpJsonSearch::Read(const SourceAnswer& answer) const {
    SearchRead read;
    std::vector<std::string> secrets;
    for (const auto& [name, secret] : secrets_) secrets.push_back(secret);
    // An API that echoes the request shows a key percent-encoded.
    secrets = SecretForms(secrets);
    if (read.error = AnswerFault(answer); !read.error.empty()) {
        // The API's own words say more than a status: "answered 400: Missing
        // query `q` parameter."
        std::string ignored;
        const nlohmann::json json = ReadJsonAnswer(answer.body, &ignored);
        if (const auto e = json.is_object() ? json.find("error") : json.end(); e != json.end()) {
            if (e->is_string())
                read.error += ": " + e->get<std::string>();
            else if (e->is_object() && e->contains("message") && (*e)["message"].is_string())
                read.error += ": " + (*e)["message"].get<std::string>();
        }
        read.error = MaskSecrets(std::move(read.error), secrets);
        return read;
    }
    const nlohmann::json json = ReadJsonAnswer(answer.body, &read.error);
    if (!read.error.empty()) return read;
    // A search that found nothing, said as an error (SerpApi's 200 answer).
    if (const auto e = json.is_object() ? json.find("error") : json.end();
        !noResults_.empty() && e != json.end() && e->is_string() &&
        e->get<std::string>() == noResults_ && PointTo(json, urlsPointer_).empty()) {
        read.count = 0;
        return read;
    }
    const auto count = PointTo(json, countPointer_);
    if (!count.empty()) read.count = JsonWholeNumber(*count.front());
    if (read.error = ReadTextList(json, urlsPointer_, &read.urls); !read.error.empty()) {
        read.urls.clear();
        return read;
    }
    // An answer that holds neither is not this API's: an error object, a
    // changed shape, a wrong profile.
    if (count.empty() && read.urls.empty()) {
        read.error = "answered JSON without \"" + countPointer_ + "\" or \"" + urlsPointer_ + "\"";
        // A search with no results at all may leave both out; the API's error says so.
        if (const auto e = json.find("error"); e != json.end() && e->is_string())
            read.error = "answered \"" + e->get<std::string>() + "\"";
    }
    // An API may echo the key it was given; no message shows it.
    read.error = MaskSecrets(std::move(read.error), secrets);
    return read;
}

}  // namespace vx
