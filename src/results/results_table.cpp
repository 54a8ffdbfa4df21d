#include "results/results_table.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/text.h"

namespace vx {

namespace {
constexpr size_t kLengthsBytes = sizeof(uint32_t) * kColumnCount;
}  // namespace

ResultRow::ResultRow(std::string_view keyTerm, const std::vector<std::string>& columns,
                     bool isChecked)
    : checked(isChecked) {
    SetKeyTerm(keyTerm);
    for (const std::string& c : columns) AppendColumn(c);
}

ResultRow::ResultRow(const ResultRow& other)
    : id(other.id), checked(other.checked), top_(other.top_), columnCount_(other.columnCount_) {
    if (!other.block_) return;
    size_t size = kLengthsBytes;
    for (int c = 0; c < kColumnCount; ++c) size += other.Length(c);
    block_ = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(block_.get(), other.block_.get(), size);
}

ResultRow& ResultRow::operator=(const ResultRow& other) {
    if (this != &other) *this = ResultRow(other);
    return *this;
}

const std::vector<TopResult>& ResultRow::Top() const {
    static const std::vector<TopResult> none;
    return top_ ? *top_ : none;
}

void ResultRow::SetTop(std::vector<TopResult> top) {
    top_ = top.empty() ? nullptr : std::make_shared<const std::vector<TopResult>>(std::move(top));
}

uint32_t ResultRow::Length(int column) const {
    if (!block_) return 0;
    uint32_t n;
    std::memcpy(&n, block_.get() + sizeof n * static_cast<size_t>(column), sizeof n);
    return n;
}

std::string_view ResultRow::Text(int column) const {
    if (!block_ || column < 0 || column >= kColumnCount) return {};
    size_t at = kLengthsBytes;
    for (int c = 0; c < column; ++c) at += Length(c);
    return {block_.get() + at, Length(column)};
}

std::string_view ResultRow::Column(int index) const {
    if (index < 0 || index >= columnCount_) return {};
    return Text(index + 1);
}

std::vector<std::string> ResultRow::Columns() const {
    std::vector<std::string> out;
    for (int i = 0; i < columnCount_; ++i) out.emplace_back(Column(i));
    return out;
}

void ResultRow::SetText(int column, std::string_view text) {
    if (!block_ && text.empty()) return;
    uint32_t lengths[kColumnCount];
    size_t size = kLengthsBytes;
    for (int c = 0; c < kColumnCount; ++c) {
        lengths[c] = c == column ? static_cast<uint32_t>(text.size()) : Length(c);
        size += lengths[c];
    }
    auto block = std::make_unique_for_overwrite<char[]>(size);
    std::memcpy(block.get(), lengths, kLengthsBytes);
    char* out = block.get() + kLengthsBytes;
    for (int c = 0; c < kColumnCount; ++c) {
        const std::string_view t = c == column ? text : Text(c);
        if (!t.empty()) std::memcpy(out, t.data(), t.size());
        out += t.size();
    }
    block_ = std::move(block);
}

void ResultRow::SetKeyTerm(std::string_view text) {
    SetText(colKeyTerm, text);
}

void ResultRow::AppendColumn(std::string_view text) {
    if (columnCount_ >= kColumnCount - 1) return;
    ++columnCount_;
    SetText(columnCount_, text);
}

namespace {

int Sign(double v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

template <typename T>
int CompareValues(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareCaptions(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto fold = [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u >= 'a' && u <= 'z') ? u - 32 : u;
        };
        const int d = static_cast<int>(fold(a[i])) - static_cast<int>(fold(b[i]));
        if (d != 0) return d;
    }
    return CompareValues(a.size(), b.size());
}

std::string_view DropLast(std::string_view s) {
    return s.empty() ? s : s.substr(0, s.size() - 1);
}

bool IsIntegerColumn(int column) {
    return column == colDemand || column == colCompetition || column == colRank ||
           column == colProspects;
}

// The whole-number columns as the sort reads them: rank "-" as 0, demand
// also with digit groups as people write them ("1,200", "1.200", "1 200").
std::optional<int64_t> ReadColumnInteger(std::string_view text, int column) {
    if (column == colRank && text == "-") return 0;
    if (const auto v = ReadWholeNumber(text)) return *v;
    if (column == colDemand) return ReadGroupedWholeNumber(text);
    return std::nullopt;
}

// Whether the sort reads the text of that column as a number.
bool ReadsAsNumber(std::string_view text, int column, char sep) {
    if (IsIntegerColumn(column)) return ReadColumnInteger(text, column).has_value();
    if (column == colProfitability) text = DropLast(text);
    return ReadDecimalWide(text, sep).has_value();
}

// Whole numbers; demand and prospects descending.
int CompareIntegers(std::string_view ta, std::string_view tb, int column) {
    const auto va = ReadColumnInteger(ta, column), vb = ReadColumnInteger(tb, column);
    if (!va || !vb) return 0;
    const int c = CompareValues(*va, *vb);
    return (column == colDemand || column == colProspects) ? -c : c;
}

// Decimals compared to the thousandth, cost ascending and profitability
// (without its last character) descending.
int CompareDecimals(std::string_view ta, std::string_view tb, int column, char sep) {
    if (column == colProfitability) {
        ta = DropLast(ta);
        tb = DropLast(tb);
    }
    const bool ascending = column == colCost;
    const auto va = ReadDecimal(ta, sep), vb = ReadDecimal(tb, sep);
    if (!va || !vb) {
        // Beyond a double's range: by magnitude all the same.
        const auto wa = ReadDecimalWide(ta, sep), wb = ReadDecimalWide(tb, sep);
        if (!wa || !wb) return 0;
        const long double w = ascending ? *wa - *wb : *wb - *wa;
        return w > 0 ? 1 : (w < 0 ? -1 : 0);
    }
    const double d = ascending ? *va * 1000.0 - *vb * 1000.0 : *vb * 1000.0 - *va * 1000.0;
    if (std::isnan(d)) return 0;
    return Sign(RoundHalfEven(d));
}

}  // namespace

int ListView1Compare(const ResultRow& a, const ResultRow& b, int sortColumn, char sep) {
    if (sortColumn <= colKeyTerm || sortColumn >= kColumnCount)
        return CompareCaptions(a.KeyTerm(), b.KeyTerm());
    const std::string_view ta = a.Text(sortColumn), tb = b.Text(sortColumn);
    // An unknown figure goes after every number, whichever way the column
    // sorts; against any other text it is equal, as every unreadable text is.
    if (ta == "?" || tb == "?") {
        if (ta == tb) return 0;
        if (!ReadsAsNumber(ta == "?" ? tb : ta, sortColumn, sep)) return 0;
        return ta == "?" ? 1 : -1;
    }
    if (IsIntegerColumn(sortColumn)) return CompareIntegers(ta, tb, sortColumn);
    return CompareDecimals(ta, tb, sortColumn, sep);
}

void ResultsTable::AddObserver(TableObserver* observer) {
    observers_.push_back(observer);
}

void ResultsTable::RemoveObserver(TableObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void ResultsTable::NotifyReset() {
    for (auto* o : observers_) o->TableReset();
}

void ResultsTable::NotifyChanged(int index) {
    for (auto* o : observers_) o->RowChanged(index);
}

void ResultsTable::Clear() {
    rows_.clear();
    NotifyReset();
}

void ResultsTable::ReplaceRows(std::vector<ResultRow> rows) {
    rows_ = std::move(rows);
    for (ResultRow& row : rows_) row.id = nextId_++;
    NotifyReset();
}

RowId ResultsTable::Append() {
    ResultRow row;
    row.id = nextId_++;
    rows_.push_back(std::move(row));
    const int index = Count() - 1;
    for (auto* o : observers_) o->RowAppended(index);
    return rows_.back().id;
}

int ResultsTable::IndexOf(RowId id) const {
    // Rows being filled sit at the end, so search from the back.
    for (size_t i = rows_.size(); i-- > 0;)
        if (rows_[i].id == id) return static_cast<int>(i);
    return -1;
}

ResultRow* ResultsTable::Find(RowId id, int* index) {
    *index = IndexOf(id);
    return *index < 0 ? nullptr : &rows_[static_cast<size_t>(*index)];
}

void ResultsTable::SetKeyTerm(RowId id, std::string text) {
    int index;
    if (ResultRow* row = Find(id, &index)) {
        row->SetKeyTerm(text);
        NotifyChanged(index);
    }
}

void ResultsTable::AppendColumn(RowId id, std::string text) {
    int index;
    ResultRow* row = Find(id, &index);
    if (!row || row->ColumnCount() >= kColumnCount - 1) return;
    row->AppendColumn(text);
    NotifyChanged(index);
}

void ResultsTable::SetChecked(RowId id, bool checked) {
    int index;
    if (ResultRow* row = Find(id, &index)) {
        row->checked = checked;
        NotifyChanged(index);
    }
}

void ResultsTable::SetTop(RowId id, std::vector<TopResult> top) {
    int index;
    if (ResultRow* row = Find(id, &index)) row->SetTop(std::move(top));
}

void ResultsTable::SetCheckedAt(int index, bool checked) {
    if (index < 0 || index >= Count()) return;
    rows_[static_cast<size_t>(index)].checked = checked;
    NotifyChanged(index);
}

void ResultsTable::SelectAll1Click() {
    for (int i = 0; i < Count(); ++i) SetCheckedAt(i, true);
}

void ResultsTable::SelectNone1Click() {
    for (int i = 0; i < Count(); ++i) SetCheckedAt(i, false);
}

void ResultsTable::InvertSelection1Click() {
    for (int i = 0; i < Count(); ++i) SetCheckedAt(i, !rows_[static_cast<size_t>(i)].checked);
}

void ResultsTable::SortBy(const std::function<int(const ResultRow&, const ResultRow&)>& compare) {
    if (rows_.empty()) return;
    MergeSortStable(rows_, compare);
    NotifyReset();
}

void ResultsTable::ListView1ColumnClick(int column) {
    sortColumn_ = column;
    if (rows_.empty()) return;
    MergeSortStable(rows_, [this](const ResultRow& a, const ResultRow& b) {
        return ListView1Compare(a, b, sortColumn_, decimalSeparator_);
    });
    NotifyReset();
}

}  // namespace vx
