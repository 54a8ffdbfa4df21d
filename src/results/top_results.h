// The first results of a term's first result page (who ranks instead of
// the user's site), kept with its row, and the hosts they name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Results kept a term: the first page's first ten.
constexpr size_t kTopResults = 10;

struct TopResult {
    int position = 0;  // 1-based, on the first page
    std::string url;
    std::string host;  // ResultHost(url)
    bool operator==(const TopResult&) const = default;
};

// The site a result's link names: its host in lower case, a leading "www."
// and a port left out; a link with user info names the host after the "@".
// Empty for a link that names no site (relative, not http or https, no host).
// An international name is in one form however written (CanonicalHost).
std::string ResultHost(std::string_view url);
// An international host name in one form: checked and case-folded through
// IDNA's ASCII form (libidn2), shown in Unicode ("xn--bcher-kva.example"
// and "B\xC3\x9C""CHER.example" are "b\xC3\xBC""cher.example"); an ASCII one as it is;
// empty for a Unicode name IDNA refuses.
std::string CanonicalHost(const std::string& host);

// The results of a list of links in their order (positions from 1; a link
// that names no site keeps its position but is left out), at most the first
// kTopResults positions.
std::vector<TopResult> TopResultsOf(const std::vector<std::string>& links);

}  // namespace vx
