#include "sources/google_ads_suggestions.h"

#include "core/text.h"
#include "sources/json_answer.h"
#include "sources/searxng_source.h"

namespace vx {

GoogleAdsSuggestions::GoogleAdsSuggestions(const ServiceProfile& profile,
                                           std::map<std::string, std::string> secrets)
    : base_(profile.base),
      version_(profile.fields.value("version", "")),
      tokenUrl_(profile.fields.value("token_url", "")),
      language_(profile.fields.value("language", "languageConstants/1000")),
      secrets_(std::move(secrets)) {
    if (const auto geo = profile.fields.find("geo_targets"); geo != profile.fields.end())
        for (const auto& g : *geo)
            if (g.is_string()) geoTargets_.push_back(g.get<std::string>());
}

std::string GoogleAdsSuggestions::Secret(const char* name) const {
    const auto it = secrets_.find(name);
    return it == secrets_.end() ? std::string() : it->second;
}

std::string GoogleAdsSuggestions::Masked(std::string text) const {
    std::vector<std::string> all = {token_};
    for (const auto& [name, secret] : secrets_) all.push_back(secret);
    return MaskSecrets(std::move(text), all);
}

void GoogleAdsSuggestions::Begin(const std::string& seed, int wanted) {
    seed_ = seed;
    wanted_ = wanted;
    pageToken_.clear();
    terms_.clear();
    done_ = false;
    renewed_ = false;
}

std::optional<ServiceRequest> GoogleAdsSuggestions::Next() {
    if (done_) return std::nullopt;
    ServiceRequest r;
    r.method = "POST";
    r.json = true;
    for (const auto& [name, secret] : secrets_) r.secrets.push_back(secret);
    if (token_.empty() || std::chrono::steady_clock::now() >= tokenUntil_) {
        token_.clear();
        askedToken_ = true;
        r.url = tokenUrl_;
        r.contentType = "application/x-www-form-urlencoded";
        r.body = "grant_type=refresh_token&refresh_token=" +
                 QueryEscape(Secret("google_ads_refresh_token")) +
                 "&client_id=" + QueryEscape(Secret("google_ads_client_id")) +
                 "&client_secret=" + QueryEscape(Secret("google_ads_client_secret"));
        return r;
    }
    askedToken_ = false;
    const std::string customer = Secret("google_ads_customer_id");
    r.url =
        base_ + "/v" + version_ + "/customers/" + QueryEscape(customer) + ":generateKeywordIdeas";
    r.contentType = "application/json";
    r.headers = {{"developer-token", Secret("google_ads_developer_token")},
                 {"Authorization", "Bearer " + token_}};
    const std::string login = Secret("google_ads_login_customer_id");
    r.headers.emplace_back("login-customer-id", login.empty() ? customer : login);
    r.secrets.push_back(token_);
    nlohmann::json body = {{"keywordSeed", {{"keywords", {seed_}}}},
                           {"language", language_},
                           {"geoTargetConstants", geoTargets_},
                           {"keywordPlanNetwork", "GOOGLE_SEARCH"},
                           {"pageSize", std::max(1, wanted_)}};
    if (!pageToken_.empty()) body["pageToken"] = pageToken_;
    r.body = body.dump();
    return r;
}

std::string GoogleAdsSuggestions::ReadToken(const SourceAnswer& answer) {
    if (answer.status == 400 || answer.status == 401 || answer.status == 403) {
        done_ = true;
        return "refused the credentials (" + std::to_string(answer.status) +
               " from the token endpoint)";
    }
    if (std::string fault = AnswerFault(answer); !fault.empty()) {
        done_ = true;
        return fault + " at the token endpoint";
    }
    std::string error;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &error);
    const auto token = json.is_object() ? json.find("access_token") : json.end();
    if (!error.empty() || !json.is_object() || token == json.end() || !token->is_string() ||
        token->get<std::string>().empty()) {
        done_ = true;
        return error.empty() ? "gave no access token" : error + " at the token endpoint";
    }
    token_ = token->get<std::string>();
    long long seconds = 3600;
    if (const auto e = json.find("expires_in"); e != json.end())
        seconds = JsonWholeNumber(*e).value_or(3600);
    // A minute's margin, so a token never runs out between asking and answer.
    tokenUntil_ =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::max(0LL, seconds - 60));
    return {};
}

std::string GoogleAdsSuggestions::Read(const SourceAnswer& answer) {
    if (askedToken_) return ReadToken(answer);
    if (answer.status == 401 && !renewed_) {
        // The token may have been revoked early: one new one, once.
        renewed_ = true;
        token_.clear();
        return {};
    }
    if (std::string fault = AnswerFault(answer); !fault.empty()) {
        done_ = true;
        return fault;
    }
    std::string error;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &error);
    if (!error.empty() || !json.is_object()) {
        done_ = true;
        return error.empty() ? "answered JSON that holds no keyword ideas" : Masked(error);
    }
    std::vector<ImportedTerm> found;
    for (const nlohmann::json* idea : PointTo(json, "/results/*")) {
        const auto text = idea->find("text");
        if (text == idea->end() || !text->is_string()) continue;
        std::string demand;
        for (const nlohmann::json* n : PointTo(*idea, "/keywordIdeaMetrics/avgMonthlySearches"))
            if (const auto v = JsonWholeNumber(*n)) demand = std::to_string(*v);
        found.push_back({text->get<std::string>(), demand});
    }
    MergeKeywordLists(terms_, found);
    if (static_cast<int>(terms_.size()) >= wanted_) {
        terms_.resize(static_cast<size_t>(wanted_));
        done_ = true;
    }
    const auto next = json.find("nextPageToken");
    if (next == json.end() || !next->is_string() || next->get<std::string>().empty() ||
        found.empty())
        done_ = true;
    else
        pageToken_ = next->get<std::string>();
    return {};
}

}  // namespace vx
