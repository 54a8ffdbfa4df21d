#include "results/service_address.h"

#include "core/text.h"

namespace vx {

std::string ServiceBaseUrl(std::string_view address) {
    address = TrimView(address, " ");
    while (address.ends_with('/')) address.remove_suffix(1);
    const size_t scheme = address.find("://");
    if (scheme == std::string_view::npos) return "http://" + std::string(address);
    // The scheme as typed, in lower case; the rest as it is.
    return LowerAscii(address.substr(0, scheme)) + std::string(address.substr(scheme));
}

std::vector<std::string> PasswordsInUrl(std::string_view url) {
    std::vector<std::string> found;
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return found;
    const size_t at = url.find('@', scheme + 3);
    const size_t colon = url.find(':', scheme + 3);
    if (at != std::string_view::npos && colon < at && url.find('/', scheme + 3) > at)
        found.emplace_back(url.substr(colon + 1, at - colon - 1));
    if (const size_t query = url.find('?'); query != std::string_view::npos) {
        const std::string lowered = LowerAscii(url);
        for (size_t p = lowered.find("password=", query); p != std::string::npos;
             p = lowered.find("password=", p + 1)) {
            if (lowered[p - 1] != '?' && lowered[p - 1] != '&') continue;
            const size_t start = p + 9;
            found.emplace_back(url.substr(start, url.find('&', start) - start));
        }
    }
    return found;
}

}  // namespace vx
