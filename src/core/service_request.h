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

// Each secret in every form a service or a server may write it back: as it
// is; percent-encoded with capital or small hex digits, and form-encoded
// (a blank as "+"); JSON-escaped, with "/" as "\/" too; and in Base64, as a
// header carries it ("a+b", "a%2Bb", "a%2bb", "YSti").
std::vector<std::string> SecretForms(const std::vector<std::string>& secrets);

struct ServiceRequest {
    std::string method = "GET";
    std::string url;
    std::vector<std::pair<std::string, std::string>> headers = {};
    std::string body = {};
    std::string contentType = {};  // of the body
    bool json = false;             // asks for JSON (Accept: application/json)
    std::vector<std::string> secrets = {};

    // The URL with every secret it holds, in any form, replaced by "***".
    std::string ShownUrl() const { return MaskSecrets(url, SecretForms(secrets)); }
};

}  // namespace vx
