// Reader for INI-style profile files: "[section]" lines followed by
// "key=value" lines. Section and key names match without regard to ASCII
// case; the first section or key of a name wins.
//
// Values are read whole. Blanks (space, tab) around a value are dropped. A value enclosed in
// double quotes loses the quotes, and inside them "\\", "\n", "\r" and "\0"
// stand for a backslash, LF, CR and NUL; every other byte is literal. That is
// how our writer stores texts with blanks at either end, quotes or line
// breaks so that they read back unchanged (QuoteIniValue).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vx {

// Holds the file's bytes and an index of its sections by offsets, so memory
// stays near the file's size whatever the number of sections. A UTF-8
// byte-order mark at the start is skipped.
class IniFile {
  public:
    static IniFile Parse(std::string bytes);

    // Distinct section names in file order, as written (blanks trimmed).
    size_t SectionCount() const { return names_.size(); }
    std::string_view SectionName(size_t i) const;
    std::vector<std::string> SectionNames() const;

    // Empty when the section or key is missing.
    std::string Get(std::string_view section, std::string_view key) const;
    // out[i] = Get(section, keys[i]) for every key, in one walk of the section.
    void GetAll(std::string_view section, const char* const* keys, size_t count,
                std::string* out) const;

  private:
    struct Occurrence {
        uint32_t begin = 0, end = 0;  // the section's body lines
        uint32_t next = UINT32_MAX;   // the next section of the same name
    };
    struct Name {
        uint32_t begin = 0, length = 0;  // as written
        uint32_t first = 0, last = 0;    // its occurrences
    };
    std::string bytes_;
    std::vector<Occurrence> occurrences_;
    std::vector<Name> names_;
    // Names index: "item<k>" (the rows) by number, every other by its
    // lower-cased text.
    std::optional<uint32_t> ItemNumber(std::string_view name) const;
    uint32_t Find(std::string_view name) const;  // names_ index or UINT32_MAX
    void Remember(std::string_view name, uint32_t index);
    std::vector<uint32_t> itemSlots_;
    std::unordered_map<std::string, uint32_t> others_;
};

// Value text for "key=" + result that IniFile reads back as value.
std::string QuoteIniValue(std::string_view value);

}  // namespace vx
