#include "ui/forms/Unit1.h"

#include "results/keyword_import.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "core/text.h"
#include "engine/research.h"
#include "history/history_choice.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "history/project_store.h"
#include "net/http_client.h"
#include "results/atomic_file.h"
#include "results/competitors.h"
#include "results/export.h"
#include "results/investigation_file.h"
#include "ui/Constants.h"
#include "ui/art/art.h"
#include "ui/chart/ChartForm.h"
#include "ui/chart/OpportunityChart.h"
#include "ui/controls/ElidedLabel.h"
#include "ui/controls/FocusRing.h"
#include "ui/forms/ClustersForm.h"
#include "ui/forms/CompetitorsForm.h"
#include "ui/forms/PreferencesForm.h"
#include "ui/forms/ResultsModel.h"
#include "ui/forms/SaveStatus.h"
#include "ui/forms/StartUnit.h"
#include "ui/history/HistoryForm.h"
#include "ui/platform/EscapeKey.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/FormFont.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/Shell.h"
#include "ui/platform/TextEdge.h"
#include "ui/platform/WindowPlace.h"
#include "ui/tracking/TrackingForm.h"

namespace vx::ui {

namespace {
constexpr int kWidths[kColumnCount] = {115, 70, 70, 100, 55, 70, 125};
constexpr int kMinWidths[kColumnCount] = {75, 65, 70, 95, 50, 65, 125};
const QString kBkiFilter = QStringLiteral("Investigation files (*.bki)");
const QString kTxtFilter = QStringLiteral("Keyword list (*.txt)");
const QString kCsvFilter = QStringLiteral("CSV table (*.csv)");

// The one rule for failures at the GUI boundary: a fault that escapes a
// command is dropped there. The program shows no messages of its own; the
// status bar and the table are its only feedback.
void Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (...) {
    }
}
}  // namespace

// Any change to the table after an open or save makes it modified.
class TForm1::ModifiedWatch : public TableObserver {
  public:
    explicit ModifiedWatch(bool& modified) : modified_(modified) {}
    void TableReset() override { modified_ = true; }
    void RowAppended(int) override { modified_ = true; }
    void RowChanged(int) override { modified_ = true; }

  private:
    bool& modified_;
};

TForm1::TForm1(StopFlag& stop, char decimalSeparator, QWidget* parent)
    : QMainWindow(parent), table_(decimalSeparator), stop_(stop) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vexorin"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(FormFont(QStringLiteral("MS Sans Serif"), 11));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(502, 390 - 19);
    setCentralWidget(client);

    Image1 = new QLabel(client);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("Vexorin"));
    Image1->setGeometry(7, 4, 490, 55);
    Image1->setScaledContents(true);
    Image1->setPixmap(art::Banner(devicePixelRatioF()));

    BuildTable();
    ListView1->setParent(client);
    ListView1->setGeometry(5, 68, 490, 299);
    BuildButtons(client);
    BuildStatusBar();
    BuildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    WatchSlowFetches();
    modifiedWatch_ = std::make_unique<ModifiedWatch>(modified_);
    table_.AddObserver(modifiedWatch_.get());
    FormCreate();
}

TForm1::~TForm1() {
    // Queued runs are written now, and none reports back after this.
    history_.reset();
    // The chart, the competitors, the clusters and the model observe the
    // table; let them go first.
    delete chartForm_;
    chartForm_ = nullptr;
    delete competitorsForm_;
    competitorsForm_ = nullptr;
    delete clustersForm_;
    clustersForm_ = nullptr;
    // Its check ends first: the terms it finished stay in the history.
    delete trackingForm_;
    trackingForm_ = nullptr;
    delete model_;
    model_ = nullptr;
    table_.RemoveObserver(modifiedWatch_.get());
}

void TForm1::FormCreate() {
    appDir_ = QCoreApplication::applicationDirPath() + QDir::separator();
}

void TForm1::BuildButtons(QWidget* client) {
    auto makeButton = [client](const char* name, const QString& caption, art::Picture pic,
                               QSize iconSize, int x) {
        auto* b = new QToolButton(client);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(caption);
        b->setIcon(art::Icon(pic));
        b->setIconSize(iconSize);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setGeometry(x, 10, 50, 45);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    };
    BitBtn2 = makeButton("BitBtn2", QStringLiteral("Start"), art::Picture::GearWithSpark,
                         QSize(17, 15), 296);
    StopBtn =
        makeButton("StopBtn", QStringLiteral("Stop"), art::Picture::NoEntry, QSize(16, 16), 359);
    BitBtn2->setToolTip(QStringLiteral("Start a new investigation (F5)"));
    StopBtn->setToolTip(QStringLiteral("Stop the investigation after the current row (Esc)"));
    connect(BitBtn2, &QToolButton::clicked, this, [this] { Guarded([this] { BitBtn2Click(); }); });
    connect(StopBtn, &QToolButton::clicked, this, [this] { Guarded([this] { StopBtnClick(); }); });
    // Tab leaves the table (arrow keys move in it): table, Stop, Start.
    ListView1->setTabKeyNavigation(false);
    QWidget::setTabOrder(ListView1, StopBtn);
    QWidget::setTabOrder(StopBtn, BitBtn2);
    QWidget::setTabOrder(BitBtn2, ListView1);
    // The focus is seen on every control, the flat tool buttons included.
    new FocusRing(client);
}

void TForm1::BuildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setAccessibleName(QStringLiteral("Status"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(19);
    status_ = new ElidedLabel(StatusBar1);
    status_->setObjectName(QStringLiteral("StatusPanel"));
    StatusBar1->addWidget(status_, 1);
    // Shown only while a run goes: rows done of rows wanted with the time
    // taken and left, result pages searched for the row in progress.
    runTime_ = new QLabel(StatusBar1);
    runTime_->setObjectName(QStringLiteral("RunTimeLabel"));
    pages_ = new QLabel(StatusBar1);
    pages_->setObjectName(QStringLiteral("PagesLabel"));
    progress_ = new QProgressBar(StatusBar1);
    progress_->setObjectName(QStringLiteral("RunProgress"));
    progress_->setAccessibleName(QStringLiteral("Rows researched"));
    progress_->setFixedSize(110, 13);
    progress_->setTextVisible(false);
    StatusBar1->addPermanentWidget(runTime_);
    StatusBar1->addPermanentWidget(pages_);
    StatusBar1->addPermanentWidget(progress_);
    // The progress bar keeps clear of the window's edge.
    StatusBar1->setContentsMargins(0, 0, 6, 0);
    runTime_->hide();
    pages_->hide();
    progress_->hide();
    setStatusBar(StatusBar1);
}

// A fetch that keeps the run waiting says for whom and how long; the status
// before it comes back when the answer does.
void TForm1::WatchSlowFetches() {
    fetcher_.onWaiting = [this](const std::string& url, int seconds) { ShowWaiting(url, seconds); };
}

void TForm1::ShowWaiting(const std::string& url, int seconds) {
    if (seconds < 0) {
        status_->SetFullText(statusBeforeWait_);
        return;
    }
    if (!status_->text().startsWith(QStringLiteral("Waiting for")))
        statusBeforeWait_ = status_->text();
    const bool search = url.find("/search?") != std::string::npos;
    status_->SetFullText(QStringLiteral("Waiting for the %1 service\u2026 %2 s")
                             .arg(search ? QStringLiteral("search") : QStringLiteral("suggestion"))
                             .arg(seconds));
}

void TForm1::BuildTable() {
    ListView1 = new QTableView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Results"));
    ListView1->setAccessibleDescription(
        QStringLiteral("One row per key term; the check mark chooses the rows the exports and the "
                       "chart take"));
    model_ = new ResultsModel(table_);
    ListView1->setModel(model_);
    ListView1->setShowGrid(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSortingEnabled(false);
    ListView1->setWordWrap(false);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setDefaultSectionSize(17);
    QHeaderView* header = ListView1->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);  // until the first sort
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    for (int c = 0; c < kColumnCount; ++c) header->resizeSection(c, kWidths[c]);
    connect(header, &QHeaderView::sectionResized, this, [header](int c, int, int size) {
        if (c >= 0 && c < kColumnCount && size < kMinWidths[c])
            header->resizeSection(c, kMinWidths[c]);
    });
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int c) { Guarded([this, c] { ListView1ColumnClick(c); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](const char* name, const QString& caption, void (ResultsTable::*cmd)()) {
        QAction* a = PopupMenu1->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this,
                [this, cmd] { Guarded([this, cmd] { (table_.*cmd)(); }); });
    };
    add("SelectAll1", QStringLiteral("Select All"), &ResultsTable::SelectAll1Click);
    add("SelectNone1", QStringLiteral("Select None"), &ResultsTable::SelectNone1Click);
    PopupMenu1->addSeparator();
    add("InvertSelection1", QStringLiteral("Invert Selection"),
        &ResultsTable::InvertSelection1Click);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    // Shift+F10 and the Menu key open the pop-up at the current row.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        auto* popupKey = new QShortcut(keys, ListView1);
        popupKey->setContext(Qt::WidgetWithChildrenShortcut);
        connect(popupKey, &QShortcut::activated, this, [this] {
            const QRect r = ListView1->visualRect(ListView1->currentIndex());
            emit ListView1->customContextMenuRequested(r.isValid() ? r.center() : QPoint(4, 4));
        });
    }
    connect(ListView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(p)); });
}

void TForm1::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, art::Picture pic,
                       std::function<void()> handler) {
        QAction* a = menu->addAction(art::Icon(pic), caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [handler] { Guarded(handler); });
        return a;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    item(file, "Open1", QStringLiteral("&Open investigation file..."), art::Picture::OpenFolder,
         [this] { Open1Click(); })
        ->setShortcut(QKeySequence::Open);
    item(file, "Import1", QStringLiteral("&Import keywords..."), art::Picture::OpenFolder, [this] {
        Import1Click();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    item(file, "Save1", QStringLiteral("&Save investigation file..."), art::Picture::FloppyDisk,
         [this] { Save1Click(); })
        ->setShortcut(QKeySequence::Save);
    item(file, "Comparewith1", QStringLiteral("Co&mpare with..."), art::Picture::OpenFolder,
         [this] { Comparewith1Click(); });
    QMenu* exports = file->addMenu(QStringLiteral("&Export"));
    exports->setObjectName(QStringLiteral("Export1"));
    item(exports, "ExportCsv1", QStringLiteral("&CSV table..."), art::Picture::PageOfText,
         [this] { ExportAs(true); });
    item(exports, "ExportKeywords1", QStringLiteral("&Keyword list..."), art::Picture::PageOfText,
         [this] { ExportAs(false); });
    file->addSeparator();
    item(file, "Exit1", QStringLiteral("E&xit"), art::Picture::OpenDoor, [this] {
        Exit1Click();
    })->setShortcut(QKeySequence::Quit);
    QMenu* keywords = bar->addMenu(QStringLiteral("&Keywords"));
    keywords->setObjectName(QStringLiteral("Keywords1"));
    item(keywords, "Start1", QStringLiteral("&Start..."), art::Picture::GearWithSpark, [this] {
        BitBtn2Click();
    })->setShortcut(QKeySequence(Qt::Key_F5));
    // Escape shown beside Stop as its key, and told to a screen reader as
    // its accelerator, not as part of its name. The press itself is the
    // Escape key's, which counts only in this window (EscapeKey): as a
    // widget shortcut of the menu, which takes Escape itself, it never fires.
    QAction* stop = item(keywords, "Stop1", QStringLiteral("S&top"), art::Picture::NoEntry,
                         [this] { StopBtnClick(); });
    stop->setShortcut(QKeySequence(Qt::Key_Escape));
    stop->setShortcutContext(Qt::WidgetShortcut);
    keywords->addSeparator();
    item(keywords, "Savetotextfile1", QStringLiteral("Save &keywords list..."),
         art::Picture::PageOfText, [this] { Savetotextfile1Click(); });
    // "t" is Stop's key already.
    item(keywords, "TrackChecked1", QStringLiteral("Track checked te&rms"), art::Picture::Magnifier,
         [this] { TrackChecked1Click(); });
    item(keywords, "Opportunitychart1", QStringLiteral("Opportunity &chart..."),
         art::Picture::ScatterChart, [this] { Opportunitychart1Click(); });
    // Sorting from the keyboard: the same as a click on the column's header.
    QMenu* sortBy = keywords->addMenu(QStringLiteral("Sort &by"));
    sortBy->setObjectName(QStringLiteral("SortBy1"));
    for (int c = 0; c < kColumnCount; ++c) {
        QAction* a = sortBy->addAction(QString::fromLatin1(kColumnCaptions[c]));
        a->setObjectName(QStringLiteral("SortBy%1").arg(c));
        connect(a, &QAction::triggered, this,
                [this, c] { Guarded([this, c] { ListView1ColumnClick(c); }); });
    }
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    QAction* history = view->addAction(QStringLiteral("&History..."));
    history->setObjectName(QStringLiteral("History1"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(history, &QAction::triggered, this, [this] { Guarded([this] { History1Click(); }); });
    QAction* competitors = view->addAction(QStringLiteral("&Competitors..."));
    competitors->setObjectName(QStringLiteral("Competitors1"));
    competitors->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    connect(competitors, &QAction::triggered, this,
            [this] { Guarded([this] { Competitors1Click(); }); });
    QAction* clusters = view->addAction(QStringLiteral("C&lusters..."));
    clusters->setObjectName(QStringLiteral("Clusters1"));
    connect(clusters, &QAction::triggered, this, [this] { Guarded([this] { Clusters1Click(); }); });
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    QAction* tracking = tools->addAction(QStringLiteral("&Tracking..."));
    tracking->setObjectName(QStringLiteral("Tracking1"));
    tracking->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(tracking, &QAction::triggered, this, [this] { Guarded([this] { Tracking1Click(); }); });
    QAction* preferences = tools->addAction(QStringLiteral("&Preferences..."));
    preferences->setObjectName(QStringLiteral("Preferences1"));
    preferences->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(preferences, &QAction::triggered, this,
            [this] { Guarded([this] { Preferences1Click(); }); });
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    QAction* contents = item(help, "Contents1", QStringLiteral("&Contents"),
                             art::Picture::QuestionMark, [this] { Contents1Click(); });
    contents->setShortcut(QKeySequence(Qt::Key_F1));
    contents->setShortcutContext(Qt::ApplicationShortcut);
    item(help, "Homepage1", QStringLiteral("The Vexorin Homepage..."), art::Picture::Globe,
         [this] { Homepage1Click(); });
    help->addSeparator();
    item(help, "About1", QStringLiteral("&About..."), art::Picture::LightBulb,
         [this] { About1Click(); });
    // F10 opens the menu bar, as desktops expect.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [bar, file] { bar->setActiveAction(file->menuAction()); });
}

void TForm1::SetStatusText(const std::string& text) {
    status_->SetFullText(ToQString(text));
}

QString TForm1::StatusText() const {
    return status_->text();
}

void TForm1::ShowProgress(const RunProgress& p) {
    progress_->setRange(0, std::max(1, p.rowsWanted));
    progress_->setValue(std::clamp(p.rowsDone, 0, std::max(1, p.rowsWanted)));
    // Said whole: the row in progress's page of its depth, or, rows looked up
    // at once, the pages of all of them.
    const bool oneRow = p.rowsAtOnce == 1 && p.pagesPerRow > 0;
    pages_->setText(p.pagesSearched <= 0 ? QString()
                    : oneRow
                        ? QStringLiteral("page %1 of %2").arg(p.pagesSearched).arg(p.pagesPerRow)
                    : p.pagesSearched == 1 ? QStringLiteral("1 page")
                                           : QStringLiteral("%1 pages").arg(p.pagesSearched));
    pages_->setVisible(!pages_->text().isEmpty());
    const QString text = ToQString(p.Text());
    runTime_->setText(text);
    runTime_->setVisible(true);
    progress_->setToolTip(text);
    progress_->setAccessibleDescription(text);
    pages_->setToolTip(oneRow ? QStringLiteral("Result pages searched for the row in progress")
                              : QStringLiteral("Result pages searched for the rows in progress"));
}

void TForm1::StopBtnClick() {
    stop_.Set();
    // The fetch in flight ends now, and the run at its next check point.
    if (runActive_) fetcher_.Cancel();
    pump_.PumpEvents();
}

void TForm1::AfterRun(std::function<void()> action) {
    if (runActive_) {
        afterRun_.push_back(std::move(action));
    } else {
        action();
    }
}

bool TForm1::StopThen(std::function<void()> action) {
    StopBtnClick();
    if (!runActive_) return true;
    AfterRun(std::move(action));
    return false;
}

void TForm1::BitBtn2Click() {
    if (runActive_) {
        // Nested in a running run: ask it to stop, and start afresh once it
        // has returned, never while it still holds its row.
        StopBtnClick();
        if (!restartPending_) {
            restartPending_ = true;
            afterRun_.push_back([this] {
                restartPending_ = false;
                BitBtn2Click();
            });
        }
        return;
    }
    StopBtnClick();
    if (!MayDiscardResults()) return;
    if (startForm_) startForm_->exec();
    pump_.PumpEvents();
    if (stop_.Requested() || !startForm_) return;

    RunResearch(nullptr);
}

void TForm1::RunResearch(const std::vector<ImportedTerm>* list) {
    // Preferences take effect at the next run; the environment wins.
    SettingsStore none(std::string{});
    const Preferences preferences = LoadPreferences(store_ ? *store_ : none);
    // A profile that cannot be used (an error in it, a secret missing) is
    // said before anything changes.
    const ChosenSources sources = ChooseServices(std::nullopt, std::nullopt, preferences);
    if (!sources.error.empty()) {
        SetStatusText("Cannot research: " + sources.error);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    runActive_ = true;
    model_->SetComparison(std::nullopt);
    const std::string started = IsoUtc(std::time(nullptr));
    fetcher_.BeginRun(NetLimitsFor(preferences));
    EscapeKey& escape = EscapeKey::Instance();
    escape.Forget();
    escape.SetHome(this);
    escape.SetPressHandler([this] { fetcher_.Cancel(); });
    progress_->setValue(0);
    pages_->clear();
    runTime_->clear();
    // The labels show once they have something to say: an empty one is no
    // stop for a screen reader.
    progress_->show();
    // The rows come in suggestion order: no column's sort arrow applies.
    ListView1->horizontalHeader()->setSortIndicatorShown(false);
    // A fault that escaped the run ends it; nothing is shown.
    RunOutcome outcome;
    Guarded([this, &escape, &outcome, &preferences, &sources, list] {
        ServiceHosts hosts = ServiceHostsFor(preferences);
        if (!sources.suggestHost.empty()) hosts.suggest = sources.suggestHost;
        if (!sources.searchHost.empty()) hosts.search = sources.searchHost;
        Research research(
            {.status = *this,
             .pump = pump_,
             .keys = escape,
             .stop = stop_,
             .inputs = *startForm_,
             .table = table_,
             .hosts = hosts,
             .fetch = [this](const std::string& url) { return fetcher_.Fetch(url); },
             .decimalSeparator = table_.DecimalSeparator(),
             .policy = LookupPolicyFor(preferences),
             .fetchAnyThread =
                 [this](const std::string& url) { return fetcher_.FetchAnyThread(url); },
             .cancelFetches = [this] { fetcher_.Cancel(); },
             .suggestSource = sources.suggest,
             .searchSource = sources.search,
             // From the calling thread, a fetch that serves events; from a
             // lookup thread, a plain one.
             .fetchRequest =
                 [this, gui = std::this_thread::get_id()](const ServiceRequest& request) {
                     return std::this_thread::get_id() == gui ? fetcher_.Fetch(request)
                                                              : fetcher_.FetchAnyThread(request);
                 }});
        try {
            if (list)
                research.RunList(*list);
            else
                research.RunInvestigation(startForm_->Keyword());
        } catch (...) {
            outcome = research.Outcome();
            throw;
        }
        outcome = research.Outcome();
    });
    outcome.stopped = outcome.stopped || stop_.Requested() || escape.EscapeDown();
    escape.SetPressHandler(nullptr);
    escape.SetHome(nullptr);
    // A run stopped before its rows came has none of its own to keep: the
    // table still holds what it held before.
    // Kept in the history, the run can be opened again: only what changes
    // after this would be lost.
    lost_ = preferences.keepHistory
                ? "The check marks or the order changed since the run was recorded in the "
                  "history."
                : "The history is off in Preferences, so these results are kept nowhere.";
    if (preferences.keepHistory && outcome.walked)
        RecordRun(started,
                  !outcome.gaveUp.empty() ? kEndedGaveUp
                  : outcome.stopped       ? kEndedStopped
                                          : kEndedDone,
                  LookupPolicyFor(preferences));
    progress_->hide();
    pages_->hide();
    runTime_->hide();
    runActive_ = false;
    QApplication::restoreOverrideCursor();
    // "Done!" only over a table without holes.
    SetStatusText(outcome.Summary());
    pump_.PumpEvents();

    // Commands that waited for the run, in the order they were given.
    auto pending = std::move(afterRun_);
    afterRun_.clear();
    for (auto& action : pending) Guarded(action);
}

void TForm1::LoadInvestigationFile(const QString& path) {
    const LoadOutcome opened =
        vx::LoadInvestigationFile(QFile::encodeName(path).toStdString(), table_);
    if (opened) {
        modified_ = false;
        lost_ = "The changes to " + ToBytes(QFileInfo(path).fileName()) + " are not saved.";
        model_->SetComparison(std::nullopt);
    }
    // A file that cannot be opened leaves the table as it was; say why.
    status_->SetFullText(opened ? QStringLiteral("Opened ") + QDir::toNativeSeparators(path)
                                : QStringLiteral("Could not open ") +
                                      QDir::toNativeSeparators(path) + QStringLiteral(": ") +
                                      QString::fromLocal8Bit(LoadFailureText(opened)));
}

void TForm1::Open1Click() {
    if (!StopThen([this] { Open1Click(); })) return;
    if (!MayDiscardResults()) return;
    const auto choice = FileDialogs::GetOpenFile(this, QStringLiteral("Open investigation file"),
                                                 folders_.Folder(RecentFolders::Investigations),
                                                 kBkiFilter, QStringLiteral("bki"));
    if (choice.path.isEmpty()) return;
    folders_.Remember(RecentFolders::Investigations, choice.path);
    const QString path = choice.path;
    AfterRun([this, path] { Guarded([this, path] { LoadInvestigationFile(path); }); });
}

void TForm1::Import1Click() {
    if (!StopThen([this] { Import1Click(); })) return;
    const auto choice = FileDialogs::GetOpenFile(
        this, QStringLiteral("Import keywords"), folders_.Folder(RecentFolders::KeywordLists),
        QStringLiteral("Keyword lists (*.csv *.txt *.tsv);;All files (*)"), QString());
    if (choice.path.isEmpty()) return;
    folders_.Remember(RecentFolders::KeywordLists, choice.path);
    KeywordList list = ReadKeywordListFile(QFile::encodeName(choice.path).toStdString());
    // A file that is no list of terms changes nothing; it says why.
    if (!list || list.terms.empty()) {
        status_->SetFullText(
            QStringLiteral("Could not import ") + QDir::toNativeSeparators(choice.path) +
            QStringLiteral(": ") +
            (list ? QStringLiteral("it holds no terms") : QString::fromUtf8(list.error.c_str())));
        return;
    }
    if (!MayDiscardResults()) return;
    // The site and depth as Start asks for them, the last entries kept.
    if (startForm_) {
        const qsizetype n = static_cast<qsizetype>(list.terms.size());
        startForm_->ForList((n == 1 ? QStringLiteral("Research 1 term from %2")
                                    : QStringLiteral("Research %1 terms from %2"))
                                .arg(n)
                                .arg(QFileInfo(choice.path).fileName()));
        startForm_->exec();
        if (startForm_) startForm_->ForList({});
    }
    pump_.PumpEvents();
    if (stop_.Requested() || !startForm_) return;
    importedFrom_ = QFileInfo(choice.path).fileName().toStdString();
    RunResearch(&list.terms);
    importedFrom_.clear();
}

void TForm1::Save1Click() {
    if (!StopThen([this] { Save1Click(); })) return;
    SaveInvestigation();
}

bool TForm1::SaveInvestigation() {
    const auto choice = FileDialogs::GetSaveFile(
        this, QStringLiteral("Save investigation file"),
        SuggestedName(RecentFolders::Investigations, QStringLiteral(".bki")), kBkiFilter,
        QStringLiteral("bki"));
    if (choice.path.isEmpty()) return false;
    folders_.Remember(RecentFolders::Investigations, choice.path);
    if (!SaveTo(choice.path, FormatInvestigationFile(table_))) return false;
    modified_ = false;
    lost_ = "The changes to " + ToBytes(QFileInfo(choice.path).fileName()) + " are not saved.";
    return true;
}

bool TForm1::MayDiscardResults() {
    if (!Modified()) return true;
    switch (Prompts::AskToSaveResults(this, ToQString(lost_))) {
        case Prompts::Answer::Save:
            return SaveInvestigation();
        case Prompts::Answer::Discard:
            return true;
        default:
            return false;
    }
}

void TForm1::Savetotextfile1Click() {
    if (!StopThen([this] { Savetotextfile1Click(); })) return;
    const auto choice = FileDialogs::GetSaveFile(
        this, QStringLiteral("Save keywords list"),
        SuggestedName(RecentFolders::KeywordLists, QStringLiteral(".txt")),
        kTxtFilter + QStringLiteral(";;") + kCsvFilter, QStringLiteral("txt"));
    WriteExport(choice);
}

void TForm1::ExportAs(bool csv) {
    if (!StopThen([this, csv] { ExportAs(csv); })) return;
    const QString suffix = csv ? QStringLiteral(".csv") : QStringLiteral(".txt");
    WriteExport(FileDialogs::GetSaveFile(
        this, csv ? QStringLiteral("Export CSV table") : QStringLiteral("Export keyword list"),
        SuggestedName(RecentFolders::KeywordLists, suffix), csv ? kCsvFilter : kTxtFilter,
        csv ? QStringLiteral("csv") : QStringLiteral("txt")));
}

void TForm1::WriteExport(const FileDialogs::Choice& choice) {
    if (choice.path.isEmpty()) return;
    folders_.Remember(RecentFolders::KeywordLists, choice.path);
    // The file type chosen decides the layout and, when none was typed, the
    // suffix.
    QString path = choice.path;
    const bool csv =
        choice.filter == kCsvFilter || path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    if (QFileInfo(path).suffix().isEmpty())
        path += csv ? QStringLiteral(".csv") : QStringLiteral(".txt");
    // Compared, the table carries each row's change.
    const std::vector<std::string> changes = model_->Changes();
    const std::string text =
        csv ? FormatCsvTable(table_, model_->Comparing() ? &changes : nullptr, &model_->Gone())
            : FormatKeywordList(table_);
    SaveTo(path, text);
}

QString TForm1::SuggestedName(RecentFolders::Kind kind, const QString& suffix) const {
    const QString keyword = startForm_ ? ToQString(startForm_->Keyword()) : QString();
    return folders_.Folder(kind) + QDir::separator() +
           RecentFolders::FileNameFor(keyword, QStringLiteral("investigation")) + suffix;
}

bool TForm1::SaveTo(const QString& path, const std::string& text) {
    // Atomic: a failed save says so and leaves the old file as it was.
    const WriteResult written = WriteFileAtomically(QFile::encodeName(path).toStdString(), text);
    status_->SetFullText(SaveStatusText(path, written));
    return static_cast<bool>(written);
}

void TForm1::Exit1Click() {
    StopBtnClick();
    close();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget())) {
            button->click();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: stop any run, and close unless the user keeps results
    // that were not saved. A run in progress is stopped first; the question
    // comes once it has returned with its rows completed.
    if (runActive_) {
        event->ignore();
        if (!closePending_) {
            closePending_ = true;
            StopThen([this] {
                closePending_ = false;
                close();
            });
        } else {
            StopBtnClick();
        }
        return;
    }
    StopBtnClick();
    if (MayDiscardResults())
        event->accept();
    else
        event->ignore();
}

QString TForm1::HelpIndexPath() {
    // Installed beside the program's share folder, or in the build tree.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/../share/vexorin/help/index.html"),
                                     dir + QStringLiteral("/help/index.html")}) {
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void TForm1::Opportunitychart1Click() {
    // Beside the window, not modal: the run goes on and the chart follows.
    if (!chartForm_) {
        chartForm_ = new TChartForm(table_, this);
        chartForm_->SetFolders(&folders_);
        connect(chartForm_, &TChartForm::RowChosen, this, [this](RowId id) {
            const int at = table_.IndexOf(id);
            if (at < 0) return;
            ListView1->selectRow(at);
            ListView1->scrollTo(model_->index(at, 0));
        });
        connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this](const QModelIndex& now) { MarkChartRow(now); });
        MarkChartRow(ListView1->currentIndex());
        ManagePlace(*chartForm_, *this, store_, "chart");
    }
    chartForm_->show();
    chartForm_->raise();
    chartForm_->activateWindow();
}

void TForm1::MarkChartRow(const QModelIndex& index) {
    if (!chartForm_) return;
    chartForm_->ChartOf().MarkRow(index.isValid() && index.row() < table_.Count()
                                      ? std::optional<RowId>(table_.At(index.row()).id)
                                      : std::nullopt);
}

QString TForm1::HelpChmPath() {
    // The working folder first, as ever; then beside the program and in the
    // installed share folder, so help opens wherever the program started.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {QStringLiteral("help.chm"), dir + QStringLiteral("/help.chm"),
                                     dir + QStringLiteral("/../share/vexorin/help.chm")}) {
        if (QFileInfo(candidate).isFile())
            return candidate == QStringLiteral("help.chm")
                       ? candidate
                       : QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void TForm1::Contents1Click() {
    // help.chm where a CHM viewer can show it; else the same pages as HTML.
    const QString chm = HelpChmPath();
    const QString html = HelpIndexPath();
    const QString shown = !chm.isEmpty() && (html.isEmpty() || Shell::HasHandlerFor(chm)) ? chm
                          : !html.isEmpty()                                               ? html
                                            : QString();
    // Nothing to show it with, or no help at all: said, with where it is.
    if (shown.isEmpty()) {
        status_->SetFullText(
            QStringLiteral("The help is not installed (no help.chm or help/index.html beside "
                           "the program)."));
    } else if (!Shell::Open(shown)) {
        status_->SetFullText(QStringLiteral("No program here can show the help: open %1 yourself.")
                                 .arg(QDir::toNativeSeparators(shown)));
    }
}

void TForm1::Homepage1Click() {
    Shell::Open(QString::fromLatin1(kHomepage));
}

void TForm1::RecordRun(const std::string& started, const std::string& ended,
                       const LookupPolicy& policy) {
    if (table_.Count() == 0 || !startForm_) return;
    HistoryRun run;
    run.started = started;
    run.seed = importedFrom_.empty() ? startForm_->Keyword() : importedFrom_;
    run.site = startForm_->TargetSite();
    run.decimalSeparator = table_.DecimalSeparator();
    run.depth = startForm_->PageDepthText();
    run.parallel = policy.parallel;
    run.retries = policy.retries;
    run.ended = ended;
    // Preferences may have chosen another history since the last run.
    const std::string where = HistoryWhere();
    if (!history_ || historyWhere_ != where) {
        history_ = std::make_unique<HistoryWriter>(where);
        historyWhere_ = where;
    }
    history_->Record(run, RowsOf(table_), [this](const std::string& message, bool kept) {
        // On the writer's thread: the window hears of it on its own.
        QMetaObject::invokeMethod(
            this,
            [this, message, kept] {
                if (!message.empty()) {
                    QString text = QString::fromLocal8Bit(message);
                    text[0] = text[0].toUpper();
                    status_->SetFullText(text);
                }
                if (!kept) {
                    // Not kept after all: the table is all there is of it.
                    modified_ = true;
                    lost_ =
                        "The history could not keep this run, so these results are kept "
                        "nowhere.";
                }
                if (historyForm_) historyForm_->Refresh();
            },
            Qt::QueuedConnection);
    });
    // The history has it now: nothing of it is lost without a save.
    modified_ = false;
}

std::string TForm1::HistoryWhere() const {
    SettingsStore none(std::string{});
    return vx::HistoryWhere(LoadPreferences(store_ ? *store_ : none));
}

void TForm1::Clusters1Click() {
    if (!clustersForm_) {
        clustersForm_ = new TClustersForm(table_, this);
        ManagePlace(*clustersForm_, *this, store_, "clusters");
    }
    clustersForm_->Refresh();
    clustersForm_->show();
    clustersForm_->raise();
}

void TForm1::Competitors1Click() {
    if (!competitorsForm_) {
        competitorsForm_ = new TCompetitorsForm(
            table_, [this] { return startForm_ ? startForm_->TargetSite() : std::string(); }, this);
        ManagePlace(*competitorsForm_, *this, store_, "competitors");
        connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged,
                competitorsForm_, [this](const QModelIndex& now) {
                    competitorsForm_->ShowTopOf(now.isValid() ? now.row() : -1);
                });
        competitorsForm_->ShowTopOf(
            ListView1->currentIndex().isValid() ? ListView1->currentIndex().row() : -1);
    }
    competitorsForm_->Refresh();
    competitorsForm_->show();
    competitorsForm_->raise();
}

void TForm1::TrackChecked1Click() {
    std::vector<std::string> terms;
    for (int i = 0; i < table_.Count(); ++i)
        if (table_.At(i).checked) terms.emplace_back(table_.At(i).KeyTerm());
    if (terms.empty()) {
        SetStatusText("Check the terms to track first");
        return;
    }
    const std::string site = startForm_ ? startForm_->TargetSite() : std::string();
    const std::string name = SiteHost(site);
    if (name.empty()) {
        SetStatusText("Give the investigation its site first (Keywords > Start)");
        return;
    }
    SettingsStore none(std::string{});
    const Preferences preferences = LoadPreferences(store_ ? *store_ : none);
    const auto history = OpenHistory(HistoryWhere(), true);
    const auto store = ProjectsOf(*history);
    ProjectStore& projects = *store;
    TrackingProject project = projects.Find(name).value_or(TrackingProject{});
    if (project.id == 0) {
        // Made on first use with what this investigation was researched with.
        project.name = name;
        project.site = std::string(TrimView(site, " \t"));
        project.depth = startForm_->PageDepthText();
        project.suggestService = preferences.suggestService;
        project.searchService = preferences.searchService;
    }
    const int added = projects.AddTerms(projects.Save(project), terms);
    SetStatusText(std::to_string(added) + (added == 1 ? " term" : " terms") + " more tracked in " +
                  name + " (Tools > Tracking)");
    if (trackingForm_) {
        trackingForm_->Refresh();
        trackingForm_->ChooseProject(ToQString(name));
    }
}

void TForm1::Tracking1Click() {
    if (!trackingForm_) {
        trackingForm_ = new TTrackingForm(HistoryWhere(), store_, this);
        ManagePlace(*trackingForm_, *this, store_, "tracking");
    }
    trackingForm_->Refresh();
    if (startForm_) trackingForm_->ChooseProject(ToQString(SiteHost(startForm_->TargetSite())));
    trackingForm_->show();
    trackingForm_->raise();
    trackingForm_->activateWindow();
}

void TForm1::History1Click() {
    if (!historyForm_) {
        historyForm_ = new THistoryForm(HistoryWhere(), this);
        connect(historyForm_, &THistoryForm::OpenRequested, this,
                [this](qint64 id) { Guarded([this, id] { OpenRun(id); }); });
        connect(historyForm_, &THistoryForm::CompareRequested, this,
                [this](qint64 id) { Guarded([this, id] { CompareWithRun(id); }); });
        connect(historyForm_, &THistoryForm::AboutToAsk, this, [this] { StopBtnClick(); });
        ManagePlace(*historyForm_, *this, store_, "history");
    }
    // What the writer still holds is in before the list is read.
    if (history_) history_->Flush();
    historyForm_->Refresh();
    historyForm_->show();
    historyForm_->raise();
}

std::optional<ResultsTable> TForm1::LoadRun(int64_t run) {
    ResultsTable loaded(table_.DecimalSeparator());
    try {
        if (OpenHistory(HistoryWhere(), false)->Load(run, loaded)) return loaded;
        status_->SetFullText(QStringLiteral("Run %1 is no longer in the history").arg(run));
    } catch (const std::exception& e) {
        status_->SetFullText(QStringLiteral("Could not read the run: ") +
                             QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}

void TForm1::OpenRun(int64_t run) {
    if (!StopThen([this, run] { OpenRun(run); })) return;
    if (!MayDiscardResults()) return;
    AfterRun([this, run] {
        const std::optional<ResultsTable> loaded = LoadRun(run);
        if (!loaded) return;
        model_->SetComparison(std::nullopt);
        table_.ReplaceRows(RowsOf(*loaded));
        // As an opened file: nothing new to save.
        modified_ = false;
        lost_ = "The check marks or the order changed since run " + std::to_string(run) +
                " was recorded in the history.";
        status_->SetFullText(QStringLiteral("Opened run %1 from the history").arg(run));
    });
}

void TForm1::CompareWith(ResultsTable older, const QString& what) {
    model_->SetComparison(std::move(older));
    const std::vector<std::string> changes = model_->Changes();
    const auto added = std::count(changes.begin(), changes.end(), std::string("new"));
    status_->SetFullText(QStringLiteral("Compared with %1: %2 new, %3 gone")
                             .arg(what)
                             .arg(added)
                             .arg(model_->Gone().size()));
}

void TForm1::CompareWithRun(int64_t run) {
    if (std::optional<ResultsTable> older = LoadRun(run))
        CompareWith(std::move(*older), QStringLiteral("run %1").arg(run));
}

void TForm1::Comparewith1Click() {
    // Every command that shows a modal box stops a run first: the run would
    // wait behind the box.
    StopBtnClick();
    const auto choice = FileDialogs::GetOpenFile(this, QStringLiteral("Compare with"),
                                                 folders_.Folder(RecentFolders::Investigations),
                                                 kBkiFilter, QStringLiteral("bki"));
    if (choice.path.isEmpty()) return;
    ResultsTable older(table_.DecimalSeparator());
    const LoadOutcome opened =
        vx::LoadInvestigationFile(QFile::encodeName(choice.path).toStdString(), older);
    if (!opened) {
        status_->SetFullText(QStringLiteral("Could not open ") +
                             QDir::toNativeSeparators(choice.path) + QStringLiteral(": ") +
                             QString::fromLocal8Bit(LoadFailureText(opened)));
        return;
    }
    CompareWith(std::move(older), QFileInfo(choice.path).fileName());
}

void TForm1::Preferences1Click() {
    StopBtnClick();
    if (!store_) return;
    if (!preferencesForm_) {
        preferencesForm_ = new TPreferencesForm(*store_, this);
        ManagePlace(*preferencesForm_, *this, store_, "preferences");
    }
    // Afresh from the store each time: a cancelled edit is forgotten.
    preferencesForm_->SetValues(LoadPreferences(*store_));
    preferencesForm_->exec();
    // A history moved to or from a team's server reaches the open windows
    // now, not at the next start.
    const std::string where = HistoryWhere();
    if (historyForm_) historyForm_->SetHistoryPath(where);
    if (trackingForm_) trackingForm_->SetHistoryPath(where);
}

void TForm1::About1Click() {
    StopBtnClick();
    if (showAbout_) showAbout_();
}

void TForm1::ListView1ColumnClick(int column) {
    // The sort moves rows; the user's row stays selected and in view.
    const QModelIndex current = ListView1->currentIndex();
    const RowId selected =
        current.isValid() && current.row() < table_.Count() ? table_.At(current.row()).id : 0;
    if (column == ResultsModel::kChangeColumn) {
        if (!model_->Comparing()) return;
        model_->SortByChange();
    } else {
        table_.ListView1ColumnClick(column);
    }
    // The sorted column shows which way it sorts: demand, profitability and
    // prospects from the highest, the others from the lowest.
    const bool descending =
        column == colDemand || column == colProfitability || column == colProspects;
    ListView1->horizontalHeader()->setSortIndicatorShown(true);
    ListView1->horizontalHeader()->setSortIndicator(
        column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    const int at = selected ? table_.IndexOf(selected) : -1;
    if (at < 0) return;
    ListView1->selectRow(at);
    ListView1->scrollTo(model_->index(at, 0));
}

}  // namespace vx::ui
