// Qt view model over the results table: seven columns, the check box on the
// key term, every table change forwarded as it happens so rows grow on
// screen while a run fills them. Compared with an older investigation it
// shows an eighth column, each term's change, and below the rows the terms
// that are gone, greyed.
#pragma once

#include <QAbstractTableModel>
#include <map>
#include <optional>
#include <vector>

#include "results/comparison.h"
#include "results/results_table.h"

namespace vx::ui {

class ResultsModel : public QAbstractTableModel, private TableObserver {
    Q_OBJECT
  public:
    explicit ResultsModel(ResultsTable& table, QObject* parent = nullptr);
    ~ResultsModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static constexpr int kChangeColumn = kColumnCount;
    // Compares the table with older from now on; none: no comparison.
    void SetComparison(std::optional<ResultsTable> older);
    bool Comparing() const { return older_.has_value(); }
    // The change of each table row as shown, in row order.
    std::vector<std::string> Changes() const;
    const std::vector<TermChange>& Gone() const { return gone_; }
    // Sorts the table's rows by their change.
    void SortByChange();

  private:
    void TableReset() override;
    void RowAppended(int index) override;
    void RowChanged(int index) override;
    void Recompare();
    const TermChange* ChangeOf(const ResultRow& row) const;

    ResultsTable& table_;
    int shownRows_ = 0;  // rows the views have been told about
    std::optional<ResultsTable> older_;
    std::map<std::string, TermChange> changes_;  // by lower-cased key term
    std::vector<TermChange> gone_;
};

}  // namespace vx::ui
