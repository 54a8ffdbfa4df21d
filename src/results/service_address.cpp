#include "results/service_address.h"

#include <algorithm>

#include "core/text.h"
#include "core/url.h"

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
    auto parsed = ParseUrl(url);
    // A URL whose host does not read ("[bad") still has its user info read:
    // libpq quotes such a URL whole.
    if (const size_t at = url.rfind('@'); !parsed && at != std::string_view::npos)
        parsed = ParseUrl(std::string(url.substr(0, at + 1)) + "x");
    if (!parsed) return found;
    if (parsed->hasPassword) found.push_back(parsed->password);
    const std::string_view query = parsed->query;
    for (size_t start = 0; start < query.size();) {
        const size_t end = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, end - start);
        if (const size_t eq = pair.find('=');
            eq != std::string_view::npos && EqualsNoCase(pair.substr(0, eq), "password"))
            found.emplace_back(pair.substr(eq + 1));
        start = end + 1;
    }
    return found;
}

}  // namespace vx
