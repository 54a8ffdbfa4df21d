#include "results/top_results.h"

#include "core/text.h"

namespace vx {

std::string ResultHost(std::string_view url) {
    url = TrimView(url, " \t\r\n");
    const size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return {};
    const std::string protocol = LowerAscii(url.substr(0, scheme));
    if (protocol != "http" && protocol != "https") return {};
    std::string_view rest = url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    // An IPv6 literal keeps its brackets; any other host loses its port.
    if (!rest.empty() && rest.front() == '[')
        rest = rest.substr(
            0, rest.find(']') == std::string_view::npos ? rest.size() : rest.find(']') + 1);
    else
        rest = rest.substr(0, rest.find(':'));
    std::string host = LowerAscii(rest);
    while (!host.empty() && host.back() == '.') host.pop_back();
    // Letters, digits, dots and hyphens, an IDN's bytes, an IPv6 literal's
    // brackets and colons: anything else (blanks, quotes, commas, control
    // bytes from a hostile page) names no site.
    for (const char c : host) {
        const auto u = static_cast<unsigned char>(c);
        const bool fine = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                          c == '-' || c == '_' || c == '[' || c == ']' || c == ':' || u >= 0x80;
        if (!fine) return {};
    }
    if (host.starts_with("www.") && host.size() > 4) host.erase(0, 4);
    return host;
}

std::vector<TopResult> TopResultsOf(const std::vector<std::string>& links) {
    std::vector<TopResult> top;
    for (size_t i = 0; i < links.size() && i < kTopResults; ++i) {
        std::string host = ResultHost(links[i]);
        if (host.empty()) continue;
        top.push_back({static_cast<int>(i + 1), links[i], std::move(host)});
    }
    return top;
}

}  // namespace vx
