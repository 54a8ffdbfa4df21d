#include "sources/service_source.h"

#include <cctype>

#include "core/text.h"

namespace vx {

std::string SearchSource::Refusal(int, const std::string& statusWords) const {
    return "refused the credentials (" + statusWords + ")";
}

std::string HostOfUrl(std::string_view url) {
    if (const size_t scheme = url.find("://"); scheme != std::string_view::npos)
        url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    if (const size_t at = url.rfind('@'); at != std::string_view::npos) url.remove_prefix(at + 1);
    return LowerAscii(url);
}

namespace {
std::string_view WithoutWww(std::string_view host) {
    return host.starts_with("www.") ? host.substr(4) : host;
}
}  // namespace

bool UrlIsOnSite(std::string_view url, std::string_view site) {
    const std::string siteText = LowerAscii(site);
    std::string_view siteView = siteText;
    if (const size_t scheme = siteView.find("://"); scheme != std::string_view::npos)
        siteView.remove_prefix(scheme + 3);
    const size_t slash = siteView.find('/');
    const std::string_view siteHost = WithoutWww(siteView.substr(0, slash));
    std::string_view sitePath = slash == std::string_view::npos ? "" : siteView.substr(slash);
    while (sitePath.ends_with('/')) sitePath.remove_suffix(1);
    std::string hostText = HostOfUrl(url);
    hostText = hostText.substr(0, hostText.find(':'));
    const std::string_view host = WithoutWww(hostText);
    if (siteHost.empty()) return false;
    const bool onHost =
        host == siteHost || (host.size() > siteHost.size() && host.ends_with(siteHost) &&
                             host[host.size() - siteHost.size() - 1] == '.');
    if (!onHost || sitePath.empty()) return onHost;
    std::string_view rest = url;
    if (const size_t scheme = rest.find("://"); scheme != std::string_view::npos)
        rest.remove_prefix(scheme + 3);
    const size_t pathAt = rest.find('/');
    const std::string path =
        pathAt == std::string_view::npos ? "" : LowerAscii(rest.substr(pathAt));
    return path.starts_with(sitePath) &&
           (path.size() == sitePath.size() || path[sitePath.size()] == '/' ||
            path[sitePath.size()] == '?');
}

std::string QueryEscape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        }
    }
    return out;
}

std::vector<std::string> SecretForms(const std::vector<std::string>& secrets) {
    std::vector<std::string> forms;
    for (const std::string& secret : secrets) {
        forms.push_back(secret);
        std::string escaped = QueryEscape(secret);
        if (escaped == secret) continue;
        forms.push_back(escaped);
        // The same with small hex digits, as some servers write them.
        for (size_t at = escaped.find('%'); at != std::string::npos && at + 2 < escaped.size();
             at = escaped.find('%', at + 1))
            for (size_t k = at + 1; k <= at + 2; ++k)
                escaped[k] =
                    static_cast<char>(std::tolower(static_cast<unsigned char>(escaped[k])));
        if (escaped != forms.back()) forms.push_back(escaped);
    }
    return forms;
}

}  // namespace vx
