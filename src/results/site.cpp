#include "results/site.h"

#include "core/text.h"
#include "core/url.h"
#include "results/top_results.h"

namespace vx {

namespace {
// The site as a URL, "http://" put before a bare "example.com/blog".
std::string SiteUrl(std::string_view site) {
    const std::string typed(TrimView(site, " \t"));
    return typed.find("://") == std::string::npos ? "http://" + typed : typed;
}
}  // namespace

std::string SiteHost(std::string_view site) {
    return ResultHost(SiteUrl(site));
}

bool HostIsOnSite(std::string_view host, std::string_view site) {
    const std::string own = SiteHost(site);
    if (own.empty() || host.empty()) return false;
    return host == own || (host.size() > own.size() && host.ends_with(own) &&
                           host[host.size() - own.size() - 1] == '.');
}

bool UrlIsOnSite(std::string_view url, std::string_view site) {
    if (!HostIsOnSite(ResultHost(url), site)) return false;
    const auto siteUrl = ParseUrl(SiteUrl(site));
    std::string_view sitePath = siteUrl ? std::string_view(siteUrl->path) : "";
    while (sitePath.ends_with('/')) sitePath.remove_suffix(1);
    if (sitePath.empty()) return true;
    const auto parsed = ParseUrl(url);
    const std::string path = parsed ? LowerAscii(parsed->path) : std::string();
    const std::string own = LowerAscii(sitePath);
    return path.starts_with(own) && (path.size() == own.size() || path[own.size()] == '/');
}

}  // namespace vx
