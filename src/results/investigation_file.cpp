#include "results/investigation_file.h"

#include "core/text.h"
#include "results/atomic_file.h"
#include "results/ini_file.h"

namespace vx {

namespace {
// The key of each column in the file, by column.
constexpr const char* kKeys[kColumnCount] = {"keyterm", "demand",        "competition", "cost",
                                             "rank",    "profitability", "estimation"};
constexpr size_t kSectionNameBuffer = 16384;
// Far beyond anything the section-name limit lets us use.
constexpr size_t kMaxFileBytes = 256u * 1024 * 1024;
}  // namespace

void LoadInvestigationFile(const std::string& path, ResultsTable& table) {
    table.Clear();
    std::string bytes;
    ReadWholeFile(path, &bytes, kMaxFileBytes);
    const IniFile ini = IniFile::Parse(bytes);
    const size_t n = CountSectionsFitting(ini.SectionNames(), kSectionNameBuffer);
    for (size_t i = 0; i < n; ++i) {
        const std::string section = "item" + std::to_string(i);
        const RowId row = table.Append();
        table.SetKeyTerm(row, ini.Get(section, kKeys[colKeyTerm]));
        for (int c = colDemand; c < kColumnCount; ++c)
            table.AppendColumn(row, ini.Get(section, kKeys[c]));
        std::string check = ini.Get(section, "check");
        if (check.size() > 2 && check[0] == '0' && (check[1] == 'x' || check[1] == 'X'))
            check = "$" + check.substr(2);
        const auto v = ReadWholeNumber(check);
        table.SetChecked(row, v ? *v != 0 : true);
    }
}

std::string FormatInvestigationFile(const ResultsTable& table) {
    std::string out;
    for (int i = 0; i < table.Count(); ++i) {
        const ResultRow& row = table.At(i);
        out += "[item" + std::to_string(i) + "]\n";
        for (int c = colKeyTerm; c < kColumnCount; ++c)
            out += std::string(kKeys[c]) + "=" + QuoteIniValue(row.Text(c)) + "\n";
        out += std::string("check=") + (row.checked ? "1" : "0") + "\n\n";
    }
    return out;
}

bool SaveInvestigationFile(const std::string& path, const ResultsTable& table) {
    return WriteFileAtomically(path, FormatInvestigationFile(table));
}

}  // namespace vx
