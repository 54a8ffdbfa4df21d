// Substring-level helpers the scrapers are built on; pages are never parsed
// as HTML, only searched for the markers the services are known to carry.
#pragma once

#include <string>
#include <string_view>

namespace vx {

std::string ReverseString(std::string_view text);

// Replaces every occurrence of pattern, matched without regard to ASCII case.
// The search resumes after each inserted replacement, so a replacement that
// contains the pattern still terminates.
std::string ReplaceAllNoCase(std::string_view text, std::string_view pattern,
                             std::string_view replacement);

// Removes every ",", "." and " ".
std::string StripNumberSeparators(std::string_view text);

// Search count of a demand cell ("<td>" up to its "</td>"), after "&nbsp;".
std::string ExtractDemandCell(std::string_view cell);

// Key term of a term cell: the link text after its last ">" or ";".
std::string ExtractTermCell(std::string_view cell);

}  // namespace vx
