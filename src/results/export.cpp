#include "results/export.h"

#include "core/text.h"

namespace vx {

const char* const kColumnCaptions[kColumnCount] = {
    "Key term", "Demand",        "Competition",          "Cost per prospect",
    "Rank #",   "Profitability", "Estimated prospects #"};

std::string FormatKeywordList(const ResultsTable& table) {
    std::string out;
    for (int i = 0; i < table.Count(); ++i)
        if (table.At(i).checked) out += BytesToUtf8(table.At(i).keyTerm) + "\r\n";
    return out;
}

namespace {
std::string CsvField(const std::string& bytes) {
    const std::string text = BytesToUtf8(bytes);
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
