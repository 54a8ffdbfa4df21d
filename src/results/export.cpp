#include "results/export.h"

#include "core/text.h"

namespace vx {

namespace {
// A term on one line for any reader: every character that some program takes
// as a line break (CR, LF, VT, FF, FS, GS, RS, NEL, LS, PS), TAB and NUL
// become a blank.
std::string OneLine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::string_view rest = utf8.substr(i);
        if (c == '\0' || c == '\t' || (c >= '\n' && c <= '\r') || (c >= 0x1C && c <= 0x1E)) {
            out += ' ';
        } else if (rest.substr(0, 2) == "\xC2\x85") {
            out += ' ';
            i += 1;
        } else if (rest.substr(0, 3) == "\xE2\x80\xA8" || rest.substr(0, 3) == "\xE2\x80\xA9") {
            out += ' ';
            i += 2;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
}  // namespace

std::string FormatKeywordList(const ResultsTable& table) {
    std::string out;
    for (int i = 0; i < table.Count(); ++i) {
        if (!table.At(i).checked || table.At(i).KeyTerm().empty()) continue;
        out += OneLine(BytesToUtf8(std::string(table.At(i).KeyTerm()))) + "\r\n";
    }
    return out;
}

namespace {
// A plain number, possibly ending in "%": a spreadsheet reads it as data.
bool IsPlainNumber(std::string_view text) {
    text = WithoutPercentSign(text);
    return ReadDecimal(text, '.').has_value() || ReadDecimal(text, ',').has_value();
}
}  // namespace

std::string CsvField(std::string_view bytes) {
    std::string text = BytesToUtf8(std::string(bytes));
    std::erase(text, '\0');  // a NUL ends the file for some readers
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

std::string FormatCsvTable(const ResultsTable& table, const std::vector<std::string>* changes,
                           const std::vector<TermChange>* gone) {
    // The byte-order mark tells spreadsheet programs the text is UTF-8.
    std::string out = "\xEF\xBB\xBF";
    for (int c = 0; c < kColumnCount; ++c) out += std::string(kColumnCaptions[c]) + ",";
    out += changes ? "Checked,Change\r\n" : "Checked\r\n";
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        for (int c = colKeyTerm; c < kColumnCount; ++c)
            out += (c == colKeyTerm ? "" : ",") + CsvField(row.Text(c));
        out += row.checked ? ",1" : ",0";
        if (changes)
            out += "," + CsvField(static_cast<size_t>(i) < changes->size()
                                      ? (*changes)[static_cast<size_t>(i)]
                                      : std::string());
        out += "\r\n";
    }
    if (changes && gone) {
        for (const TermChange& g : *gone) {
            const std::string cells[kColumnCount] = {
                g.term, g.demandOld, g.competitionOld, "", g.rankOld, "", ""};
            for (int c = colKeyTerm; c < kColumnCount; ++c)
                out += (c == colKeyTerm ? "" : ",") + CsvField(cells[c]);
            out += ",0,gone\r\n";
        }
    }
    return out;
}

}  // namespace vx
