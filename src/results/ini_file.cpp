#include "results/ini_file.h"

#include "core/text.h"

namespace vx {

namespace {

std::string_view Trim(std::string_view s) {
    return TrimView(s, " \t");
}

std::string Unquote(std::string_view v) {
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::string(v);
    v = v.substr(1, v.size() - 2);
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char n = v[i + 1];
            if (n == '\\' || n == 'n' || n == 'r' || n == '0') {
                out += n == '\\' ? '\\' : n == 'n' ? '\n' : n == 'r' ? '\r' : '\0';
                ++i;
                continue;
            }
        }
        out += v[i];
    }
    return out;
}

}  // namespace

IniFile IniFile::Parse(std::string_view bytes) {
    IniFile ini;
    Section* current = nullptr;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t eol = bytes.find('\n', pos);
        if (eol == std::string_view::npos) eol = bytes.size();
        std::string_view line = bytes.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            const std::string name(Trim(line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            const std::string key = LowerAscii(name);
            auto [it, inserted] = ini.sections_.try_emplace(key);
            if (inserted) ini.sectionNames_.push_back(name);
            current = &it->second;
            continue;
        }
        if (!current) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string key = LowerAscii(Trim(line.substr(0, eq)));
        if (current->values.count(key)) continue;
        std::string value = Unquote(Trim(line.substr(eq + 1)));
        if (value.size() > kMaxIniValue) value.resize(kMaxIniValue);
        current->values.emplace(key, std::move(value));
    }
    return ini;
}

std::string IniFile::Get(std::string_view section, std::string_view key) const {
    const auto s = sections_.find(LowerAscii(section));
    if (s == sections_.end()) return {};
    const auto v = s->second.values.find(LowerAscii(key));
    return v == s->second.values.end() ? std::string() : v->second;
}

std::string QuoteIniValue(std::string_view value) {
    // Always quoted: the reader then never trims or unquotes the text itself.
    return "\"" + BackslashEscape(value, std::string_view("\\\n\r\0", 4)) + "\"";
}

size_t CountSectionsFitting(const std::vector<std::string>& names, size_t bufferSize) {
    if (bufferSize < 2) return 0;
    const size_t room = bufferSize - 1;  // the list's closing NUL
    size_t used = 0, count = 0;
    for (const auto& n : names) {
        if (used >= room) break;
        ++count;  // listed, perhaps cut short
        used += n.size() + 1;
    }
    return count;
}

}  // namespace vx
