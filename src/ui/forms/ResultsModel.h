// Qt view model over the results table: seven columns, the check box on the
// key term, every table change forwarded as it happens so rows grow on
// screen while a run fills them.
#pragma once

#include <QAbstractTableModel>

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

  private:
    void TableReset() override;
    void RowAppended(int index) override;
    void RowChanged(int index) override;

    ResultsTable& table_;
    int shownRows_ = 0;  // rows the views have been told about
};

}  // namespace vx::ui
