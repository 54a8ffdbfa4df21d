// The table's terms grouped by the results they share (one page can rank
// for a group): lead term, terms, total demand and the site's best place,
// sortable; the chosen group's terms and shared results; the groups as CSV.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "results/clusters.h"
#include "results/results_table.h"
#include "ui/controls/SettledRefresh.h"

class QLabel;
class QListWidget;
class QSpinBox;
class QTableWidget;

namespace vx::ui {

class TClustersForm : public QWidget {
    Q_OBJECT
  public:
    explicit TClustersForm(ResultsTable& table, QWidget* parent = nullptr);
    ~TClustersForm() override;

    void Refresh();
    void ExportCsv();
    QTableWidget* Groups() const { return groups_; }
    QListWidget* Members() const { return members_; }
    QSpinBox* Overlap() const { return overlap_; }

  private:
    void ShowGroup();

    ResultsTable& table_;
    std::vector<Cluster> clusters_;
    QSpinBox* overlap_;
    QTableWidget* groups_;
    QListWidget* members_;
    QLabel* status_;
    std::unique_ptr<SettledRefresh> follow_;
};

}  // namespace vx::ui
