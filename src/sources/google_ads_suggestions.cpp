#include "sources/google_ads_suggestions.h"

#include "core/text.h"
#include "sources/json_answer.h"
#include "sources/searxng_source.h"

namespace vx {

std::string CheckGoogleAdsProfile(ServiceProfile& p) {
    for (const char* key : {"version", "token_url"})
        if (std::string e = NeedProfileText(p, key); !e.empty()) return e;
    const std::string version = ProfileText(p, "version");
    if (version.size() > 4 || version.find_first_not_of("0123456789") != std::string::npos)
        return "\"version\" must be the API's version number, such as \"26\"";
    p.suggests = true;
    // The developer token is a header a proxy in front of the API may not
    // want; it is sent when there is one.
    p.secrets = {"google_ads_client_id", "google_ads_client_secret", "google_ads_refresh_token",
                 "google_ads_customer_id"};
    return {};
}

std::vector<std::string> GoogleAdsOptionalSecrets() {
    return {"google_ads_developer_token", "google_ads_login_customer_id"};
}

std::shared_ptr<SuggestionSource> MakeGoogleAdsSuggestions(
    const ServiceProfile& profile, std::map<std::string, std::string> secrets) {
    return std::make_shared<GoogleAdsSuggestions>(profile, std::move(secrets));
}

std::string GoogleErrorWords(std::string_view body) {
    std::string error;
    const nlohmann::json json = ReadJsonAnswer(body, &error);
    if (!error.empty() || !json.is_object()) return {};
    const auto e = json.find("error");
    if (e == json.end()) return {};
    // The OAuth endpoint's shape: {"error": "invalid_grant", "error_description": "..."}.
    if (e->is_string()) {
        std::string words = e->get<std::string>();
        if (const auto d = json.find("error_description"); d != json.end() && d->is_string())
            words += ": " + d->get<std::string>();
        return words;
    }
    if (!e->is_object()) return {};
    std::string words;
    if (const auto m = e->find("message"); m != e->end() && m->is_string())
        words = m->get<std::string>();
    std::string codes;
    for (const nlohmann::json* code : PointTo(*e, "/details/*/errors/*/errorCode")) {
        if (!code->is_object()) continue;
        for (const auto& [kind, value] : code->items())
            if (value.is_string())
                codes += (codes.empty() ? "" : ", ") + kind + ": " + value.get<std::string>();
    }
    if (codes.empty())
        if (const auto st = e->find("status"); st != e->end() && st->is_string())
            codes = st->get<std::string>();
    if (!codes.empty()) words += (words.empty() ? "" : " ") + ("(" + codes + ")");
    return words;
}

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
    return MaskSecrets(std::move(text), SecretForms(all));
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
    // Each request carries the secrets it sends, so that no other can be
    // shown or sent along with it.
    const auto carry = [&r](const std::string& secret) {
        if (!secret.empty()) r.secrets.push_back(secret);
    };
    if (token_.empty() || (usedToken_ && std::chrono::steady_clock::now() >= tokenUntil_)) {
        token_.clear();
        askedToken_ = true;
        r.url = tokenUrl_;
        r.contentType = "application/x-www-form-urlencoded";
        for (const char* name :
             {"google_ads_refresh_token", "google_ads_client_id", "google_ads_client_secret"})
            carry(Secret(name));
        r.body = "grant_type=refresh_token&refresh_token=" +
                 QueryEscape(Secret("google_ads_refresh_token")) +
                 "&client_id=" + QueryEscape(Secret("google_ads_client_id")) +
                 "&client_secret=" + QueryEscape(Secret("google_ads_client_secret"));
        return r;
    }
    askedToken_ = false;
    usedToken_ = true;
    const std::string customer = Secret("google_ads_customer_id");
    r.url =
        base_ + "/v" + version_ + "/customers/" + QueryEscape(customer) + ":generateKeywordIdeas";
    r.contentType = "application/json";
    r.headers = {{"Authorization", "Bearer " + token_}};
    if (const std::string developer = Secret("google_ads_developer_token"); !developer.empty())
        r.headers.emplace_back("developer-token", developer);
    const std::string login = Secret("google_ads_login_customer_id");
    r.headers.emplace_back("login-customer-id", login.empty() ? customer : login);
    for (const std::string& secret :
         {token_, Secret("google_ads_developer_token"), customer, login})
        carry(secret);
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
        const std::string words = GoogleErrorWords(answer.body);
        return Masked("refused the credentials (" + std::to_string(answer.status) +
                      " from the token endpoint" + (words.empty() ? "" : ": " + words) + ")");
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
    // A margin so a token never runs out between asking and answer: a
    // tenth of its life, at most a minute; a token is always used at least
    // once, so a short-lived one never has the token asked for forever.
    seconds = std::max(1LL, seconds);
    const long long margin = std::min(60LL, seconds / 10);
    tokenUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds - margin);
    usedToken_ = false;
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
        // Google answers a version it no longer serves with a bare 404.
        if (answer.status == 404)
            return fault + ": API version " + version_ +
                   " is not served (any more); the profile's \"version\" needs one Google "
                   "serves today (the shipped profile names 26)";
        if (const std::string words = GoogleErrorWords(answer.body); !words.empty())
            fault += ": " + words;
        return Masked(fault);
    }
    std::string error;
    const nlohmann::json json = ReadJsonAnswer(answer.body, &error);
    // Google may send an error object with a 200 too.
    if (const std::string words = error.empty() ? GoogleErrorWords(answer.body) : std::string();
        !words.empty() && json.is_object() && !json.contains("results")) {
        done_ = true;
        return Masked("answered an error: " + words);
    }
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
