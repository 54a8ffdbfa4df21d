// The opportunity chart's window: shown beside the main window, it follows
// the table live, says which rows are not plotted and saves the picture.
#pragma once

#include <QWidget>

#include "results/results_table.h"
#include "ui/chart/OpportunityChart.h"
#include "ui/forms/RecentFolders.h"

class QChartView;
class QLabel;
class QPushButton;

namespace vx::ui {

class TChartForm : public QWidget, public TableObserver {
    Q_OBJECT
  public:
    explicit TChartForm(ResultsTable& table, QWidget* parent = nullptr);
    // Where Save picture starts; none: the chooser's own choice.
    void SetFolders(RecentFolders* folders) { folders_ = folders; }
    ~TChartForm() override;

    OpportunityChart& ChartOf() { return chart_; }
    QLabel* NotPlottedLabel() const { return notPlotted_; }
    QPushButton* SaveButton() const { return save_; }
    // Rebuilds now instead of at the next turn of the event loop.
    void Refresh();

    void TableReset() override { Schedule(); }
    void RowAppended(int) override { Schedule(); }
    void RowChanged(int) override { Schedule(); }

  signals:
    void RowChosen(vx::RowId id);

  private:
    RecentFolders* folders_ = nullptr;
    void Schedule();
    void SavePictureClick();

    ResultsTable& table_;
    OpportunityChart chart_;
    QChartView* view_;
    QLabel* notPlotted_;
    QLabel* legend_;
    QPushButton* save_;
    bool scheduled_ = false;
};

}  // namespace vx::ui
