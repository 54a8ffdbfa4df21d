#include "engine/host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/text.h"
#include "secrets/secret_store.h"

namespace vx {

namespace {
// "0:42", "17:01", "1:02:03".
std::string Duration(long long ms) {
    const long long s = std::max(0LL, ms) / 1000;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}
}  // namespace

std::string RunProgress::Text() const {
    std::string text = std::to_string(rowsDone) + " of " + std::to_string(rowsWanted) + " rows, " +
                       Duration(elapsedMs) + " elapsed";
    if (leftMs >= 0 && rowsDone < rowsWanted) text += ", about " + Duration(leftMs) + " left";
    return text;
}

ChosenSources ChooseServices(std::optional<ServiceChoice> suggest,
                             std::optional<ServiceChoice> search, const Preferences& preferences) {
    ChosenSources none;
    auto pick = [&none](std::optional<ServiceChoice>& choice, const char* variable,
                        const std::string& preferred) {
        if (choice) return;
        const char* set = std::getenv(variable);
        const std::string text = set && *set ? set : preferred;
        if (text.empty()) return;
        choice = ParseServiceChoice(text);
        if (!choice && none.error.empty())
            none.error = std::string("\"") + text + "\" (" +
                         (set && *set ? variable : "Preferences") + ") names no service profile";
    };
    pick(suggest, "VEXORIN_SUGGEST_SERVICE", preferences.suggestService);
    pick(search, "VEXORIN_SEARCH_SERVICE", preferences.searchService);
    if (!none.error.empty() || (!suggest && !search)) return none;
    const std::vector<std::string> folders = ProfileFolders();
    return ChooseSources(suggest, search, LoadServiceProfiles(folders), FindSecret,
                         ShippedSecretHomes(folders));
}

ServiceHosts ServiceHostsFromEnvironment() {
    return ServiceHostsFor(Preferences{});
}

ServiceHosts ServiceHostsFor(const Preferences& preferences) {
    const std::string local = "127.0.0.1:" + std::to_string(kDefaultServicesPort);
    auto pick = [&local](const char* variable, const std::string& preferred) {
        if (const char* s = std::getenv(variable); s && *s) return std::string(s);
        return preferred.empty() ? local : preferred;
    };
    return {pick("VEXORIN_SUGGEST_HOST", preferences.suggestHost),
            pick("VEXORIN_SEARCH_HOST", preferences.searchHost)};
}

namespace {
std::optional<int> NumberFromEnvironment(const char* name, int lowest, int highest) {
    const char* text = std::getenv(name);
    if (!text) return std::nullopt;
    const auto n = ReadWholeNumber(text);
    if (!n || *n < lowest || *n > highest) return std::nullopt;
    return *n;
}
}  // namespace

std::optional<int> ParallelFromEnvironment() {
    return NumberFromEnvironment("VEXORIN_PARALLEL", kMinParallel, kMaxParallel);
}

std::optional<int> RetriesFromEnvironment() {
    return NumberFromEnvironment("VEXORIN_RETRIES", kMinRetries, kMaxRetries);
}

LookupPolicy LookupPolicyFor(const Preferences& preferences) {
    LookupPolicy policy;
    policy.parallel = ParallelFromEnvironment().value_or(preferences.parallel);
    policy.retries = RetriesFromEnvironment().value_or(preferences.retries);
    return policy;
}

}  // namespace vx
