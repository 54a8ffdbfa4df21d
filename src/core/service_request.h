// One request to a service, as an adapter describes it: GET or POST, the
// URL, the headers beyond Host and User-Agent, a body. Secrets it carries
// (an API key in the URL, a bearer token in a header) are named, so that
// whatever shows the request shows them masked.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vx {

// text with every secret in it replaced by "***" (a secret that "***"
// itself would hold is never met again: the search goes on past it).
inline std::string MaskSecrets(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    return text;
}

struct ServiceRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers = {};
    std::string body = {};
    std::string contentType = {};  // of the body
    bool json = false;             // asks for JSON (Accept: application/json)
    std::vector<std::string> secrets = {};

    // The URL with every secret it holds replaced by "***".
    std::string ShownUrl() const { return MaskSecrets(url, secrets); }
};

}  // namespace vx
