// The research history: past runs newest first, to open one into the table,
// compare the table with it or delete it, and a key term's trend over time.
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

class QChart;
class QChartView;
class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTableWidget;

namespace vx::ui {

// How the trend's axes read: counts as numbers with digit groups ("1 000",
// "100 000", "1 M"); at most about eight whole ranks labelled; a time axis
// whose ticks never read alike.
QString CountText(long long n);
int RankTickInterval(int highest);
struct TimeScale {
    QDateTime from, to;
    int ticks = 5;
    QString format;
};
TimeScale TimeScaleFor(const QDateTime& first, const QDateTime& last, int points);

class THistoryForm : public QWidget {
    Q_OBJECT
  public:
    explicit THistoryForm(std::string path, QWidget* parent = nullptr);

    // Reads the runs again (after a run was recorded or one deleted). A
    // shared history is read on a thread of its own, so that a server that
    // does not answer never holds the window: its runs come when they come,
    // or this computer's with a note saying why.
    void Refresh();
    // Preferences moved the history: the list follows at once.
    void SetHistoryPath(std::string path);
    // The run selected in the list, if any.
    std::optional<int64_t> SelectedRun() const;
    void DeleteSelected();
    // Shows the trend of a key term: rank and competition over time, demand
    // on a second axis; "-" and "?" leave gaps.
    void ShowTrend(const std::string& term);
    QChart* TrendChart() const { return chart_; }
    // The runs as one reading found them.
    struct Listing;

  signals:
    void OpenRequested(qint64 run);
    void CompareRequested(qint64 run);
    // Sent before a question is put: a run in progress must not wait behind
    // a modal box, so the main window stops it.
    void AboutToAsk();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void ShowTerms();
    // The run list's width with every column whole; the splitter gives it that.
    int ListWidth() const;
    void FitList();

    void Show(const Listing& listing);

    std::string path_;
    // Where the listed runs came from: path_, or this computer's history
    // when the shared one did not answer.
    std::string shownFrom_;
    quint64 reading_ = 0;  // the latest Refresh; an older one's answer is dropped
    QTableWidget* runs_;
    QListWidget* terms_;
    QPushButton* open_;
    QPushButton* compare_;
    QPushButton* delete_;
    QLabel* status_;
    QChart* chart_;
    QChartView* view_;
    QSplitter* split_;
};

}  // namespace vx::ui
