// A service's address as the user gives it: "https://host[:port]",
// "http://host[:port]" or "host[:port]" (plain HTTP).
#pragma once

#include <string>
#include <string_view>

namespace vx {

// The address with its scheme and without a trailing "/": the start of
// every URL the service is asked.
std::string ServiceBaseUrl(std::string_view address);

}  // namespace vx
