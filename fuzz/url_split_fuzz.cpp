// URL splitting and the request target built from it: no byte of a URL can
// put a line break into the request line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string url(reinterpret_cast<const char*>(data), size);
    const vx::UrlParts u = vx::SplitUrl(url);
    if (u.path.empty() || u.path[0] != '/') std::abort();
    if (u.document.find('#') != std::string::npos) std::abort();
    const std::string target = vx::RequestTarget(u);
    for (const unsigned char c : target)
        if (c < 0x20 || c == 0x7F) std::abort();
    if (u.host.size() > url.size() || u.port.size() > url.size()) std::abort();
    return 0;
}
