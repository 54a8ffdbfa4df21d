#include "results/table_print.h"

#include "core/text.h"

namespace vx {

std::string EscapeField(std::string_view text) {
    // TAB, CR, LF and backslash as ever; every other control a service or a
    // file may hold never reaches the terminal raw.
    return ShowableText(BackslashEscape(text, "\t\r\n\\"));
}

std::string FormatTableLines(const ResultsTable& table) {
    std::string out;
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        out += row.checked ? '1' : '0';
        for (int c = colKeyTerm; c < kColumnCount; ++c) {
            out += '\t';
            out += EscapeField(row.Text(c));
        }
        out += '\n';
    }
    return out;
}

}  // namespace vx
