#include "sources/service_choice.h"

#include <algorithm>

#include "core/text.h"
#include "core/url.h"
#include "secrets/secret_store.h"
#include "sources/service_kinds.h"

namespace vx {

std::optional<ServiceChoice> ParseServiceChoice(std::string_view text) {
    ServiceChoice choice;
    const size_t at = text.find('@');
    choice.name = std::string(TrimView(text.substr(0, at), " \t"));
    if (choice.name.empty() || choice.name.find_first_of("/ \t") != std::string::npos)
        return std::nullopt;
    if (at != std::string_view::npos) {
        choice.base = std::string(TrimView(text.substr(at + 1), " \t"));
        const auto url = ParseUrl(choice.base);
        if (!url || (url->scheme != "http" && url->scheme != "https") || url->host.empty())
            return std::nullopt;
        while (choice.base.back() == '/') choice.base.pop_back();
    }
    return choice;
}

namespace {

// The profile a choice names, with its base replaced; error set otherwise.
const ServiceProfile* Find(const ServiceChoice& choice,
                           const std::map<std::string, ServiceProfile>& profiles,
                           ServiceProfile& copy, const char* role, std::string& error) {
    const auto it = profiles.find(choice.name);
    if (it == profiles.end()) {
        error = "no service profile is named \"" + choice.name +
                "\" (vexorin-research --services lists them)";
        return nullptr;
    }
    if (!it->second.error.empty()) {
        error = "the service profile " + it->second.file + " cannot be used: " + it->second.error;
        return nullptr;
    }
    copy = it->second;
    if (!choice.base.empty()) copy.base = choice.base;
    const bool fits = std::string(role) == "suggestion" ? copy.suggests : copy.searches;
    if (!fits) {
        error =
            "the service profile \"" + copy.name + "\" (" + copy.kind + ") gives no " + role + "s";
        return nullptr;
    }
    return &copy;
}

// Every secret the profile needs; error names the first that is missing.
std::map<std::string, KeptSecret> Secrets(const ServiceProfile& profile, const SecretLookup& secret,
                                          std::string& error) {
    std::map<std::string, KeptSecret> values;
    for (const std::string& name : profile.secrets) {
        KeptSecret value = secret ? secret(name) : KeptSecret{};
        if (!value.Found()) {
            const std::string trouble = KeyringTrouble(name, value);
            error = "the service profile \"" + profile.name + "\" needs the secret " + name +
                    (trouble.empty() ? "" : ", but " + trouble) +
                    ": keep it in the keyring (Preferences) or set " + SecretVariable(name);
            return {};
        }
        values[name] = std::move(value);
    }
    if (const ServiceKind* kind = FindServiceKind(profile.kind); kind && secret)
        for (const std::string& name : kind->optionalSecrets)
            if (KeptSecret value = secret(name); value.Found()) values[name] = std::move(value);
    return values;
}

bool Listed(const std::string& blankSeparated, const std::string& word) {
    for (size_t at = 0; at < blankSeparated.size();) {
        const size_t end = std::min(blankSeparated.find(' ', at), blankSeparated.size());
        if (blankSeparated.compare(at, end - at, word) == 0) return true;
        at = end + 1;
    }
    return false;
}

// Why one of the secrets may not go where the profile sends it; empty when
// each may.
std::string Misdirected(const ServiceProfile& profile,
                        const std::map<std::string, KeptSecret>& values, const SecretHomes& homes) {
    for (const std::string& url : SecretDestinations(profile)) {
        const auto to = ParseUrl(url);
        if (!to)
            return "the service profile \"" + profile.name + "\" names " + url +
                   ", which is no URL its secrets could go to";
        const bool here = IsLoopbackHost(to->host);
        for (const auto& [name, secret] : values) {
            if (to->scheme != "https" && !here)
                return "the secret " + name + " would go unencrypted to " + to->HostPort() +
                       ": only an https:// address carries a secret to another computer";
            const auto home = homes.find(name);
            const bool belongs = here ||
                                 (home != homes.end() && home->second.count(to->Endpoint())) ||
                                 Listed(secret.server, to->Endpoint()) ||
                                 (home == homes.end() && secret.fromEnvironment);
            if (belongs) continue;
            std::string kept;
            if (home != homes.end())
                for (const std::string& e : home->second) kept += (kept.empty() ? "" : ", ") + e;
            else if (!secret.server.empty())
                kept = secret.server;
            return "the secret " + name + " was not sent to " + to->HostPort() +
                   ": it belongs to " +
                   (kept.empty() ? "no server named when it was kept (keep it again in Preferences)"
                                 : kept);
        }
    }
    return {};
}

}  // namespace

ChosenSources ChooseSources(const std::optional<ServiceChoice>& suggest,
                            const std::optional<ServiceChoice>& search,
                            const std::map<std::string, ServiceProfile>& profiles,
                            const SecretLookup& secret, const SecretHomes& homes) {
    ChosenSources chosen;
    // The profile a role's choice names and its secrets; nothing for the
    // classic service, or when they cannot be had (chosen.error says why).
    auto pick = [&](const std::optional<ServiceChoice>& choice, const char* role,
                    ServiceProfile& profile, std::map<std::string, std::string>& values) {
        if (!choice || choice->name == "classic" || !chosen.error.empty()) return false;
        if (!Find(*choice, profiles, profile, role, chosen.error)) return false;
        const auto found = Secrets(profile, secret, chosen.error);
        if (chosen.error.empty()) chosen.error = Misdirected(profile, found, homes);
        values.clear();
        for (const auto& [name, kept] : found) values[name] = kept.value;
        return chosen.error.empty();
    };
    // The classic pages at another address: their host as the research
    // names it, scheme kept.
    if (suggest && suggest->name == "classic") chosen.suggestHost = suggest->base;
    if (search && search->name == "classic") chosen.searchHost = search->base;
    ServiceProfile p;
    std::map<std::string, std::string> values;
    // A profile that reads has a kind of the table, whose maker exists
    // for the roles it gives.
    if (pick(suggest, "suggestion", p, values)) {
        chosen.suggest = FindServiceKind(p.kind)->suggestions(p, std::move(values));
        chosen.suggestHost = HostOfUrl(p.base);
    }
    if (pick(search, "search", p, values)) {
        chosen.search = FindServiceKind(p.kind)->search(p, std::move(values));
        chosen.searchHost = HostOfUrl(p.base);
    }
    return chosen;
}

std::string SecretServers(const ServiceProfile& profile) {
    std::string servers;
    for (const std::string& url : SecretDestinations(profile))
        if (const auto parsed = ParseUrl(url); parsed && !Listed(servers, parsed->Endpoint()))
            servers += (servers.empty() ? "" : " ") + parsed->Endpoint();
    return servers;
}

}  // namespace vx
