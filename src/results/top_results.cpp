#include "results/top_results.h"

#include <idn2.h>

#include <algorithm>

#include "core/text.h"
#include "core/url.h"

namespace vx {

std::string ResultHost(std::string_view url) {
    const auto parsed = ParseUrl(TrimView(url, " \t\r\n"));
    if (!parsed || (parsed->scheme != "http" && parsed->scheme != "https")) return {};
    // An IPv6 literal keeps its brackets; any other host loses its port.
    std::string host =
        parsed->host.find(':') != std::string::npos ? "[" + parsed->host + "]" : parsed->host;
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
    return CanonicalHost(host);
}

std::string CanonicalHost(const std::string& host) {
    const bool ascii = std::all_of(host.begin(), host.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && host.find("xn--") == std::string::npos) return host;
    if (host.starts_with('[')) return host;
    // One form however a page writes it: to IDNA's ASCII form (which checks
    // it and folds case), then back to the Unicode a reader knows.
    char* punycode = nullptr;
    if (idn2_to_ascii_8z(host.c_str(), &punycode, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT) !=
        IDN2_OK) {
        idn2_free(punycode);
        // An ASCII name libidn2 refuses ("xn--" that decodes to nothing) is
        // kept as written; a Unicode one names no site.
        return ascii ? host : std::string();
    }
    std::string canonical = punycode;
    idn2_free(punycode);
    char* unicode = nullptr;
    if (idn2_to_unicode_8z8z(canonical.c_str(), &unicode, 0) == IDN2_OK) canonical = unicode;
    idn2_free(unicode);
    return canonical;
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
