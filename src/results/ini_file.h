// Reader for INI-style profile files: "[section]" lines followed by
// "key=value" lines. Section and key names match without regard to ASCII
// case; sections of one name merge, and the first of a key wins.
//
// Lines end at CR LF, LF or CR alone, whichever the writing editor used. A
// UTF-8 byte-order mark is skipped; UTF-16 with a byte-order mark (either
// order) is read as UTF-8 text.
//
// Values are read whole. Blanks (space, tab) around a value are dropped. A
// value enclosed in double quotes loses the quotes, and inside them "\\",
// "\n", "\r" and "\0" stand for a backslash, LF, CR and NUL; every other
// byte is literal. That is how our writer stores texts with blanks at either
// end, quotes or line breaks so that they read back unchanged
// (QuoteIniValue).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Holds the file's text and, per section, only the offset of its header
// line: rows ("item<k>") in a slot by number, other names in an open
// hash set. The index costs 4 to 8 bytes a section, so memory stays near
// the file's size.
class IniFile {
  public:
    static IniFile Parse(std::string bytes);

    // Distinct section names.
    size_t SectionCount() const { return distinct_; }
    // Distinct names in file order, as written (blanks trimmed).
    std::vector<std::string> SectionNames() const;
    // The text as read: UTF-16 converted, byte-order mark dropped.
    std::string_view Text() const { return text_; }

    // Empty when the section or key is missing.
    std::string Get(std::string_view section, std::string_view key) const;
    // out[i] = Get(section, keys[i]) for every key, in one walk of the section.
    void GetAll(std::string_view section, const char* const* keys, size_t count,
                std::string* out) const;

  private:
    static constexpr uint32_t kNone = UINT32_MAX;
    std::optional<uint32_t> ItemNumber(std::string_view name) const;
    // Fills what it finds for the keys not yet found in the body after the
    // header at `header`; false once every key is found.
    bool ReadBody(uint32_t header, const char* const* keys, size_t count, std::string* out,
                  std::vector<char>& found, size_t& missing) const;
    bool InsertOther(uint32_t header);  // false when the name is there already

    std::string text_;
    size_t lfEnd_ = 0;  // one past the last LF
    size_t distinct_ = 0;
    std::vector<uint32_t> itemSlots_;                         // first header of item<k>
    std::vector<std::pair<uint32_t, uint32_t>> itemRepeats_;  // (k, header), file order
    std::vector<uint32_t> others_;                            // hash set of headers
};

// Value text for "key=" + result that IniFile reads back as value.
std::string QuoteIniValue(std::string_view value);

}  // namespace vx
