#include "results/investigation_file.h"

#include "core/text.h"
#include "results/atomic_file.h"
#include "results/ini_file.h"

namespace vx {

namespace {
// The key of each column in the file, by column; then the check mark.
constexpr const char* kKeys[kColumnCount + 1] = {
    "keyterm", "demand", "competition", "cost", "rank", "profitability", "estimation", "check"};
// Far beyond any investigation; a larger file is not opened at all.
constexpr size_t kMaxFileBytes = 256u * 1024 * 1024;

bool CheckMark(std::string check) {
    if (check.size() > 2 && check[0] == '0' && (check[1] == 'x' || check[1] == 'X'))
        check = "$" + check.substr(2);
    const auto v = ReadWholeNumber(check);
    return v ? *v != 0 : true;
}
}  // namespace

LoadStatus LoadInvestigationFile(const std::string& path, ResultsTable& table) {
    table.Clear();
    std::string bytes;
    const ReadStatus read = ReadFileBytes(path, &bytes, kMaxFileBytes);
    if (read != ReadStatus::Ok) return read;
    const IniFile ini = IniFile::Parse(std::move(bytes));
    // Every section counts; rows are item0..item(n-1) in that order.
    const size_t n = ini.SectionCount();
    std::vector<ResultRow> rows(n);
    std::string values[kColumnCount + 1];
    for (size_t i = 0; i < n; ++i) {
        ini.GetAll("item" + std::to_string(i), kKeys, kColumnCount + 1, values);
        ResultRow& row = rows[i];
        row.keyTerm = std::move(values[colKeyTerm]);
        row.columns.reserve(kColumnCount - 1);
        for (int c = colDemand; c < kColumnCount; ++c) row.columns.push_back(std::move(values[c]));
        row.checked = CheckMark(std::move(values[kColumnCount]));
    }
    table.ReplaceRows(std::move(rows));
    return ReadStatus::Ok;
}

const char* LoadStatusText(LoadStatus status) {
    switch (status) {
        case ReadStatus::Ok:
            return "";
        case ReadStatus::Unreadable:
            return "cannot be read";
        case ReadStatus::NotRegularFile:
            return "is not a regular file";
        case ReadStatus::TooLarge:
            return "is larger than 256 MiB";
    }
    return "";
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
