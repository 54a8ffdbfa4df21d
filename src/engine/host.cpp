#include "engine/host.h"

#include <cstdlib>

namespace vx {

ServiceHosts ServiceHostsFromEnvironment() {
    const std::string local = "127.0.0.1:" + std::to_string(kDefaultServicesPort);
    ServiceHosts h{local, local};
    if (const char* s = std::getenv("VEXORIN_SUGGEST_HOST"); s && *s) h.suggest = s;
    if (const char* s = std::getenv("VEXORIN_SEARCH_HOST"); s && *s) h.search = s;
    return h;
}

}  // namespace vx
