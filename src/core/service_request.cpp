#include "core/service_request.h"

#include <algorithm>
#include <cctype>

#include "core/url.h"

namespace vx {

namespace {

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (const int shift : {18, 12, 6, 0}) out += kDigits[(n >> shift) & 63];
    }
    if (const size_t left = bytes.size() - i; left > 0) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += left == 2 ? kDigits[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string JsonEscaped(std::string_view text, bool slash) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || (slash && c == '/')) {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> SecretForms(const std::vector<std::string>& secrets) {
    std::vector<std::string> forms;
    const auto add = [&forms](std::string form) {
        if (!form.empty() && std::find(forms.begin(), forms.end(), form) == forms.end())
            forms.push_back(std::move(form));
    };
    for (const std::string& secret : secrets) {
        if (secret.empty()) continue;
        add(secret);
        std::string escaped = QueryEscape(secret);
        add(escaped);
        std::string form;
        for (size_t at = 0; at < escaped.size();) {
            const bool blank = escaped.compare(at, 3, "%20") == 0;
            form += blank ? '+' : escaped[at];
            at += blank ? 3 : 1;
        }
        add(form);
        for (size_t at = escaped.find('%'); at != std::string::npos && at + 2 < escaped.size();
             at = escaped.find('%', at + 1))
            for (size_t k = at + 1; k <= at + 2; ++k)
                escaped[k] =
                    static_cast<char>(std::tolower(static_cast<unsigned char>(escaped[k])));
        add(escaped);
        add(JsonEscaped(secret, false));
        add(JsonEscaped(secret, true));
        add(Base64(secret));
    }
    return forms;
}

}  // namespace vx
