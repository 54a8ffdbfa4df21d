#include "results/export.h"

namespace vx {

const char* const kColumnCaptions[kColumnCount] = {
    "Key term", "Demand",        "Competition",          "Cost per prospect",
    "Rank #",   "Profitability", "Estimated prospects #"};

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n;
        unsigned cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size()) return false;
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += n + 1;
    }
    return true;
}

std::string BytesToUtf8(const std::string& bytes) {
    if (IsValidUtf8(bytes)) return bytes;
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

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
        out += CsvField(row.keyTerm);
        for (int c = 0; c < kColumnCount - 1; ++c) out += "," + CsvField(row.Column(c));
        out += row.checked ? ",1\r\n" : ",0\r\n";
    }
    return out;
}

}  // namespace vx
