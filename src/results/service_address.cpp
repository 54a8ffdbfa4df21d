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

}  // namespace vx
