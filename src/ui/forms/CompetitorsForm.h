// Who ranks instead of the user's site: every host in the table's terms'
// top results, with its terms, average place and estimated traffic share;
// a host's terms with its place for each; the chosen term's top results;
// the table as CSV.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "results/results_table.h"
#include "ui/controls/SettledRefresh.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace vx::ui {

class RecentFolders;

class TCompetitorsForm : public QWidget {
    Q_OBJECT
  public:
    // site: the user's site as the Investigate dialog holds it, asked anew
    // at each refresh.
    TCompetitorsForm(ResultsTable& table, std::function<std::string()> site,
                     QWidget* parent = nullptr);
    ~TCompetitorsForm() override;

    void Refresh();
    void ExportCsv();
    // Shows who holds the first places for the main table's row at index
    // (none: -1), the user's site marked.
    void ShowTopOf(int index);
    QTableWidget* Hosts() const { return hosts_; }
    QListWidget* Terms() const { return terms_; }
    QTableWidget* TermTop() const { return termTop_; }

  private:
    static constexpr int kShareColumn = 3;
    void ShowTermsOf(const QString& host);

    ResultsTable& table_;
    std::function<std::string()> site_;
    QTableWidget* hosts_;
    QListWidget* terms_;
    QLabel* termTopCaption_;
    QTableWidget* termTop_;
    RowId topOf_ = 0;  // the row termTop_ shows
    QLabel* status_;
    std::unique_ptr<SettledRefresh> follow_;
};

}  // namespace vx::ui
