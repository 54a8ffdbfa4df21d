#include "sources/service_source.h"

#include <cctype>

#include "core/text.h"
#include "core/url.h"

namespace vx {

std::string SearchSource::Refusal(int, const std::string& statusWords) const {
    return "refused the credentials (" + statusWords + ")";
}

std::string HostOfUrl(std::string_view url) {
    if (const auto parsed = ParseUrl(url)) return parsed->HostPort();
    return LowerAscii(url);
}

}  // namespace vx
