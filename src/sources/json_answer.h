// A service's answer read as JSON within bounds: an answer that is not JSON
// (an HTML error page), one too large to be a search's, or one nested
// deeper than any real answer is refused with a reason, never parsed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

constexpr size_t kMaxJsonBytes = 8u * 1024 * 1024;
constexpr int kMaxJsonDepth = 64;
// Scalars (numbers, texts, ...): a search answer holds a few thousand; a
// parsed value costs tens of bytes, so this bounds the tree to a few MB.
constexpr size_t kMaxJsonValues = 250000;

// The JSON, read in one pass and ended at the first bound it passes, or an
// error ("answered HTML, not JSON") in *error.
nlohmann::json ReadJsonAnswer(std::string_view body, std::string* error);
// "answered more than 8 MiB of JSON, ...": an answer past kMaxJsonBytes.
std::string JsonTooLargeWords();

// The values a JSON Pointer (RFC 6901; the leading "/" may be left out)
// names, where a "*" step takes each element of an array or each member of
// an object; none where the path does not lead anywhere.
std::vector<const nlohmann::json*> PointTo(const nlohmann::json& document,
                                           std::string_view pointer);

// The texts a pointer names, such as result addresses ("/results/*/url"):
// appended to *texts. What is wrong when the answer holds them in another
// shape ("answered results that are no list"): a list that is a text or an
// object, an element that is no object, an address that is no text. A
// list that is not there at all is none, read as no results.
std::string ReadTextList(const nlohmann::json& document, std::string_view pointer,
                         std::vector<std::string>* texts);

// A count or a number of searches as JSON gives it: a number or a string of
// digits (with digit groups); nothing otherwise.
std::optional<long long> JsonWholeNumber(const nlohmann::json& value);

}  // namespace vx
