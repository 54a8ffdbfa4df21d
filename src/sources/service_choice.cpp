#include "sources/service_choice.h"

#include "core/text.h"
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
        const std::string scheme = LowerAscii(choice.base.substr(0, 8));
        if (!scheme.starts_with("http://") && !scheme.starts_with("https://")) return std::nullopt;
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
std::map<std::string, std::string> Secrets(const ServiceProfile& profile,
                                           const SecretLookup& secret, std::string& error) {
    std::map<std::string, std::string> values;
    for (const std::string& name : profile.secrets) {
        const auto value = secret ? secret(name) : std::nullopt;
        if (!value) {
            error = "the service profile \"" + profile.name + "\" needs the secret " + name +
                    ": keep it in the keyring (Preferences) or set " + SecretVariable(name);
            return {};
        }
        values[name] = *value;
    }
    if (const ServiceKind* kind = FindServiceKind(profile.kind); kind && secret)
        for (const std::string& name : kind->optionalSecrets)
            if (const auto value = secret(name)) values[name] = *value;
    return values;
}

}  // namespace

ChosenSources ChooseSources(const std::optional<ServiceChoice>& suggest,
                            const std::optional<ServiceChoice>& search,
                            const std::map<std::string, ServiceProfile>& profiles,
                            const SecretLookup& secret) {
    ChosenSources chosen;
    // The profile a role's choice names and its secrets; nothing for the
    // classic service, or when they cannot be had (chosen.error says why).
    auto pick = [&](const std::optional<ServiceChoice>& choice, const char* role,
                    ServiceProfile& profile, std::map<std::string, std::string>& values) {
        if (!choice || choice->name == "classic" || !chosen.error.empty()) return false;
        if (!Find(*choice, profiles, profile, role, chosen.error)) return false;
        values = Secrets(profile, secret, chosen.error);
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

}  // namespace vx
