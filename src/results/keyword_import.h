// Lists of key terms users already hold, read for a research: Keyword
// Planner exports (UTF-16 or UTF-8, tabs or commas, title lines, demand as a
// number or a range), Search Console "Queries" exports (demand: impressions),
// plain lists (a term, optionally a tab or comma and a demand) and
// Vexorin's own keyword lists and CSV exports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// A list may hold this many terms, in a file of at most this many bytes.
constexpr size_t kMaxImportedTerms = 100000;
constexpr uint64_t kMaxImportBytes = 256ull << 20;

struct ImportedTerm {
    std::string term;
    std::string demand;  // as the file gives it ("1,300", "1K – 10K"); empty when none
};

struct KeywordList {
    std::vector<ImportedTerm> terms;
    // What is wrong with the file ("line 7: unbalanced quotes"); empty when
    // it was read. A list with an error holds no terms.
    std::string error;
    explicit operator bool() const { return error.empty(); }
};

// Reads a file's bytes. Blank lines and repeated terms (FoldCase) are left
// out, terms trimmed.
KeywordList ReadKeywordList(std::string_view bytes);
// The same for a file; a file that cannot be read says why in error.
KeywordList ReadKeywordListFile(const std::string& path);

// Adds more's terms not yet in list (FoldCase), in order.
void MergeKeywordLists(std::vector<ImportedTerm>& list, const std::vector<ImportedTerm>& more);

// A demand figure for the metrics: a whole number with or without digit
// groups ("1,300", "12 100"), or a range's geometric middle ("1K – 10K",
// en dash or hyphen, K and M for thousands and millions: 3162).
std::optional<int64_t> ReadDemandFigure(std::string_view text);

}  // namespace vx
