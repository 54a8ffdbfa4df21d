// An absolute URL read once into its parts, for every place that needs to
// know where a request, a secret or a result goes. Nothing is decoded: the
// parts are as written, so a URL shown again reads as the user typed it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vx {

struct Url {
    std::string scheme;  // in lower case: "https"
    bool hasUserInfo = false, hasPassword = false;
    std::string user, password;  // as written, percent-encoding kept
    std::string host;            // in lower case; an IPv6 literal without its brackets
    std::string port;            // the digits written; empty when none
    std::string path;            // from its "/" on, before "?" and "#"; may be empty
    std::string query;           // after "?", before "#"
    bool hasQuery = false;
    std::string fragment;

    // The port written, else the scheme's own (http 80, https 443,
    // postgresql 5432); 0 when neither is known.
    int PortNumber() const;
    // "host" or "host:8080" as written, an IPv6 literal in brackets: how a
    // message names a server.
    std::string HostPort() const;
    // "host:443" with the port always written: the same server however
    // its URL was written, for telling servers apart.
    std::string Endpoint() const;
    // The URL again, with the password (user info and every "password"
    // query parameter) left out.
    std::string WithoutPassword() const;
};

// The URL's parts; nothing when the text is no "scheme://authority..." or
// its port is not a number from 1 to 65535.
std::optional<Url> ParseUrl(std::string_view text);

// Percent-encodes everything but unreserved bytes (RFC 3986), for a query value.
std::string QueryEscape(std::string_view text);

// localhost, 127.0.0.0/8 or ::1: a server on this computer.
bool IsLoopbackHost(std::string_view host);

}  // namespace vx
