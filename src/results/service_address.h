// A service's address as the user gives it: "https://host[:port]",
// "http://host[:port]" or "host[:port]" (plain HTTP).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vx {

// The address with its scheme and without a trailing "/": the start of
// every URL the service is asked.
std::string ServiceBaseUrl(std::string_view address);

// The passwords a URL holds: its user info's ("user:secret@host") and any
// password= parameter of its query, in any case; none for a URL without.
std::vector<std::string> PasswordsInUrl(std::string_view url);

}  // namespace vx
