// Reader for INI-style profile files: "[section]" lines followed by
// "key=value" lines. Section and key names match without regard to ASCII
// case; the first section or key of a name wins.
//
// Values: blanks (space, tab) around a value are dropped. A value enclosed in
// double quotes loses the quotes, and inside them "\\", "\n", "\r" and "\0"
// stand for a backslash, LF, CR and NUL; every other byte is literal. That is
// how our writer stores texts with blanks at either end, quotes or line
// breaks so that they read back unchanged (QuoteIniValue).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vx {

class IniFile {
  public:
    static IniFile Parse(std::string_view bytes);

    // Section names in file order, without duplicates.
    const std::vector<std::string>& SectionNames() const { return sectionNames_; }

    // Empty when the section or key is missing.
    std::string Get(std::string_view section, std::string_view key) const;

  private:
    struct Section {
        std::unordered_map<std::string, std::string> values;  // lower-cased key
    };
    std::vector<std::string> sectionNames_;
    std::unordered_map<std::string, Section> sections_;  // lower-cased name
};

// Value text for "key=" + result that IniFile reads back as value.
std::string QuoteIniValue(std::string_view value);

// Longest value the reader returns; longer ones are cut.
constexpr size_t kMaxIniValue = 2047;

// How many names of the list fit a section-name buffer of the given size,
// each name followed by a NUL and the list by one more; a name cut short by
// the end of the buffer is still listed.
size_t CountSectionsFitting(const std::vector<std::string>& names, size_t bufferSize);

}  // namespace vx
