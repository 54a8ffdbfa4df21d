#include "results/keyword_import.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include <sys/stat.h>

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
        } else if (c == '"' && TrimView(cell, " ").empty()) {
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

// The header names of each kind of list, case-folded, in the languages an
// account's exports come in: English, German, French, Spanish, Italian,
// Portuguese, Dutch, Polish and Japanese. Keyword Planner's "Keyword" and
// "Avg. monthly searches", Search Console's "Top queries" and "Impressions",
// and our own lists'.
constexpr std::string_view kTermHeaders[] = {
    "keyword", "top queries", "key term", "query",
    // Keyword Planner
    "mot cl\xC3\xA9", "palabra clave", "parola chiave", "palavra-chave", "zoekwoord",
    "s\xC5\x82owo kluczowe", "\xE3\x82\xAD\xE3\x83\xBC\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89",
    // Search Console
    "h\xC3\xA4ufigste suchanfragen", "suchanfrage", "requ\xC3\xAAtes les plus fr\xC3\xA9quentes",
    "requ\xC3\xAAte", "consultas principales", "consulta", "query principali",
    "principais consultas", "populairste zoekopdrachten", "zoekopdracht",
    "najpopularniejsze zapytania", "zapytanie",
    "\xE4\xB8\x8A\xE4\xBD\x8D\xE3\x81\xAE\xE3\x82\xAF\xE3\x82\xA8\xE3\x83\xAA",
    "\xE3\x82\xAF\xE3\x82\xA8\xE3\x83\xAA"};
constexpr std::string_view kDemandHeaders[] = {
    "avg. monthly searches", "impressions", "demand",
    // Keyword Planner
    "durchschn. suchanfragen pro monat", "nombre moyen de recherches mensuelles",
    "promedio de b\xC3\xBAsquedas mensuales", "ricerche mensili medie",
    "m\xC3\xA9"
    "dia de pesquisas mensais",
    "gem. aantal zoekopdrachten per maand",
    "\xC5\x9Brednia miesi\xC4\x99"
    "czna liczba wyszukiwa\xC5\x84",
    "\xE6\x9C\x88\xE9\x96\x93\xE5\xB9\xB3\xE5\x9D\x87\xE6\xA4\x9C\xE7\xB4\xA2"
    "\xE3\x83\x9C\xE3\x83\xAA\xE3\x83\xA5\xE3\x83\xBC\xE3\x83\xA0",
    // Search Console
    "impressionen", "impresiones", "impressioni",
    "impress\xC3\xB5"
    "es",
    "vertoningen", "wy\xC5\x9Bwietlenia", "\xE8\xA1\xA8\xE7\xA4\xBA\xE5\x9B\x9E\xE6\x95\xB0"};
// Where the English names end in each list: a header past them is an export
// in another language, whose demand is written the English way.
constexpr size_t kEnglishTermHeaders = 4, kEnglishDemandHeaders = 3;

// The column of the first cell named one of names; *foreign tells whether
// the name is past the first english ones.
template <size_t N>
int ColumnOf(const std::vector<std::string>& cells, const std::string_view (&names)[N],
             size_t english, bool* foreign) {
    for (size_t i = 0; i < cells.size(); ++i) {
        const std::string name = FoldCase(TrimView(cells[i], " \t"));
        const auto it = std::find(std::begin(names), std::end(names), name);
        if (it == std::end(names)) continue;
        *foreign = *foreign || static_cast<size_t>(it - std::begin(names)) >= english;
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

namespace {

// Blanks as exports write them around and inside figures: a space, a
// no-break space, a narrow no-break space.
std::string OneBlank(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 2) == "\xC2\xA0") {
            out += ' ';
            ++i;
        } else if (text.substr(i, 3) == "\xE2\x80\xAF") {
            out += ' ';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return std::string(TrimView(out, " \t"));
}

// An amount as an export writes one end of a range or a whole figure: a
// whole number with digit groups, or a number (with a decimal comma or
// point) and a word for thousands, ten thousands or millions ("1K", "1,5
// Tsd.", "10 mil", "1万").
std::optional<double> ReadAmount(std::string_view text) {
    const std::string t = OneBlank(text);
    struct Scale {
        std::string_view word;
        double factor;
    };
    static constexpr Scale kScales[] = {{"K", 1e3},
                                        {"k", 1e3},
                                        {"Tsd.", 1e3},
                                        {"Tsd", 1e3},
                                        {"mil", 1e3},
                                        {"tys.", 1e3},
                                        {"tys", 1e3},
                                        {"\xE5\x8D\x83", 1e3},
                                        {"\xE4\xB8\x87", 1e4},
                                        {"M", 1e6},
                                        {"Mio.", 1e6},
                                        {"Mio", 1e6},
                                        {"mln", 1e6},
                                        {"mi", 1e6},
                                        {"\xE7\x99\xBE\xE4\xB8\x87", 1e6}};
    for (const Scale& scale : kScales) {
        if (!t.ends_with(scale.word) || t.size() == scale.word.size()) continue;
        std::string number(
            TrimView(std::string_view(t).substr(0, t.size() - scale.word.size()), " "));
        std::replace(number.begin(), number.end(), ',', '.');
        const auto n = ReadDecimal(number, '.');
        if (!n || *n < 0 || number.find_first_of("eE+-") != std::string::npos ||
            *n * scale.factor > 9e18)
            return std::nullopt;
        return *n * scale.factor;
    }
    // A group mark of a Swiss export, an apostrophe, is a blank elsewhere.
    std::string whole = t;
    std::replace(whole.begin(), whole.end(), '\'', ' ');
    if (const auto n = ReadGroupedWholeNumber(whole); n && *n >= 0) return static_cast<double>(*n);
    // A whole number written with a zero fraction ("12100.0", as a
    // spreadsheet saves it) is that number.
    if (const size_t mark = t.find_first_of(".,");
        mark != std::string::npos && mark > 0 &&
        t.find_first_not_of('0', mark + 1) == std::string::npos && mark + 1 < t.size() &&
        t.find_first_not_of("0123456789") == mark)
        if (const auto n = ReadWholeNumber64(t.substr(0, mark)); n && *n >= 0)
            return static_cast<double>(*n);
    return std::nullopt;
}

// The dash between a range's ends: an en dash, a fullwidth or plain tilde
// (Japanese exports), or a hyphen; where it is and how long.
std::pair<size_t, size_t> RangeDash(std::string_view text) {
    for (const std::string_view dash : {"\xE2\x80\x93", "\xEF\xBD\x9E", "~", "-"})
        if (const size_t at = text.find(dash); at != std::string_view::npos && at > 0)
            return {at, dash.size()};
    return {std::string_view::npos, 0};
}

std::optional<std::pair<double, double>> ReadRange(std::string_view text) {
    const auto [dash, size] = RangeDash(text);
    if (dash == std::string_view::npos) return std::nullopt;
    const auto low = ReadAmount(text.substr(0, dash)), high = ReadAmount(text.substr(dash + size));
    if (!low || !high || *low > *high) return std::nullopt;
    return std::pair(*low, *high);
}

// 1000 -> "1K", 10000000 -> "10M", 150 -> "150": a range's end as the
// English export writes it.
std::string ShortAmount(double amount) {
    const auto n = static_cast<int64_t>(std::llround(amount));
    if (n >= 1000000 && n % 1000000 == 0) return std::to_string(n / 1000000) + "M";
    if (n >= 1000 && n % 1000 == 0) return std::to_string(n / 1000) + "K";
    return std::to_string(n);
}

// A demand of an export in another language written the English way
// ("1.300" -> "1300", "1 Tsd. – 10 Tsd." -> "1K – 10K"), so lists of one
// account read alike whatever its language; a text that is no figure stays.
std::string EnglishDemand(const std::string& text) {
    if (const auto n = ReadAmount(text)) return std::to_string(std::llround(*n));
    if (const auto range = ReadRange(text))
        return ShortAmount(range->first) + " \xE2\x80\x93 " + ShortAmount(range->second);
    return text;
}

}  // namespace

std::optional<int64_t> ReadDemandFigure(std::string_view text) {
    text = TrimView(text, " \t");
    if (const auto whole = ReadGroupedWholeNumber(text); whole && *whole >= 0) return whole;
    if (const auto amount = ReadAmount(text); amount && std::floor(*amount) == *amount)
        return static_cast<int64_t>(*amount);
    const auto range = ReadRange(text);
    if (!range) return std::nullopt;
    return static_cast<int64_t>(std::llround(std::sqrt(range->first * range->second)));
}

KeywordList ReadKeywordList(std::string_view bytes) {
    KeywordList list;
    auto fail = [&list](std::string why) {
        list.terms.clear();
        list.error = std::move(why);
        return std::move(list);
    };
    std::string text;
    const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (utf16) {
        // As the investigation file reads it: what does not decode is U+FFFD.
        text = Utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
    } else {
        text = bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    }
    if (text.find('\0') != std::string::npos)
        return fail("not a table of terms: it holds NUL bytes");

    // Lines end in LF, CR LF or a lone CR (an old Mac or spreadsheet export).
    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.emplace_back(text.data() + start, end - start);
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        for (const char c : lines[i]) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 && c != '\t')
                return fail(AtLine(i + 1, "not a table of terms: it holds control bytes"));
        }
    }
    // Text that does not decode is refused where it stands: researched, it
    // would be a term nobody typed.
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line(lines[i]);
        if (utf16 && line.find("\xEF\xBF\xBD") != std::string::npos)
            return fail(AtLine(i + 1, "UTF-16 that does not decode"));
        if (!utf16 && !IsValidUtf8(line))
            return fail(AtLine(i + 1, "text that is not UTF-8 (save the list as UTF-8)"));
    }

    // A header within the first lines names the columns; the lines before
    // it are titles (a Keyword Planner export has two).
    std::vector<std::string> cells;
    int termColumn = 0, demandColumn = 1;
    size_t first = 0;
    char delimiter = '\t';
    bool table = false, foreign = false;
    for (size_t i = 0, seen = 0; i < lines.size() && seen < 5; ++i) {
        if (TrimView(lines[i], " \t").empty()) continue;
        ++seen;
        const char d = DelimiterOf(lines[i]);
        if (!SplitCells(lines[i], d, cells)) continue;
        if (const int t = ColumnOf(cells, kTermHeaders, kEnglishTermHeaders, &foreign); t >= 0) {
            termColumn = t;
            demandColumn = ColumnOf(cells, kDemandHeaders, kEnglishDemandHeaders, &foreign);
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
        auto noKeywordColumn = [&](const std::vector<std::string>& header) {
            std::string found;
            for (const std::string& c : header) found += (found.empty() ? "" : ", ") + c;
            return fail("no keyword column (columns: " + found + ")");
        };
        if (firstTwo.size() == 2 && firstTwo[0].size() > 2 &&
            firstTwo[0].size() == firstTwo[1].size())
            return noKeywordColumn(firstTwo[0]);
        // Tabs part columns, never a term: a line of more than a term and a
        // demand is a table whose header we do not know (an export in a
        // language not read), never a list of whole lines.
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find('\t') == std::string_view::npos || TrimView(lines[i], " \t").empty())
                continue;
            if (!SplitCells(lines[i], '\t', cells)) return fail(AtLine(i + 1, "unbalanced quotes"));
            if (cells.size() > 2) return noKeywordColumn(cells);
            if (cells.size() == 2 && !ReadDemandFigure(cells[1]) && cells[1] != "?")
                return fail(AtLine(i + 1, "\"" + cells[1] + "\" after the tab is no demand"));
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
        if (foreign) demand = EnglishDemand(demand);
        if (!seen.insert(FoldCase(term)).second) continue;
        if (list.terms.size() == kMaxImportedTerms)
            return fail("more than " + std::to_string(kMaxImportedTerms) + " terms");
        list.terms.push_back({std::move(term), std::move(demand)});
    }
    // Nothing to research is no list: a run of it would do nothing.
    if (list.terms.empty()) return fail("no terms in it");
    return list;
}

KeywordList ReadKeywordListFile(const std::string& path) {
    KeywordList list;
    // What is no file, or too large to be a list, is refused before a byte
    // is read: a folder, a device, a FIFO that never ends.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            list.error = "a folder, not a file";
        else if (!S_ISREG(st.st_mode))
            list.error = "not a regular file";
        else if (static_cast<uint64_t>(st.st_size) > kMaxImportBytes)
            list.error = "larger than " + std::to_string(kMaxImportBytes >> 20) + " MiB";
        if (!list.error.empty()) return list;
    }
    std::ifstream in(path, std::ios::binary);
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
