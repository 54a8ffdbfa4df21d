#include "sources/serp_json_search.h"

#include "core/text.h"
#include "sources/json_answer.h"
#include "sources/searxng_source.h"

namespace vx {

SerpJsonSearch::SerpJsonSearch(const ServiceProfile& profile,
                               std::map<std::string, std::string> secrets)
    : base_(profile.base),
      url_(profile.fields.value("url", "")),
      countPointer_(profile.fields.value("total_results", "")),
      urlsPointer_(profile.fields.value("result_urls", "")),
      perRequest_(profile.fields.value("results_per_request", 10)),
      firstStart_(profile.fields.value("first_start", 0)),
      secrets_(std::move(secrets)) {
    if (const auto h = profile.fields.find("headers"); h != profile.fields.end() && h->is_object())
        for (const auto& [name, value] : h->items())
            if (value.is_string()) headers_.emplace_back(name, value.get<std::string>());
}

int SerpJsonSearch::RequestsFor(int depth) const {
    // Pages of 20 results, asked perRequest_ at a time.
    const long long wanted = static_cast<long long>(depth) * 20;
    return static_cast<int>((wanted + perRequest_ - 1) / perRequest_);
}

std::string SerpJsonSearch::Fill(std::string text, const std::string& query, int index,
                                 bool url) const {
    const std::map<std::string, std::string> values = {
        {"{base}", base_},
        {"{q}", url ? QueryEscape(query) : query},
        {"{start}", std::to_string(firstStart_ + static_cast<long long>(index) * perRequest_)},
        {"{num}", std::to_string(perRequest_)},
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

ServiceRequest SerpJsonSearch::Request(const std::string& query, int index) const {
    ServiceRequest r;
    r.url = Fill(url_, query, index, true);
    r.json = true;
    for (const auto& [name, value] : headers_)
        r.headers.emplace_back(name, Fill(value, query, index, false));
    for (const auto& [name, secret] : secrets_) {
        r.secrets.push_back(secret);
        r.secrets.push_back(QueryEscape(secret));
    }
    return r;
}

ServiceRequest SerpJsonSearch::CountRequest(const std::string& term) const {
    return Request("\"" + term + "\"", 0);
}

ServiceRequest SerpJsonSearch::ResultsRequest(const std::string& term, int index) const {
    return Request(term, index);
}

SearchRead SerpJsonSearch::Read(const SourceAnswer& answer) const {
    SearchRead read;
    if (read.error = AnswerFault(answer); !read.error.empty()) return read;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &read.error);
    if (!read.error.empty()) return read;
    const auto count = PointTo(json, countPointer_);
    if (!count.empty()) read.count = JsonWholeNumber(*count.front());
    for (const nlohmann::json* url : PointTo(json, urlsPointer_))
        if (url->is_string()) read.urls.push_back(url->get<std::string>());
    // An answer that holds neither is not this API's: an error object, a
    // changed shape, a wrong profile.
    if (count.empty() && read.urls.empty()) {
        read.error = "answered JSON without \"" + countPointer_ + "\" or \"" + urlsPointer_ + "\"";
        // A search with no results at all may leave both out; the API's error says so.
        if (const auto e = json.find("error"); e != json.end() && e->is_string())
            read.error = "answered \"" + e->get<std::string>() + "\"";
    }
    // An API may echo the key it was given; no message shows it.
    std::vector<std::string> secrets;
    for (const auto& [name, secret] : secrets_) secrets.push_back(secret);
    read.error = MaskSecrets(std::move(read.error), secrets);
    return read;
}

}  // namespace vx
