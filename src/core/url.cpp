#include "core/url.h"

#include "core/text.h"

namespace vx {

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

// "password" in any case, as libpq takes it.
bool IsPasswordParameter(std::string_view pair) {
    return EqualsNoCase(pair.substr(0, pair.find('=')), "password");
}

}  // namespace

std::optional<Url> ParseUrl(std::string_view text) {
    const size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return std::nullopt;
    for (size_t i = 0; i < schemeEnd; ++i)
        if (!IsSchemeChar(text[i], i == 0)) return std::nullopt;
    Url u;
    u.scheme = LowerAscii(text.substr(0, schemeEnd));
    std::string_view rest = text.substr(schemeEnd + 3);
    if (const size_t hash = rest.find('#'); hash != std::string_view::npos) {
        u.fragment = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    if (const size_t q = rest.find('?'); q != std::string_view::npos) {
        u.hasQuery = true;
        u.query = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    const size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (slash != std::string_view::npos) u.path = std::string(rest.substr(slash));
    // The last "@" ends the user info: a password may hold an unescaped one.
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        u.hasUserInfo = true;
        const std::string_view info = authority.substr(0, at);
        const size_t colon = info.find(':');
        u.user = std::string(info.substr(0, colon));
        if (colon != std::string_view::npos) {
            u.hasPassword = true;
            u.password = std::string(info.substr(colon + 1));
        }
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        u.host = LowerAscii(authority.substr(1, close - 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty() && !after.starts_with(':')) return std::nullopt;
        if (!after.empty()) port = after.substr(1);
    } else {
        const size_t colon = authority.rfind(':');
        u.host = LowerAscii(authority.substr(0, colon));
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    if (!port.empty()) {
        const auto n = port.find_first_not_of("0123456789") == std::string_view::npos
                           ? ReadWholeNumber(port)
                           : std::nullopt;
        if (!n || *n < 1 || *n > 65535) return std::nullopt;
        u.port = std::string(port);
    }
    return u;
}

int Url::PortNumber() const {
    if (!port.empty()) return *ReadWholeNumber(port);
    if (scheme == "http") return 80;
    if (scheme == "https") return 443;
    if (scheme == "postgresql" || scheme == "postgres") return 5432;
    return 0;
}

std::string Url::HostPort() const {
    std::string out = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return port.empty() ? out : out + ":" + port;
}

std::string Url::Endpoint() const {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
           std::to_string(PortNumber());
}

std::string Url::WithoutPassword() const {
    std::string out = scheme + "://";
    if (hasUserInfo) out += user + "@";
    out += HostPort() + path;
    if (hasQuery) {
        std::string kept;
        for (size_t start = 0; start <= query.size();) {
            const size_t end = std::min(query.find('&', start), query.size());
            const std::string_view pair = std::string_view(query).substr(start, end - start);
            if (!IsPasswordParameter(pair)) kept += (kept.empty() ? "" : "&") + std::string(pair);
            start = end + 1;
        }
        if (!kept.empty()) out += "?" + kept;
    }
    if (!fragment.empty()) out += "#" + fragment;
    return out;
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

bool IsLoopbackHost(std::string_view host) {
    if (EqualsNoCase(host, "localhost") || host == "::1") return true;
    // 127.x.y.z, four whole numbers below 256.
    if (!host.starts_with("127.")) return false;
    int parts = 0;
    for (size_t start = 0; start <= host.size(); ++parts) {
        const size_t end = std::min(host.find('.', start), host.size());
        const std::string_view part = host.substr(start, end - start);
        if (part.empty() || part.size() > 3 ||
            part.find_first_not_of("0123456789") != std::string_view::npos ||
            *ReadWholeNumber(part) > 255)
            return false;
        start = end + 1;
    }
    return parts == 4;
}

}  // namespace vx
