// The main window: banner, results table, Start and Stop, status bar, menus.
// A research run executes inside the Start command and pumps events between
// its steps, so every command here can run nested inside a run.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>

#include "engine/host.h"
#include "results/keyword_import.h"
#include "results/results_table.h"
#include "ui/forms/BackgroundFetch.h"
#include "ui/forms/RecentFolders.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/QtEventPump.h"

class QLabel;
class QProgressBar;
class QMenu;
class QStatusBar;
class QTableView;
class QToolButton;
class QAction;

namespace vx {
class HistoryWriter;
}

namespace vx::ui {

class ElidedLabel;
class ResultsModel;
class TChartForm;
class TCompetitorsForm;
class TClustersForm;
class TTrackingForm;
class TPreferencesForm;
class THistoryForm;
class TStartForm;

class TForm1 : public QMainWindow, public StatusSink {
    Q_OBJECT
  public:
    TForm1(StopFlag& stop, char decimalSeparator, QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs live beside the window; they are created after it.
    void SetStartForm(TStartForm* form) { startForm_ = form; }
    void SetAboutBox(std::function<void()> showAbout) { showAbout_ = std::move(showAbout); }
    // Where the file choosers start, kept in this store.
    void SetSettingsStore(SettingsStore* store) {
        store_ = store;
        folders_.SetStore(store);
    }

    void SetStatusText(const std::string& text) override;
    void ShowWaiting(const std::string& url, int seconds) override;
    void ShowProgress(const RunProgress& progress) override;
    QString StatusText() const;

    ResultsTable& Table() { return table_; }
    // Results not saved since the last open or save: a run added rows, a
    // check mark changed or the rows were sorted.
    bool Modified() const { return modified_ && table_.Count() > 0; }
    bool RunActive() const { return runActive_; }
    BackgroundFetcher& Fetcher() { return fetcher_; }
    const QString& AppDir() const { return appDir_; }

    // Commands.
    void StopBtnClick();
    void BitBtn2Click();
    void Open1Click();
    // File > Import keywords...: a list the user has, researched with the
    // site and depth the Investigate dialog asks for.
    void Import1Click();
    void Save1Click();
    void Savetotextfile1Click();
    // File > Export > CSV table... or Keyword list...
    void ExportAs(bool csv);
    void Exit1Click();
    void Opportunitychart1Click();
    TChartForm* ChartForm() const { return chartForm_; }
    // View > Competitors (Ctrl+K): who holds the terms' top places.
    void Competitors1Click();
    void Clusters1Click();
    // Where runs are kept: VEXORIN_HISTORY_URL, else Preferences' shared
    // history, else this computer's file.
    std::string HistoryWhere() const;
    void TrackChecked1Click();
    void Tracking1Click();
    TCompetitorsForm* CompetitorsForm() const { return competitorsForm_; }
    TClustersForm* ClustersForm() const { return clustersForm_; }
    TTrackingForm* TrackingForm() const { return trackingForm_; }
    void Contents1Click();
    void Homepage1Click();
    void About1Click();
    void Preferences1Click();
    // The research history: its window, and comparisons of the table with a
    // file or a past run.
    void History1Click();
    void Comparewith1Click();
    void OpenRun(int64_t run);
    void CompareWithRun(int64_t run);
    THistoryForm* HistoryForm() const { return historyForm_; }
    // Writes runs to the history off the GUI thread; null until the first.
    HistoryWriter* History() const { return history_.get(); }
    TPreferencesForm* PreferencesForm() const { return preferencesForm_; }
    void ListView1ColumnClick(int column);
    void LoadInvestigationFile(const QString& path);
    // The bundled HTML help's first page; empty when it is not there.
    static QString HelpIndexPath();
    // help.chm in the working folder, beside the program or installed; empty
    // when there is none.
    static QString HelpChmPath();

    QLabel* Image1;
    QTableView* ListView1;
    QStatusBar* StatusBar1;
    QToolButton* BitBtn2;
    QToolButton* StopBtn;
    QMenu* PopupMenu1;
    QProgressBar* RunProgressBar() const { return progress_; }
    QLabel* PagesLabel() const { return pages_; }
    QLabel* RunTimeLabel() const { return runTime_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Writes the table as the chosen file asks (its type or suffix: CSV,
    // else a keyword list); a comparison's changes and gone terms included.
    void WriteExport(const FileDialogs::Choice& choice);
    void FormCreate();
    void BuildMenus();
    void BuildButtons(QWidget* client);
    void BuildStatusBar();
    void WatchSlowFetches();
    void BuildTable();
    bool SaveTo(const QString& path, const std::string& text);
    // The last folder of that kind and a name from the seed keyword.
    QString SuggestedName(RecentFolders::Kind kind, const QString& suffix) const;
    // Saves the table as an investigation file; false when cancelled or failed.
    bool SaveInvestigation();
    // Asks before modified results are lost; false when the user cancels.
    bool MayDiscardResults();
    void MarkChartRow(const QModelIndex& index);
    // A command that would empty the table or start a run while a run is
    // still inside its row loop waits for that run to return first.
    void AfterRun(std::function<void()> action);
    // Stops a run in progress. True when none was running; else false, and
    // action is done once the run has returned with its rows completed (so
    // a question or a save never sees a row half filled).
    bool StopThen(std::function<void()> action);
    // Queues the table as a run that ended so (the run's entries come from
    // the dialog), unless the preferences keep no history.
    // A research of the seed the dialog holds, or of list when given.
    void RunResearch(const std::vector<ImportedTerm>* list);
    void RecordRun(const std::string& started, const std::string& ended,
                   const LookupPolicy& policy);
    // Shows the table against older, saying so with what: for the status.
    void CompareWith(ResultsTable older, const QString& what);
    // A past run's rows; none (said in the status) when it cannot be read.
    std::optional<ResultsTable> LoadRun(int64_t run);

    ResultsTable table_;
    StopFlag& stop_;
    QtEventPump pump_;
    ResultsModel* model_ = nullptr;
    TStartForm* startForm_ = nullptr;
    std::function<void()> showAbout_;
    ElidedLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* pages_ = nullptr;
    QLabel* runTime_ = nullptr;
    BackgroundFetcher fetcher_;
    TChartForm* chartForm_ = nullptr;
    TCompetitorsForm* competitorsForm_ = nullptr;
    TClustersForm* clustersForm_ = nullptr;
    TTrackingForm* trackingForm_ = nullptr;
    TPreferencesForm* preferencesForm_ = nullptr;
    THistoryForm* historyForm_ = nullptr;
    // Last of the members: destroyed first, so no write reports back into a
    // window half gone.
    std::unique_ptr<HistoryWriter> history_;
    std::string historyWhere_;  // where history_ writes
    SettingsStore* store_ = nullptr;
    QString appDir_;
    bool runActive_ = false;
    bool modified_ = false;
    // What the save question says would be lost, as things stand.
    std::string lost_ = "These results are not saved.";
    QString statusBeforeWait_;
    RecentFolders folders_;
    class ModifiedWatch;
    std::unique_ptr<ModifiedWatch> modifiedWatch_;
    bool restartPending_ = false;  // a Start given during a run waits for it
    std::string importedFrom_;     // the list a run researches, for the history
    bool closePending_ = false;    // so does a close
    std::vector<std::function<void()>> afterRun_;
};

}  // namespace vx::ui
