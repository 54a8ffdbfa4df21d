#include "results/export.h"

#include "core/text.h"

namespace vx {

const char* const kColumnCaptions[kColumnCount] = {
    "Key term", "Demand",        "Competition",          "Cost per prospect",
    "Rank #",   "Profitability", "Estimated prospects #"};

std::string FormatKeywordList(const ResultsTable& table) {
    std::string out;
    for (int i = 0; i < table.Count(); ++i) {
        if (!table.At(i).checked) continue;
        // One term, one line: a break or TAB inside a term is a blank here.
        std::string term = BytesToUtf8(table.At(i).keyTerm);
        for (char& c : term)
            if (c == '\r' || c == '\n' || c == '\t') c = ' ';
        out += term + "\r\n";
    }
    return out;
}

namespace {
// A plain number, possibly ending in "%": a spreadsheet reads it as data.
bool IsPlainNumber(std::string_view text) {
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    return ReadDecimal(text, '.').has_value() || ReadDecimal(text, ',').has_value();
}

std::string CsvField(const std::string& bytes) {
    std::string text = BytesToUtf8(bytes);
    // Terms come from pages anyone writes: a cell a spreadsheet would run as
    // a formula gets the usual leading apostrophe.
    if (!text.empty() && text != "-" &&
        std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos &&
        !IsPlainNumber(text))
        text.insert(text.begin(), '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}
}  // namespace

std::string FormatCsvTable(const ResultsTable& table) {
    std::string out;
    for (int c = 0; c < kColumnCount; ++c) out += std::string(kColumnCaptions[c]) + ",";
    out += "Checked\r\n";
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        for (int c = colKeyTerm; c < kColumnCount; ++c)
            out += (c == colKeyTerm ? "" : ",") + CsvField(row.Text(c));
        out += row.checked ? ",1\r\n" : ",0\r\n";
    }
    return out;
}

}  // namespace vx
