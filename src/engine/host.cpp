#include "engine/host.h"

#include <cstdlib>

#include "core/text.h"

namespace vx {

ServiceHosts ServiceHostsFromEnvironment() {
    const std::string local = "127.0.0.1:" + std::to_string(kDefaultServicesPort);
    ServiceHosts h{local, local};
    if (const char* s = std::getenv("VEXORIN_SUGGEST_HOST"); s && *s) h.suggest = s;
    if (const char* s = std::getenv("VEXORIN_SEARCH_HOST"); s && *s) h.search = s;
    return h;
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

}  // namespace vx
