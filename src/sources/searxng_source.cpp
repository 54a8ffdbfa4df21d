#include "sources/searxng_source.h"

#include "core/text.h"
#include "sources/json_answer.h"

namespace vx {

std::string AnswerFault(const SourceAnswer& answer) {
    if (answer.status == 401 || answer.status == 403)
        return "refused the credentials (" + std::to_string(answer.status) + ")";
    if (answer.status != 0 && (answer.status < 200 || answer.status > 299))
        return "answered " + std::to_string(answer.status);
    if (!answer.complete) return "gave an incomplete answer";
    if (answer.oversized) return JsonTooLargeWords();
    return {};
}

std::string CheckSearxngProfile(ServiceProfile& profile) {
    profile.suggests = profile.searches = true;
    return {};
}

std::shared_ptr<SuggestionSource> MakeSearxngSuggestions(const ServiceProfile& profile,
                                                         std::map<std::string, std::string>) {
    return std::make_shared<SearxngSuggestions>(profile.base);
}

std::shared_ptr<SearchSource> MakeSearxngSearch(const ServiceProfile& profile,
                                                std::map<std::string, std::string>) {
    return std::make_shared<SearxngSearch>(profile.base);
}

void SearxngSuggestions::Begin(const std::string& seed, int wanted) {
    seed_ = seed;
    wanted_ = wanted;
    asked_ = false;
    terms_.clear();
}

std::optional<ServiceRequest> SearxngSuggestions::Next() {
    if (asked_) return std::nullopt;
    asked_ = true;
    ServiceRequest r;
    r.url = base_ + "/autocompleter?q=" + QueryEscape(seed_);
    r.json = true;
    return r;
}

std::string SearxngSuggestions::Read(const SourceAnswer& answer) {
    if (std::string fault = AnswerFault(answer); !fault.empty()) return fault;
    std::string error;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &error);
    if (!error.empty()) return error;
    // The OpenSearch suggestions shape: ["seed", ["one", "two", ...]].
    if (!json.is_array() || json.size() < 2 || !json[1].is_array())
        return "answered JSON that holds no suggestions";
    std::vector<ImportedTerm> found;
    for (const auto& s : json[1])
        if (s.is_string() && !TrimView(s.get<std::string>(), " \t").empty())
            found.push_back({std::string(TrimView(s.get<std::string>(), " \t")), ""});
    MergeKeywordLists(terms_, found);
    if (static_cast<int>(terms_.size()) > wanted_) terms_.resize(static_cast<size_t>(wanted_));
    return {};
}

ServiceRequest SearxngSearch::CountRequest(const std::string& term) const {
    ServiceRequest r;
    r.url = base_ + "/search?q=" + QueryEscape("\"" + term + "\"") + "&format=json";
    r.json = true;
    return r;
}

ServiceRequest SearxngSearch::ResultsRequest(const std::string& term, int index, long long) const {
    ServiceRequest r;
    r.url = base_ + "/search?q=" + QueryEscape(term) +
            "&format=json&pageno=" + std::to_string(index + 1);
    r.json = true;
    return r;
}

namespace {
constexpr const char* kJsonOff =
    "refused JSON output: add json to search: formats: in the instance's settings.yml";
}  // namespace

std::string SearxngSearch::Refusal(int status, const std::string& statusWords) const {
    // SearXNG's documented answer to a format its settings leave out.
    if (status == 403) return std::string(kJsonOff) + " (" + statusWords + ")";
    return SearchSource::Refusal(status, statusWords);
}

SearchRead SearxngSearch::Read(const SourceAnswer& answer) const {
    SearchRead read;
    if (answer.status == 403) {
        read.error = std::string(kJsonOff) + " (403)";
        return read;
    }
    if (read.error = AnswerFault(answer); !read.error.empty()) return read;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &read.error);
    if (!read.error.empty()) return read;
    const auto results = json.is_object() ? json.find("results") : json.end();
    if (!json.is_object() || results == json.end() || !results->is_array()) {
        read.error = "answered JSON that is no SearXNG search";
        return read;
    }
    // An instance whose engines give no count says 0, or nothing at all.
    if (const auto n = json.find("number_of_results"); n != json.end())
        if (const auto count = JsonWholeNumber(*n); count && *count > 0) read.count = count;
    if (!read.count)
        read.notice =
            "gives no page counts, so competition is \"?\" (a search profile that counts, such "
            "as serpapi, gives them)";
    if (read.error = ReadTextList(json, "/results/*/url", &read.urls); !read.error.empty()) {
        read.urls.clear();
        return read;
    }
    // No results while engines failed says nothing of the term: had they
    // answered, the site might be there.
    if (read.urls.empty()) {
        std::string engines;
        for (const nlohmann::json* e : PointTo(json, "/unresponsive_engines/*")) {
            if (!e->is_array() || e->empty() || !(*e)[0].is_string()) continue;
            engines += (engines.empty() ? "" : ", ") + (*e)[0].get<std::string>();
            if (e->size() > 1 && (*e)[1].is_string()) engines += ": " + (*e)[1].get<std::string>();
        }
        if (!engines.empty()) read.error = "had no engine answering (" + engines + ")";
    }
    return read;
}

}  // namespace vx
