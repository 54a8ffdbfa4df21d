#include "engine/host.h"

#include <cstdlib>

#include "core/text.h"

namespace vx {

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
