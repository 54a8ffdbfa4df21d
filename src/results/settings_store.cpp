#include "results/settings_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "core/text.h"
#include "results/atomic_file.h"

namespace vx {

namespace {

const std::string kSectionLine = std::string("[HKEY_CURRENT_USER") + kSettingsKeyPath + "]";
constexpr size_t kMaxSettingsFile = 1024 * 1024;

std::string EscapeString(const std::string& s) {
    return BackslashEscape(s, "\\\"\n\r");
}

// Reads a quoted string at s[i] == '"'; i ends after the closing quote.
bool ReadQuoted(const std::string& s, size_t& i, std::string* out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    out->clear();
    while (i < s.size()) {
        const char c = s[i++];
        if (c == '"') return true;
        if (c == '\\') {
            if (i >= s.size()) return false;
            const char n = s[i++];
            *out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            *out += c;
        }
    }
    return false;
}

void MakeDirs(const std::string& dir) {
    for (size_t p = 1; p <= dir.size(); ++p) {
        if (p == dir.size() || dir[p] == '/') ::mkdir(dir.substr(0, p).c_str(), 0700);
    }
}

}  // namespace

SettingsStore::SettingsStore(std::string filePath) : path_(std::move(filePath)) {}

std::string SettingsStore::DefaultPath() {
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') {
        base = x;
    } else if (const char* h = std::getenv("HOME"); h && *h == '/') {
        base = std::string(h) + "/.config";
    } else {
        return {};  // no folder of this user's: no store, never a shared one
    }
    return base + "/vexorin/settings.reg";
}

std::string SettingsStore::Format(const std::map<std::string, RegValue>& values) {
    std::string out = "Windows Registry Editor Version 5.00\n\n" + kSectionLine + "\n";
    for (const auto& [name, v] : values) {
        out += "\"" + EscapeString(name) + "\"=";
        if (v.type == RegType::Dword) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
            out += buf;
        } else {
            out += "\"" + EscapeString(v.text) + "\"";
        }
        out += "\n";
    }
    return out;
}

namespace {
// "hex(2):" data: UTF-16LE bytes of an expandable string; our own values
// are 8-bit, so every second byte is dropped.
bool ParseExpandString(const std::string& bytes, std::string* text) {
    for (size_t k = 0; k + 1 < bytes.size(); k += 3) {
        const auto b = ReadWholeNumber("$" + bytes.substr(k, 2));
        if (!b) return false;
        if ((k / 3) % 2 != 0) continue;
        if (*b == 0) break;
        *text += static_cast<char>(*b);
    }
    return true;
}

// The data after "name"=: a quoted string, dword:XXXXXXXX, hex(2):...,
// or any other type, kept as such.
bool ParseValueData(const std::string& rest, RegValue* v) {
    if (!rest.empty() && rest[0] == '"') {
        size_t j = 0;
        v->type = RegType::String;
        return ReadQuoted(rest, j, &v->text) && j == rest.size();
    }
    if (rest.rfind("dword:", 0) == 0) {
        const std::string hex = rest.substr(6);
        const auto n = hex.size() == 8 ? ReadWholeNumber("$" + hex) : std::nullopt;
        v->type = RegType::Dword;
        v->dword = n ? static_cast<uint32_t>(*n) : 0;
        return n.has_value();
    }
    if (rest.rfind("hex(2):", 0) == 0) {
        v->type = RegType::ExpandString;
        return ParseExpandString(rest.substr(7), &v->text);
    }
    v->type = RegType::Other;
    return true;
}
}  // namespace

bool SettingsStore::Parse(const std::string& text, std::map<std::string, RegValue>* values,
                          bool* found) {
    values->clear();
    *found = false;
    bool inKey = false, clean = true;
    size_t pos = 0;
    const std::string wanted = LowerAscii(kSectionLine);
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            inKey = LowerAscii(line) == wanted;
            *found = *found || inKey;
            continue;
        }
        if (!inKey) continue;
        size_t i = 0;
        std::string name;
        // A line that does not parse is dropped alone; the others still count.
        RegValue v;
        if (!ReadQuoted(line, i, &name) || i >= line.size() || line[i] != '=' ||
            !ParseValueData(line.substr(i + 1), &v)) {
            clean = false;
            continue;
        }
        values->emplace(LowerAscii(name), std::move(v));
    }
    return clean;
}

bool SettingsStore::OpenKey(bool create) {
    values_.clear();
    dirty_ = false;
    std::string text;
    bool found = false;
    // A file that is there but cannot be read (or is over the cap) is not
    // read in part: the defaults serve, and it is never written over.
    int error = 0;
    unreadable_ = false;
    if (!path_.empty()) {
        if (ReadFileBytes(path_, &text, kMaxSettingsFile, &error) == ReadStatus::Ok)
            Parse(text, &values_, &found);
        else
            unreadable_ = error != ENOENT;
    }
    open_ = found || create;
    if (!found) values_.clear();
    return open_;
}

bool SettingsStore::ValueExists(const std::string& name) const {
    return open_ && values_.count(LowerAscii(name)) > 0;
}

std::string SettingsStore::ReadString(const std::string& name) const {
    const auto it = values_.find(LowerAscii(name));
    if (!open_ || it == values_.end()) throw SettingsError("Invalid registry data: " + name);
    if (it->second.type != RegType::String && it->second.type != RegType::ExpandString)
        throw SettingsError("Invalid data type for '" + name + "'");
    const std::string& t = it->second.text;
    return t.substr(0, t.find('\0'));
}

int32_t SettingsStore::ReadInteger(const std::string& name) const {
    const auto it = values_.find(LowerAscii(name));
    if (!open_ || it == values_.end()) throw SettingsError("Invalid registry data: " + name);
    if (it->second.type != RegType::Dword)
        throw SettingsError("Invalid data type for '" + name + "'");
    return static_cast<int32_t>(it->second.dword);
}

void SettingsStore::WriteString(const std::string& name, const std::string& value) {
    if (!open_) throw SettingsError("Key not open");
    RegValue v;
    v.text = value;
    values_[LowerAscii(name)] = v;
    dirty_ = true;
}

void SettingsStore::WriteInteger(const std::string& name, int32_t value) {
    if (!open_) throw SettingsError("Key not open");
    RegValue v;
    v.type = RegType::Dword;
    v.dword = static_cast<uint32_t>(value);
    values_[LowerAscii(name)] = v;
    dirty_ = true;
}

bool SettingsStore::CloseKey() {
    bool ok = true;
    if (open_ && dirty_ && (path_.empty() || unreadable_)) {
        ok = false;  // no store to write to, or one we must not lose
    } else if (open_ && dirty_) {
        const size_t slash = path_.rfind('/');
        if (slash != std::string::npos && slash > 0) MakeDirs(path_.substr(0, slash));
        ok = static_cast<bool>(WriteFileAtomically(path_, Format(values_)));
    }
    open_ = false;
    dirty_ = false;
    return ok;
}

DialogEntries LoadDialogEntries(SettingsStore& store, DialogEntries fields) {
    store.OpenKey(false);
    try {
        fields.keyterm = store.ValueExists("keyterm") ? store.ReadString("keyterm") : "";
        fields.home = store.ValueExists("home") ? store.ReadString("home") : "";
        int depth = store.ValueExists("depth") ? store.ReadInteger("depth") : 2;
        fields.depthIndex = (depth >= 0 && depth < kDepthItems) ? depth : -1;
        fields.results = ClampResults(store.ValueExists("results") ? store.ReadInteger("results")
                                                                   : kDefaultResults);
    } catch (const std::exception&) {
        // The rest keeps its design-time values.
    }
    store.CloseKey();
    return fields;
}

bool SaveDialogEntries(SettingsStore& store, const DialogEntries& fields) {
    store.OpenKey(true);
    try {
        store.WriteString("keyterm", fields.keyterm);
        store.WriteString("home", fields.home);
        store.WriteInteger("depth", fields.depthIndex);
        store.WriteInteger("results", fields.results);
    } catch (const std::exception&) {
    }
    return store.CloseKey();
}

}  // namespace vx
