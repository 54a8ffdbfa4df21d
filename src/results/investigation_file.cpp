#include "results/investigation_file.h"

#include <cerrno>
#include <cstring>

#include "core/text.h"
#include "results/atomic_file.h"
#include "results/ini_file.h"

namespace vx {

namespace {
// The key of each column in the file, by column; then the check mark.
// Then the top results' links by their place, "top1".."top10": keys an
// older reader passes over, so a file with them opens there as before.
constexpr size_t kTopKeysAt = kColumnCount + 1;
constexpr const char* kKeys[kTopKeysAt + kTopResults] = {
    "keyterm",    "demand", "competition", "cost", "rank", "profitability",
    "estimation", "check",  "top1",        "top2", "top3", "top4",
    "top5",       "top6",   "top7",        "top8", "top9", "top10"};
// A file of many sections each a few bytes long would cost many times its
// size as rows; past this many, a file must give each row kMinRowBytes.
constexpr size_t kRowsAlwaysOpened = 100000;
constexpr size_t kMinRowBytes = 16;

bool CheckMark(std::string check) {
    if (check.size() > 2 && check[0] == '0' && (check[1] == 'x' || check[1] == 'X'))
        check = "$" + check.substr(2);
    const auto v = ReadWholeNumber(check);
    return v ? *v != 0 : true;
}

// A link that names no site (an edited file's) is left out, as on a page.
std::vector<TopResult> TopFromKeys(std::string* links) {
    std::vector<TopResult> top;
    for (size_t p = 0; p < kTopResults; ++p) {
        if (links[p].empty()) continue;
        std::string host = ResultHost(links[p]);
        if (host.empty()) continue;
        top.push_back({static_cast<int>(p + 1), std::move(links[p]), std::move(host)});
    }
    return top;
}

LoadProblem FromReadStatus(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok:
            return LoadProblem::None;
        case ReadStatus::Unreadable:
            return LoadProblem::Unreadable;
        case ReadStatus::NotRegularFile:
            return LoadProblem::NotRegularFile;
        case ReadStatus::TooLarge:
            return LoadProblem::TooLarge;
    }
    return LoadProblem::Unreadable;
}
}  // namespace

LoadOutcome LoadInvestigationFile(const std::string& path, ResultsTable& table) {
    LoadOutcome outcome;
    std::string bytes;
    outcome.problem =
        FromReadStatus(ReadFileBytes(path, &bytes, kMaxInvestigationFileBytes, &outcome.error));
    if (!outcome) return outcome;
    const IniFile ini = IniFile::Parse(std::move(bytes));
    const std::string_view text = ini.Text();
    // Every section counts; rows are item0..item(n-1) in that order.
    const size_t n = ini.SectionCount();
    outcome.sections = n;
    if (text.find('\0') != std::string_view::npos) {
        outcome.problem = LoadProblem::NotText;
    } else if (n == 0 && !TrimView(text, " \t\r\n").empty()) {
        outcome.problem = LoadProblem::NoSections;
    } else if (n > kRowsAlwaysOpened && n > text.size() / kMinRowBytes) {
        outcome.problem = LoadProblem::TooManyRows;
    }
    if (!outcome) return outcome;
    std::vector<ResultRow> rows(n);
    std::string values[std::size(kKeys)];
    for (size_t i = 0; i < n; ++i) {
        ini.GetAll("item" + std::to_string(i), kKeys, std::size(kKeys), values);
        ResultRow& row = rows[i];
        row.SetKeyTerm(values[colKeyTerm]);
        for (int c = colDemand; c < kColumnCount; ++c) row.AppendColumn(values[c]);
        row.checked = CheckMark(std::move(values[kColumnCount]));
        row.SetTop(TopFromKeys(values + kTopKeysAt));
    }
    table.ReplaceRows(std::move(rows));
    return outcome;
}

std::string LoadFailureText(const LoadOutcome& outcome) {
    switch (outcome.problem) {
        case LoadProblem::None:
            return "";
        case LoadProblem::Unreadable:
            return std::strerror(outcome.error ? outcome.error : EIO);
        case LoadProblem::NotRegularFile:
            return outcome.error ? std::strerror(outcome.error) : "not a regular file";
        case LoadProblem::TooLarge:
            return "larger than " + std::to_string(kMaxInvestigationFileBytes >> 20) + " MiB";
        case LoadProblem::NotText:
            return "not a text file";
        case LoadProblem::NoSections:
            return "no investigation in it (no [section] lines)";
        case LoadProblem::TooManyRows:
            return std::to_string(outcome.sections) + " sections, more than one row per " +
                   std::to_string(kMinRowBytes) + " bytes of the file";
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
        out += std::string("check=") + (row.checked ? "1" : "0") + "\n";
        for (const TopResult& r : row.Top())
            if (r.position >= 1 && static_cast<size_t>(r.position) <= kTopResults)
                out += std::string(kKeys[kTopKeysAt + static_cast<size_t>(r.position) - 1]) + "=" +
                       QuoteIniValue(r.url) + "\n";
        out += "\n";
    }
    return out;
}

WriteResult SaveInvestigationFile(const std::string& path, const ResultsTable& table) {
    return WriteFileAtomically(path, FormatInvestigationFile(table));
}

}  // namespace vx
