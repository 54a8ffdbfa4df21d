#include "sources/service_source.h"

#include <cctype>

#include "core/text.h"
#include "core/url.h"

namespace vx {

std::string SearchSource::Refusal(int, const std::string& statusWords) const {
    return "refused the credentials (" + statusWords + ")";
}

std::string HostOfUrl(std::string_view url) {
    if (const auto parsed = ParseUrl(url)) return parsed->HostPort();
    return LowerAscii(url);
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
