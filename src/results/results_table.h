// The one store of research results: ordered rows of display texts with a
// check mark. Rows keep a stable id, so the research run can go on filling
// the row it holds after a sort has moved it, and a write to a row that a
// Clear removed is dropped instead of landing in someone else's row.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "results/top_results.h"

namespace vx {

// The table's columns, shared by the table, the sort, the file, the exports
// and the view.
enum Column : int {
    colKeyTerm = 0,
    colDemand,
    colCompetition,
    colCost,
    colRank,
    colProfitability,
    colProspects,
};
constexpr int kColumnCount = 7;  // key term + six column texts
// The columns' captions, as the table's header and the exports show them.
inline constexpr const char* kColumnCaptions[kColumnCount] = {
    "Key term", "Demand",        "Competition",          "Cost per prospect",
    "Rank #",   "Profitability", "Estimated prospects #"};

// A profitability text as a figure: its trailing "%" sign dropped (the
// sort's own rule drops the last character whatever it is).
constexpr std::string_view WithoutPercentSign(std::string_view text) {
    return !text.empty() && text.back() == '%' ? text.substr(0, text.size() - 1) : text;
}

// One row in one heap block (the texts' lengths, then the texts), so a
// table of a million rows read from a file costs little more than the file.
class ResultRow {
  public:
    ResultRow() = default;
    ResultRow(std::string_view keyTerm, const std::vector<std::string>& columns, bool checked);
    ResultRow(const ResultRow& other);
    ResultRow& operator=(const ResultRow& other);
    ResultRow(ResultRow&&) noexcept = default;
    ResultRow& operator=(ResultRow&&) noexcept = default;

    uint64_t id = 0;
    bool checked = false;

    std::string_view KeyTerm() const { return Text(colKeyTerm); }
    // Column text at index 0..5; empty when not filled yet.
    std::string_view Column(int index) const;
    // The text shown in a column, the key term included.
    std::string_view Text(int column) const;
    int ColumnCount() const { return columnCount_; }
    std::vector<std::string> Columns() const;

    void SetKeyTerm(std::string_view text);
    // Ignored once six column texts are there.
    void AppendColumn(std::string_view text);

    // The first results of the term's first result page; none when its rank
    // search fetched no page whole.
    const std::vector<TopResult>& Top() const;
    void SetTop(std::vector<TopResult> top);

  private:
    void SetText(int column, std::string_view text);
    uint32_t Length(int column) const;

    std::unique_ptr<char[]> block_;  // null while every text is empty
    // Shared by copies, and null for the many rows that have none (a file's).
    std::shared_ptr<const std::vector<TopResult>> top_;
    uint8_t columnCount_ = 0;
};

using RowId = uint64_t;

class TableObserver {
  public:
    virtual ~TableObserver() = default;
    virtual void TableReset() = 0;            // cleared, loaded or reordered
    virtual void RowAppended(int index) = 0;  // a new row at the end
    virtual void RowChanged(int index) = 0;   // caption, column or check mark
};

// Comparison by column 0..6; negative when a goes first.
int ListView1Compare(const ResultRow& a, const ResultRow& b, int sortColumn, char decimalSeparator);

class ResultsTable {
  public:
    explicit ResultsTable(char decimalSeparator = '.') : decimalSeparator_(decimalSeparator) {}

    void AddObserver(TableObserver* observer);
    void RemoveObserver(TableObserver* observer);

    void Clear();
    RowId Append();
    // Replaces every row at once (one reset for the observers); the rows get
    // fresh ids.
    void ReplaceRows(std::vector<ResultRow> rows);
    int Count() const { return static_cast<int>(rows_.size()); }
    const ResultRow& At(int index) const { return rows_.at(static_cast<size_t>(index)); }
    int IndexOf(RowId id) const;  // -1 when the row no longer exists

    // Writes to a removed row are ignored.
    void SetKeyTerm(RowId id, std::string text);
    void AppendColumn(RowId id, std::string text);
    void SetChecked(RowId id, bool checked);
    void SetTop(RowId id, std::vector<TopResult> top);
    void SetCheckedAt(int index, bool checked);

    void SelectAll1Click();
    void SelectNone1Click();
    void InvertSelection1Click();

    int SortColumn() const { return sortColumn_; }
    // Stores the column and sorts the whole table by it.
    void ListView1ColumnClick(int column);
    // Sorts the rows, stably, by compare (< 0: a first).
    void SortBy(const std::function<int(const ResultRow& a, const ResultRow& b)>& compare);

    char DecimalSeparator() const { return decimalSeparator_; }

  private:
    ResultRow* Find(RowId id, int* index);
    void NotifyReset();
    void NotifyChanged(int index);

    std::vector<ResultRow> rows_;
    std::vector<TableObserver*> observers_;
    uint64_t nextId_ = 1;
    int sortColumn_ = 0;
    char decimalSeparator_;
};

// Stable merge sort that stays in bounds and ends whatever cmp answers, even
// for a comparison that is not a consistent order.
template <typename T, typename Cmp>
void MergeSortStable(std::vector<T>& items, Cmp cmp) {
    const size_t n = items.size();
    if (n < 2) return;
    std::vector<T> buf(n);
    for (size_t width = 1; width < n; width *= 2) {
        for (size_t lo = 0; lo < n; lo += 2 * width) {
            const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
            size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                buf[k++] =
                    cmp(items[j], items[i]) < 0 ? std::move(items[j++]) : std::move(items[i++]);
            while (i < mid) buf[k++] = std::move(items[i++]);
            while (j < hi) buf[k++] = std::move(items[j++]);
        }
        items.swap(buf);
    }
}

}  // namespace vx
