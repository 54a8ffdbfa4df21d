// The stand-in services' request parsing on arbitrary request targets: any
// target gives a page or a 404, and a page always ends its markup.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "stand_in_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string target(reinterpret_cast<const char*>(data), size);
    std::string body;
    if (vx::services::PageFor(target, &body)) {
        if (body.size() < 7 || body.compare(body.size() - 8, 8, "</html>\n") != 0) std::abort();
    }
    return 0;
}
