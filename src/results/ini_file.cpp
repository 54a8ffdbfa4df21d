#include "results/ini_file.h"

#include <cstring>

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

namespace {
// The lines of bytes[begin, end), each without its CR LF and trimmed, with
// the offset where the line starts and the one after its LF.
template <typename F>
void ForEachLine(std::string_view bytes, size_t begin, size_t end, F&& f) {
    size_t pos = begin;
    while (pos < end) {
        const void* nl = std::memchr(bytes.data() + pos, '\n', end - pos);
        const size_t eol =
            nl ? static_cast<size_t>(static_cast<const char*>(nl) - bytes.data()) : end;
        std::string_view line = bytes.substr(pos, eol - pos);
        const size_t start = pos;
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!f(Trim(line), start, std::min(pos, end))) return;
    }
}
}  // namespace

std::optional<uint32_t> IniFile::ItemNumber(std::string_view name) const {
    if (name.size() < 5 || name.size() > 13 || !EqualsNoCase(name.substr(0, 4), "item"))
        return std::nullopt;
    const std::string_view digits = name.substr(4);
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;  // "item01" is another name
    uint64_t k = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        k = k * 10 + static_cast<uint64_t>(c - '0');
    }
    // A file of b bytes has fewer than b / 3 sections: a larger number can
    // never be a row, and the slots stay within a third of the file.
    if (k >= bytes_.size() / 3) return std::nullopt;
    return static_cast<uint32_t>(k);
}

uint32_t IniFile::Find(std::string_view name) const {
    if (const auto k = ItemNumber(name))
        return *k < itemSlots_.size() ? itemSlots_[*k] : UINT32_MAX;
    const auto it = others_.find(LowerAscii(name));
    return it == others_.end() ? UINT32_MAX : it->second;
}

void IniFile::Remember(std::string_view name, uint32_t index) {
    if (const auto k = ItemNumber(name)) {
        if (*k >= itemSlots_.size()) itemSlots_.resize(*k + 1, UINT32_MAX);
        itemSlots_[*k] = index;
    } else {
        others_.emplace(LowerAscii(name), index);
    }
}

IniFile IniFile::Parse(std::string bytes) {
    IniFile ini;
    ini.bytes_ = std::move(bytes);
    const std::string_view all = ini.bytes_;
    const size_t start = all.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    Occurrence* open = nullptr;
    // Section headers end the body of the one before; walk line by line.
    ForEachLine(all, start, all.size(), [&](std::string_view line, size_t lineStart, size_t next) {
        if (line.empty() || line[0] != '[') return true;
        if (open) open->end = static_cast<uint32_t>(lineStart);
        const size_t close = line.find(']');
        const std::string_view name = Trim(
            line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        const auto occurrence = static_cast<uint32_t>(ini.occurrences_.size());
        // The body starts on the next line.
        ini.occurrences_.push_back(
            {static_cast<uint32_t>(next), static_cast<uint32_t>(all.size()), UINT32_MAX});
        open = &ini.occurrences_.back();
        const uint32_t known = ini.Find(name);
        if (known == UINT32_MAX) {
            const size_t at =
                name.empty() ? lineStart : static_cast<size_t>(name.data() - all.data());
            ini.Remember(name, static_cast<uint32_t>(ini.names_.size()));
            ini.names_.push_back({static_cast<uint32_t>(at), static_cast<uint32_t>(name.size()),
                                  occurrence, occurrence});
        } else {
            Name& n = ini.names_[known];
            ini.occurrences_[n.last].next = occurrence;
            n.last = occurrence;
        }
        return true;
    });
    return ini;
}

std::string_view IniFile::SectionName(size_t i) const {
    return std::string_view(bytes_).substr(names_[i].begin, names_[i].length);
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> out;
    out.reserve(names_.size());
    for (size_t i = 0; i < names_.size(); ++i) out.emplace_back(SectionName(i));
    return out;
}

void IniFile::GetAll(std::string_view section, const char* const* keys, size_t count,
                     std::string* out) const {
    for (size_t k = 0; k < count; ++k) out[k].clear();
    const uint32_t index = Find(section);
    if (index == UINT32_MAX) return;
    std::vector<char> found(count, 0);
    size_t missing = count;
    // Sections of the same name merge; the first of a key wins.
    for (uint32_t o = names_[index].first; o != UINT32_MAX && missing > 0;
         o = occurrences_[o].next) {
        ForEachLine(bytes_, occurrences_[o].begin, occurrences_[o].end,
                    [&](std::string_view line, size_t, size_t) {
                        if (line.empty() || line[0] == ';') return true;
                        const size_t eq = line.find('=');
                        if (eq == std::string_view::npos) return true;
                        const std::string_view key = Trim(line.substr(0, eq));
                        for (size_t k = 0; k < count; ++k) {
                            if (found[k] || !EqualsNoCase(key, keys[k])) continue;
                            out[k] = Unquote(Trim(line.substr(eq + 1)));
                            found[k] = true;
                            --missing;
                            break;
                        }
                        return missing > 0;
                    });
    }
}

std::string IniFile::Get(std::string_view section, std::string_view key) const {
    const std::string k(key);
    const char* keys[1] = {k.c_str()};
    std::string out;
    GetAll(section, keys, 1, &out);
    return out;
}

std::string QuoteIniValue(std::string_view value) {
    // Always quoted: the reader then never trims or unquotes the text itself.
    return "\"" + BackslashEscape(value, std::string_view("\\\n\r\0", 4)) + "\"";
}

}  // namespace vx
