#include "results/keyword_import.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "core/text.h"
#include "results/dialog_limits.h"

namespace vx {

namespace {

// One line's cells: tab-separated as is, or comma-separated with CSV's
// quotes. False when a quote is left open.
bool SplitCells(std::string_view line, char delimiter, std::vector<std::string>& cells) {
    cells.clear();
    std::string cell;
    bool quoted = false, wasQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                cell += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == '"' && delimiter == ',' && TrimView(cell, " ").empty()) {
            quoted = wasQuoted = true;
            cell.clear();
        } else if (c == delimiter) {
            cells.push_back(wasQuoted ? cell : std::string(TrimView(cell, " ")));
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    if (quoted) return false;
    cells.push_back(wasQuoted ? cell : std::string(TrimView(cell, " ")));
    return true;
}

char DelimiterOf(std::string_view line) {
    return line.find('\t') != std::string_view::npos ? '\t' : ',';
}

// The header names of each kind of list, lower-cased.
constexpr std::string_view kTermHeaders[] = {"keyword", "top queries", "key term", "query"};
constexpr std::string_view kDemandHeaders[] = {"avg. monthly searches", "impressions", "demand"};

template <size_t N>
int ColumnOf(const std::vector<std::string>& cells, const std::string_view (&names)[N]) {
    for (size_t i = 0; i < cells.size(); ++i) {
        const std::string name = LowerAscii(TrimView(cells[i], " \t"));
        if (std::find(std::begin(names), std::end(names), name) != std::end(names))
            return static_cast<int>(i);
    }
    return -1;
}

// Our own CSV export guards a term a spreadsheet would run as a formula
// with a leading apostrophe; the term is what follows it.
std::string Unguarded(std::string term) {
    if (term.size() > 1 && term[0] == '\'' &&
        std::string_view("=+-@\t\r").find(term[1]) != std::string_view::npos)
        term.erase(0, 1);
    return term;
}

std::string AtLine(size_t line, const std::string& what) {
    return "line " + std::to_string(line) + ": " + what;
}

}  // namespace

std::optional<int64_t> ReadDemandFigure(std::string_view text) {
    text = TrimView(text, " \t");
    if (const auto whole = ReadGroupedWholeNumber(text); whole && *whole >= 0) return whole;
    // "1K – 10K": an en dash (UTF-8) or a hyphen between two ends.
    size_t dash = text.find("\xE2\x80\x93");
    size_t dashSize = 3;
    if (dash == std::string_view::npos) {
        dash = text.find('-');
        dashSize = 1;
    }
    if (dash == std::string_view::npos || dash == 0) return std::nullopt;
    auto end = [](std::string_view part) -> std::optional<double> {
        part = TrimView(part, " \t");
        double scale = 1;
        if (!part.empty() && (part.back() == 'K' || part.back() == 'k')) scale = 1e3;
        if (!part.empty() && (part.back() == 'M' || part.back() == 'm')) scale = 1e6;
        if (scale != 1) part.remove_suffix(1);
        const auto n = ReadGroupedWholeNumber(part);
        if (!n || *n < 0) return std::nullopt;
        return static_cast<double>(*n) * scale;
    };
    const auto low = end(text.substr(0, dash)), high = end(text.substr(dash + dashSize));
    if (!low || !high || *low > *high) return std::nullopt;
    return static_cast<int64_t>(std::llround(std::sqrt(*low * *high)));
}

KeywordList ReadKeywordList(std::string_view bytes) {
    KeywordList list;
    auto fail = [&list](std::string why) {
        list.terms.clear();
        list.error = std::move(why);
        return std::move(list);
    };
    std::string text;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        // As the investigation file reads it: what does not decode is U+FFFD.
        text = Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
    } else {
        text = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    }
    if (text.find('\0') != std::string::npos)
        return fail("not a table of terms: it holds NUL bytes");

    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t lf = text.find('\n', start);
        if (lf == std::string::npos) lf = text.size();
        std::string_view line(text.data() + start, lf - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = lf + 1;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        for (const char c : lines[i]) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && c != '\t')
                return fail(AtLine(i + 1, "not a table of terms: it holds control bytes"));
        }
    }

    // A header within the first lines names the columns; the lines before
    // it are titles (a Keyword Planner export has two).
    std::vector<std::string> cells;
    int termColumn = 0, demandColumn = 1;
    size_t first = 0;
    char delimiter = '\t';
    bool table = false;
    for (size_t i = 0, seen = 0; i < lines.size() && seen < 5; ++i) {
        if (TrimView(lines[i], " \t").empty()) continue;
        ++seen;
        const char d = DelimiterOf(lines[i]);
        if (!SplitCells(lines[i], d, cells)) continue;
        if (const int t = ColumnOf(cells, kTermHeaders); t >= 0) {
            termColumn = t;
            demandColumn = ColumnOf(cells, kDemandHeaders);
            first = i + 1;
            delimiter = d;
            table = true;
            break;
        }
    }
    if (!table) {
        // A plain list: a term, and maybe a tab or a comma and a demand. Two
        // first lines of three cells or more alike are a table whose term
        // column has no name we know.
        std::vector<std::vector<std::string>> firstTwo;
        for (size_t i = 0; i < lines.size() && firstTwo.size() < 2; ++i) {
            if (TrimView(lines[i], " \t").empty()) continue;
            if (!SplitCells(lines[i], DelimiterOf(lines[i]), cells))
                return fail(AtLine(i + 1, "unbalanced quotes"));
            firstTwo.push_back(cells);
        }
        if (firstTwo.size() == 2 && firstTwo[0].size() > 2 &&
            firstTwo[0].size() == firstTwo[1].size()) {
            std::string found;
            for (const std::string& c : firstTwo[0]) found += (found.empty() ? "" : ", ") + c;
            return fail("no keyword column (columns: " + found + ")");
        }
    }
    std::set<std::string> seen;
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (TrimView(line, " \t").empty()) continue;
        const char d = table ? delimiter : DelimiterOf(line);
        if (!SplitCells(line, d, cells)) return fail(AtLine(i + 1, "unbalanced quotes"));
        // A plain term may hold commas: what follows one is a demand only
        // when it reads as one.
        if (!table && (cells.size() > 2 ||
                       (cells.size() == 2 && !ReadDemandFigure(cells[1]) && cells[1] != "?")))
            cells = {std::string(TrimView(line, " \t"))};
        if (termColumn >= static_cast<int>(cells.size())) continue;
        std::string term = Unguarded(std::string(TrimView(cells[termColumn], " \t")));
        if (term.empty()) continue;
        if (term.size() > static_cast<size_t>(kMaxEntryLength))
            return fail(
                AtLine(i + 1, "a term longer than " + std::to_string(kMaxEntryLength) + " bytes"));
        std::string demand = demandColumn >= 0 && demandColumn < static_cast<int>(cells.size())
                                 ? std::string(TrimView(cells[demandColumn], " \t"))
                                 : std::string();
        if (!seen.insert(FoldCase(term)).second) continue;
        if (list.terms.size() == kMaxImportedTerms)
            return fail("more than " + std::to_string(kMaxImportedTerms) + " terms");
        list.terms.push_back({std::move(term), std::move(demand)});
    }
    return list;
}

KeywordList ReadKeywordListFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    KeywordList list;
    if (!in) {
        list.error = std::strerror(errno);
        return list;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) {
        list.error = std::strerror(errno);
        return list;
    }
    return ReadKeywordList(bytes);
}

void MergeKeywordLists(std::vector<ImportedTerm>& list, const std::vector<ImportedTerm>& more) {
    std::set<std::string> seen;
    for (const ImportedTerm& t : list) seen.insert(FoldCase(t.term));
    for (const ImportedTerm& t : more)
        if (seen.insert(FoldCase(t.term)).second) list.push_back(t);
}

}  // namespace vx
