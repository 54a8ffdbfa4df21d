#include "results/ini_file.h"

#include <cstring>
#include <unordered_set>

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

// The lines of a text from an offset on, each without its line end (CR LF,
// LF or CR) and trimmed. The next LF is remembered and never looked for past
// the text's last one, and a CR only within the line, so no line costs a
// search to the end of the file whichever line ends it uses.
class Lines {
  public:
    // lfEnd: one past the text's last LF (0 when it has none).
    Lines(std::string_view text, size_t pos, size_t lfEnd)
        : text_(text), pos_(pos), lfEnd_(lfEnd) {}
    // False at the end; start is where the line begins in the text.
    bool Next(std::string_view* line, size_t* start) {
        if (pos_ >= text_.size()) return false;
        if (lf_ < pos_ || !searched_) {
            lf_ = Find('\n', pos_ < lfEnd_ ? lfEnd_ : pos_);
            searched_ = true;
        }
        const size_t cr = Find('\r', lf_);
        const size_t eol = std::min(lf_, cr);
        *start = pos_;
        *line = Trim(text_.substr(pos_, eol - pos_));
        pos_ = eol == text_.size() ? eol : eol + ((eol == cr && eol + 1 == lf_) ? 2 : 1);
        return true;
    }

  private:
    // The first c in [pos_, end), else the text's size.
    size_t Find(char c, size_t end) const {
        end = std::min(end, text_.size());
        const void* p = pos_ < end ? std::memchr(text_.data() + pos_, c, end - pos_) : nullptr;
        return p ? static_cast<size_t>(static_cast<const char*>(p) - text_.data()) : text_.size();
    }
    std::string_view text_;
    size_t pos_, lfEnd_, lf_ = 0;
    bool searched_ = false;
};

bool IsHeader(std::string_view line) {
    return !line.empty() && line[0] == '[';
}

std::string_view HeaderName(std::string_view line) {
    const size_t close = line.find(']');
    return Trim(
        line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

uint64_t HashNoCase(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (const char c : s)
        h = (h ^ static_cast<unsigned char>(LowerAsciiChar(c))) * 1099511628211ull;
    return h;
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
    if (k >= text_.size() / 3) return std::nullopt;
    return static_cast<uint32_t>(k);
}

bool IniFile::InsertOther(uint32_t header) {
    auto nameAt = [this](uint32_t at) {
        Lines lines(text_, at, lfEnd_);
        std::string_view line;
        size_t start;
        lines.Next(&line, &start);
        return HeaderName(line);
    };
    const std::string_view name = nameAt(header);
    const size_t mask = others_.size() - 1;
    for (size_t slot = HashNoCase(name) & mask;; slot = (slot + 1) & mask) {
        if (others_[slot] == kNone) {
            others_[slot] = header;
            return true;
        }
        if (EqualsNoCase(nameAt(others_[slot]), name)) return false;
    }
}

IniFile IniFile::Parse(std::string bytes) {
    IniFile ini;
    const std::string_view raw = bytes;
    if (raw.substr(0, 2) == "\xFF\xFE" || raw.substr(0, 2) == "\xFE\xFF") {
        ini.text_ = Utf16ToUtf8(raw.substr(2), raw[0] == '\xFE');
    } else {
        ini.text_ = std::move(bytes);
        if (std::string_view(ini.text_).substr(0, 3) == "\xEF\xBB\xBF") ini.text_.erase(0, 3);
    }
    const size_t lastLf = ini.text_.rfind('\n');
    ini.lfEnd_ = lastLf == std::string::npos ? 0 : lastLf + 1;
    // Two walks: the first sizes the index so that it never grows by
    // doubling, the second fills it.
    std::string_view line;
    size_t start;
    size_t items = 0, others = 0;
    for (Lines lines(ini.text_, 0, ini.lfEnd_); lines.Next(&line, &start);) {
        if (!IsHeader(line)) continue;
        if (const auto k = ini.ItemNumber(HeaderName(line)))
            items = std::max<size_t>(items, *k + 1);
        else
            ++others;
    }
    ini.itemSlots_.assign(items, kNone);
    if (others > 0) {
        size_t capacity = 2;
        while (capacity < 2 * others) capacity *= 2;
        ini.others_.assign(capacity, kNone);
    }
    for (Lines lines(ini.text_, 0, ini.lfEnd_); lines.Next(&line, &start);) {
        if (!IsHeader(line)) continue;
        const auto header = static_cast<uint32_t>(start);
        if (const auto k = ini.ItemNumber(HeaderName(line))) {
            if (ini.itemSlots_[*k] == kNone) {
                ini.itemSlots_[*k] = header;
                ++ini.distinct_;
            } else {
                ini.itemRepeats_.emplace_back(*k, header);
            }
        } else if (ini.InsertOther(header)) {
            ++ini.distinct_;
        }
    }
    return ini;
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    std::string_view line;
    size_t start;
    for (Lines lines(text_, 0, lfEnd_); lines.Next(&line, &start);) {
        if (!IsHeader(line)) continue;
        const std::string_view name = HeaderName(line);
        if (seen.insert(LowerAscii(name)).second) out.emplace_back(name);
    }
    return out;
}

bool IniFile::ReadBody(uint32_t header, const char* const* keys, size_t count, std::string* out,
                       std::vector<char>& found, size_t& missing) const {
    Lines lines(text_, header, lfEnd_);
    std::string_view line;
    size_t start;
    lines.Next(&line, &start);  // the header itself
    while (missing > 0 && lines.Next(&line, &start)) {
        if (IsHeader(line)) break;
        if (line.empty() || line[0] == ';') continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trim(line.substr(0, eq));
        for (size_t k = 0; k < count; ++k) {
            if (found[k] || !EqualsNoCase(key, keys[k])) continue;
            out[k] = Unquote(Trim(line.substr(eq + 1)));
            found[k] = true;
            --missing;
            break;
        }
    }
    return missing > 0;
}

void IniFile::GetAll(std::string_view section, const char* const* keys, size_t count,
                     std::string* out) const {
    for (size_t k = 0; k < count; ++k) out[k].clear();
    std::vector<char> found(count, 0);
    size_t missing = count;
    if (const auto k = ItemNumber(section)) {
        if (*k >= itemSlots_.size() || itemSlots_[*k] == kNone) return;
        if (!ReadBody(itemSlots_[*k], keys, count, out, found, missing)) return;
        for (const auto& [item, header] : itemRepeats_)
            if (item == *k && !ReadBody(header, keys, count, out, found, missing)) return;
        return;
    }
    // Names other than rows are looked up by a walk of the file.
    std::string_view line;
    size_t start;
    for (Lines lines(text_, 0, lfEnd_); lines.Next(&line, &start);) {
        if (!IsHeader(line) || !EqualsNoCase(HeaderName(line), section)) continue;
        if (!ReadBody(static_cast<uint32_t>(start), keys, count, out, found, missing)) return;
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
