// The one rule of "is this the user's site", for a rank, the competitors'
// table and a term's top results alike: a host is the site's when it is
// the site's host or under it ("shop.example.com" for "example.com"),
// "www." and case aside and an international name in either form; a URL
// is when its host is and its path begins with the site's path where the
// site names one ("example.com/blog").
#pragma once

#include <string>
#include <string_view>

namespace vx {

// The host of the user's site as typed ("example.com",
// "https://www.Example.com/"), as ResultHost gives a result's.
std::string SiteHost(std::string_view site);

// host as ResultHost gives it.
bool HostIsOnSite(std::string_view host, std::string_view site);
bool UrlIsOnSite(std::string_view url, std::string_view site);

}  // namespace vx
