#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <optional>
#include <thread>

#include "loopback/script_server.h"
#include "results/competitors.h"
#include "results/investigation_file.h"
#include "stand_in_server.h"
#include "support/pointer.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/Application.h"
#include "ui/Constants.h"
#include "ui/controls/ElidedLabel.h"
#include "ui/controls/OvalBtn.h"
#include "ui/forms/CompetitorsForm.h"
#include "ui/forms/InfoUnit.h"
#include "ui/forms/ResultsModel.h"
#include "ui/forms/StartUnit.h"
#include "ui/forms/Unit1.h"
#include "ui/platform/EscapeKey.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/Shell.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

using vx::testing::TempDir;

TEST(MainWindow, LayoutNamesAndCaptions) {
    Window k;
    EXPECT_EQ(k.w.windowTitle(), u"Vexorin"_s);
    EXPECT_EQ(k.w.centralWidget()->width(), 502);
    EXPECT_EQ(k.w.centralWidget()->height() + k.w.StatusBar1->height(), 390);
    EXPECT_EQ(k.w.ListView1->geometry(), QRect(5, 68, 490, 299));
    EXPECT_EQ(k.w.Image1->geometry(), QRect(7, 4, 490, 55));
    EXPECT_EQ(k.w.BitBtn2->geometry(), QRect(296, 10, 50, 45));
    EXPECT_EQ(k.w.StopBtn->geometry(), QRect(359, 10, 50, 45));
    EXPECT_FALSE(k.w.windowFlags() & Qt::WindowMaximizeButtonHint);
    QHeaderView* h = k.w.ListView1->horizontalHeader();
    const int widths[] = {115, 70, 70, 100, 55, 70, 125};
    for (int c = 0; c < 7; ++c) EXPECT_EQ(h->sectionSize(c), widths[c]);
    h->resizeSection(3, 10);  // never narrower than its minimum
    EXPECT_EQ(h->sectionSize(3), 95);
    h->resizeSection(3, 150);
    EXPECT_EQ(h->sectionSize(3), 150);
    for (const char* name :
         {"Open1", "Save1", "Exit1", "Savetotextfile1", "Contents1", "Homepage1", "About1"})
        EXPECT_NE(k.w.findChild<QAction*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(k.w.findChild<QAction*>(u"Contents1"_s)->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(k.w.findChild<QAction*>(u"Open1"_s)->text(), u"&Open investigation file..."_s);
    EXPECT_EQ(k.w.ListView1->model()->headerData(6, Qt::Horizontal).toString(),
              u"Estimated prospects #"_s);
}

TEST(MainWindow, StartInvestigateFillsRowsAndSaysDone) {
    Services services;
    Window k;
    int rowsSeenDuringRun = 0;
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted,
                     [&] { rowsSeenDuringRun++; });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 4, 12); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(k.w.StatusText(), u"Done!"_s);
    ASSERT_EQ(k.w.ListView1->model()->rowCount(), 12);
    EXPECT_EQ(rowsSeenDuringRun, 12);
    for (const QString& term : Column(k.w, 0)) EXPECT_EQ(term, term.toLower());
    EXPECT_TRUE(Column(k.w, 4).filter(QRegularExpression(u"^\\d+$"_s)).size() > 0);
    for (int r = 0; r < 12; ++r) EXPECT_EQ(k.w.Table().At(r).ColumnCount(), 6);
    EXPECT_FALSE(k.w.RunActive());
}

TEST(MainWindow, CancelAndCloseBoxStartNothing) {
    Window k;
    k.w.Table().SetKeyTerm(k.w.Table().Append(), "kept");
    k.w.SetStatusText("before");
    WhenDialogShows([](TStartForm& d) { QTest::mouseClick(d.BitBtn2, Qt::LeftButton); }, k.d);
    ClickButton(k.w, "BitBtn2");
    WhenDialogShows([](TStartForm& d) { d.close(); }, k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(k.w.StatusText(), u"before"_s);
    EXPECT_EQ(Column(k.w, 0), QStringList{u"kept"_s});
    EXPECT_TRUE(k.forms.stop.Requested());
}

TEST(MainWindow, StopWhileIdleThenAnEmptyKeywordRun) {
    Services services;
    Window k;
    k.w.Table().SetKeyTerm(k.w.Table().Append(), "earlier");
    k.forms.stop.Clear();
    QTest::mouseClick(k.w.StopBtn, Qt::LeftButton);
    EXPECT_TRUE(k.forms.stop.Requested());  // and nothing else
    EXPECT_EQ(k.w.Table().Count(), 1);
    EXPECT_EQ(k.w.StatusText(), u""_s);
    WhenDialogShows([](TStartForm& d) { Investigate(d, u""_s, u""_s, 0, 5); }, k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_FALSE(k.forms.stop.Requested());  // Investigate cleared it
    // The stand-in suggests nothing for an empty seed: a run that did
    // nothing says so, never "Done!".
    EXPECT_TRUE(k.w.StatusText().endsWith(u" gave no suggestions for \"\"."_s))
        << k.w.StatusText().toStdString();
    EXPECT_EQ(k.w.Table().Count(), 0);
}

TEST(MainWindow, StopDuringRunEndsAfterTheRow) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    Services services;
    Window k;
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.Table().Count() == 2)
            QTimer::singleShot(0, [&] { QTest::mouseClick(k.w.StopBtn, Qt::LeftButton); });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 2, 20); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
    EXPECT_EQ(k.w.Table().Count(), 2);
    EXPECT_TRUE(k.w.Table().At(1).checked);
}

TEST(MainWindow, HeaderClicksSortAndPopupCommands) {
    Window k;
    ResultsTable& t = k.w.Table();
    for (auto [term, demand] : {std::pair{"b", "10"}, {"a", "30"}, {"c", "20"}}) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, term);
        t.AppendColumn(id, demand);
        t.SetChecked(id, true);
    }
    QHeaderView* h = k.w.ListView1->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(Column(k.w, 0), (QStringList{u"a"_s, u"c"_s, u"b"_s}));
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(Column(k.w, 0), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    k.w.findChild<QAction*>(u"InvertSelection1"_s)->trigger();
    EXPECT_FALSE(t.At(0).checked || t.At(1).checked || t.At(2).checked);
    k.w.findChild<QAction*>(u"SelectAll1"_s)->trigger();
    EXPECT_TRUE(t.At(0).checked && t.At(1).checked && t.At(2).checked);
    k.w.findChild<QAction*>(u"SelectNone1"_s)->trigger();
    EXPECT_EQ(k.w.ListView1->model()->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    // The user's own tick reaches the table.
    k.w.ListView1->model()->setData(k.w.ListView1->model()->index(2, 0), Qt::Checked,
                                    Qt::CheckStateRole);
    EXPECT_TRUE(t.At(2).checked);
}

TEST(MainWindow, ASortKeepsTheSelectedRowSelectedAndInView) {
    Window k;
    k.w.show();
    ResultsTable& t = k.w.Table();
    for (int i = 0; i < 200; ++i) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, "term " + std::to_string(1000 + i));
        t.AppendColumn(id, std::to_string(i));
    }
    k.w.ListView1->selectRow(3);  // "term 1003", demand 3: last after a demand sort
    k.w.ListView1ColumnClick(colDemand);
    const QModelIndex now = k.w.ListView1->currentIndex();
    ASSERT_TRUE(now.isValid());
    EXPECT_EQ(t.At(now.row()).KeyTerm(), "term 1003");
    EXPECT_EQ(now.row(), 196);
    EXPECT_TRUE(k.w.ListView1->selectionModel()->isRowSelected(now.row(), {}));
    EXPECT_TRUE(k.w.ListView1->viewport()->rect().intersects(k.w.ListView1->visualRect(now)));
}

TEST(MainWindow, SaveAndOpenRoundTripThroughTheWindow) {
    Window k;
    ResultsTable& t = k.w.Table();
    const RowId id = t.Append();
    t.SetKeyTerm(id, "  red \"shoes\" ");
    for (const char* c : {"1", "2", "3", "-", "0%", "0"}) t.AppendColumn(id, c);
    const std::string path = k.dir.File("saved.bki");
    FileDialogs::AnswerNext answer1(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString& filters) {
            EXPECT_EQ(filters, u"Investigation files (*.bki)"_s);
            return FileDialogs::Choice{QString::fromStdString(path), filters};
        });
    TriggerAction(k.w, "Save1");
    EXPECT_TRUE(k.w.StatusText().startsWith(u"Saved"_s));
    t.Clear();
    FileDialogs::AnswerNext answer2(
        FileDialogs::AnswerNext::Open,
        [&](QWidget*, const QString&, const QString& folder, const QString&) {
            // Where the last investigation file was saved.
            EXPECT_EQ(folder, QFileInfo(QString::fromStdString(path)).absolutePath());
            return FileDialogs::Choice{QString::fromStdString(path), {}};
        });
    TriggerAction(k.w, "Open1");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.At(0).KeyTerm(), "  red \"shoes\" ");
    EXPECT_FALSE(t.At(0).checked);
    // A failed save says so and leaves the old file as it was.
    FileDialogs::AnswerNext answer3(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString& f) {
            return FileDialogs::Choice{QString::fromStdString(k.dir.File("missing/dir/x.bki")), f};
        });
    TriggerAction(k.w, "Save1");
    EXPECT_TRUE(k.w.StatusText().startsWith(u"Could not save"_s));
    EXPECT_TRUE(k.w.StatusText().endsWith(u": No such file or directory"_s));
    // A file that cannot be opened leaves the table as it was and names
    // the file.
    const QString missing = QString::fromStdString(k.dir.File("gone.bki"));
    FileDialogs::AnswerNext answer4(FileDialogs::AnswerNext::Open,
                                    [&](QWidget*, const QString&, const QString&, const QString&) {
                                        return FileDialogs::Choice{missing, {}};
                                    });
    TriggerAction(k.w, "Open1");
    ASSERT_EQ(t.Count(), 1);
    EXPECT_EQ(t.At(0).KeyTerm(), "  red \"shoes\" ");
    EXPECT_EQ(k.w.StatusText(), u"Could not open "_s + missing + u": No such file or directory"_s);
}

TEST(MainWindow, KeywordListAndCsvExport) {
    Window k;
    ResultsTable& t = k.w.Table();
    for (auto [term, checked] :
         {std::pair{"a, \"b\"", true}, {"skip", false}, {"\xE4pfel", true}}) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, term);
        t.AppendColumn(id, "5");
        t.SetChecked(id, checked);
    }
    const std::string txt = k.dir.File("k.txt"), csv = k.dir.File("k.csv");
    FileDialogs::AnswerNext answer4(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString&) {
            return FileDialogs::Choice{QString::fromStdString(txt), u"Keyword list (*.txt)"_s};
        });
    TriggerAction(k.w, "Savetotextfile1");
    EXPECT_EQ(vx::testing::ReadFile(txt), "a, \"b\"\r\n\xC3\xA4pfel\r\n");
    FileDialogs::AnswerNext answer5(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString&) {
            return FileDialogs::Choice{QString::fromStdString(csv), u"CSV table (*.csv)"_s};
        });
    TriggerAction(k.w, "Savetotextfile1");
    EXPECT_EQ(vx::testing::ReadFile(csv),
              "\xEF\xBB\xBFKey term,Demand,Competition,Cost per prospect,Rank "
              "#,Profitability,Estimated prospects #,"
              "Checked\r\n\"a, \"\"b\"\"\",5,,,,,,1\r\nskip,5,,,,,,0\r\n\xC3\xA4pfel,5,,,,,,1\r\n");
}

TEST(MainWindow, StartDuringRunStopsItFirstThenStartsAfresh) {
    Services services;
    Window k;
    int shows = 0;
    int maxRowsOfFirstRun = 0;
    std::function<void(TStartForm&)> answer = [&](TStartForm& d) {
        ++shows;
        if (shows == 1) {
            Investigate(d, u"shoes"_s, u"example.com"_s, 1, 30);
        } else {
            // The second dialog appears only after the first run returned.
            EXPECT_FALSE(k.w.RunActive());
            maxRowsOfFirstRun = k.w.Table().Count();
            Investigate(d, u"coffee"_s, u""_s, 0, 3);
        }
    };
    WhenDialogShows(answer, k.d);
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (shows == 1 && k.w.Table().Count() == 2) {
            QTimer::singleShot(0, [&] {
                WhenDialogShows(answer, k.d);
                ClickButton(k.w, "BitBtn2");  // nested inside the running run
                ClickButton(k.w, "BitBtn2");  // a second press is the same request
            });
        }
    });
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(shows, 2);
    EXPECT_GE(maxRowsOfFirstRun, 2);
    EXPECT_LT(maxRowsOfFirstRun, 30);
    ASSERT_EQ(k.w.Table().Count(), 3);
    for (int r = 0; r < 3; ++r)
        EXPECT_NE(k.w.Table().At(r).KeyTerm().find("coffee"), std::string::npos);
}

TEST(MainWindow, OpenDuringRunLoadsAfterTheRunReturned) {
    Services services;
    Window k;
    const std::string path = k.dir.File("in.bki");
    vx::testing::WriteFile(path, "[item0]\nkeyterm=from file\n[item1]\nkeyterm=second\n");
    FileDialogs::AnswerNext answer6(
        FileDialogs::AnswerNext::Open,
        [&](QWidget*, const QString&, const QString&, const QString&) {
            return FileDialogs::Choice{QString::fromStdString(path), {}};
        });
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.RunActive() && k.w.Table().Count() == 1)
            QTimer::singleShot(0, [&] { TriggerAction(k.w, "Open1"); });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"x"_s, 0, 30); }, k.d);
    ClickButton(k.w, "BitBtn2");
    ASSERT_EQ(k.w.Table().Count(), 2);
    EXPECT_EQ(k.w.Table().At(0).KeyTerm(), "from file");
}

TEST(MainWindow, ExitDuringRunEndsRunThenCloses) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    Services services;
    Window k;
    k.w.show();
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.Table().Count() == 1)
            QTimer::singleShot(0, [&] { k.w.findChild<QAction*>(u"Exit1"_s)->trigger(); });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"x"_s, 0, 30); }, k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_FALSE(k.w.isVisible());
    EXPECT_EQ(k.w.Table().Count(), 1);
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
}

TEST(MainWindow, HelpAndHomepageGoToTheShellWithoutStopping) {
    Window k;
    QStringList opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened << t;
        return true;
    });
    Shell::ScopedAssociations chmViewer([](const QString&) { return true; });
    // help.chm in the working folder, as beside the program.
    TempDir cwd;
    vx::testing::WriteFile(cwd.File("help.chm"), "ITSF");
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(cwd.path()));
    k.forms.stop.Clear();
    k.w.show();
    QApplication::setActiveWindow(&k.w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&k.w));
    // F1 alone, through the real key routing: help and nothing else.
    QTest::keyClick(k.w.ListView1, Qt::Key_F1);
    EXPECT_EQ(opened, QStringList{u"help.chm"_s});
    k.w.findChild<QAction*>(u"Homepage1"_s)->trigger();
    EXPECT_EQ(opened, (QStringList{u"help.chm"_s, QString::fromLatin1(kHomepage)}));
    EXPECT_FALSE(k.forms.stop.Requested());
    QDir::setCurrent(before);
}

TEST(MainWindow, AboutStopsThenShowsTheBox) {
    Window k;
    bool closedByClick = false;
    k.forms.stop.Clear();
    QTimer::singleShot(20, [&] {
        EXPECT_TRUE(k.forms.InfoForm->isVisible());
        TOvalButton* close = k.forms.InfoForm->BitBtn3;
        const QPoint c = close->rect().center();
        // The pointer comes over it first, then the click.
        vx::testing::PointerTo(close, c);
        QTest::mouseClick(close, Qt::LeftButton, {}, c);
        closedByClick = !k.forms.InfoForm->isVisible();
        if (k.forms.InfoForm->isVisible()) k.forms.InfoForm->reject();  // never hang the suite
    });
    TriggerAction(k.w, "About1");
    EXPECT_TRUE(closedByClick);
    EXPECT_TRUE(k.forms.stop.Requested());
    EXPECT_FALSE(k.forms.InfoForm->isVisible());
}

TEST(MainWindow, AboutDuringRunWaitsThenTheRunEnds) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    Services services;
    Window k;
    bool rowsFrozenWhileOpen = false;
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.Table().Count() != 1) return;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(100, [&] {
                rowsFrozenWhileOpen = k.forms.InfoForm->isVisible() && k.w.Table().Count() == 1;
                TOvalButton* close = k.forms.InfoForm->BitBtn3;
                vx::testing::PointerTo(close, close->rect().center());
                QTest::mousePress(close, Qt::LeftButton, {}, close->rect().center());
                EXPECT_TRUE(close->Down());  // pressing sinks it
                QTest::mouseRelease(close, Qt::LeftButton, {}, close->rect().center());
                if (k.forms.InfoForm->isVisible()) k.forms.InfoForm->reject();
            });
            TriggerAction(k.w, "About1");
        });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"x"_s, 0, 30); }, k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_TRUE(rowsFrozenWhileOpen);
    EXPECT_FALSE(k.forms.InfoForm->isVisible());
    EXPECT_EQ(k.w.Table().Count(), 1);
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
}

// Every command that shows a modal box stops a run first: the run would
// otherwise wait behind the box. Seen from inside each box.
TEST(MainWindow, ModalCommandsStopARunFirst) {
    for (const char* command : {"Preferences1", "Comparewith1"}) {
        Services services;
        Window k;
        std::optional<bool> stoppedWhenShown;
        FileDialogs::AnswerNext compare(
            FileDialogs::AnswerNext::Open,
            [&](QWidget*, const QString&, const QString&, const QString&) {
                stoppedWhenShown = k.forms.stop.Requested();
                return FileDialogs::Choice{};
            });
        QTimer modal;
        QObject::connect(&modal, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                box && box != &k.d) {
                stoppedWhenShown = k.forms.stop.Requested();
                box->reject();
            }
        });
        modal.start(5);
        QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
            if (k.w.Table().Count() == 1)
                QTimer::singleShot(0, [&] { TriggerAction(k.w, command); });
        });
        WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"x"_s, 0, 30); }, k.d);
        ClickButton(k.w, "BitBtn2");
        ASSERT_TRUE(stoppedWhenShown.has_value()) << command;
        EXPECT_TRUE(*stoppedWhenShown) << command;
        // The rows in progress (four at once) are completed, no more.
        EXPECT_LE(k.w.Table().Count(), 4) << command;
        EXPECT_EQ(k.w.StatusText(), u"Stopped"_s) << command;
    }
}

// The save question waits for the run: Exit during a run stops it, and
// only once it has returned, every row completed, is the user asked; what
// Save writes is what the table shows.
TEST(MainWindow, TheSaveQuestionComesAfterTheRunEnded) {
    Services services;
    Window k;
    // Without the history the table is all there is of the run: asked.
    Preferences off = LoadPreferences(k.forms.store);
    off.keepHistory = false;
    SavePreferences(k.forms.store, off);
    k.w.show();
    const std::string path = k.dir.File("saved.bki");
    bool runningWhenAsked = true;
    Prompts::AnswerNext save(Prompts::Answer::Save);
    FileDialogs::AnswerNext where(FileDialogs::AnswerNext::Save,
                                  [&](QWidget*, const QString&, const QString&, const QString&) {
                                      runningWhenAsked = k.w.RunActive();
                                      return FileDialogs::Choice{QString::fromStdString(path), {}};
                                  });
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.Table().Count() == 2) QTimer::singleShot(0, [&] { TriggerAction(k.w, "Exit1"); });
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 2, 30); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_TRUE(save.Used());
    EXPECT_FALSE(runningWhenAsked);
    EXPECT_FALSE(k.w.isVisible());
    ResultsTable saved;
    ASSERT_TRUE(LoadInvestigationFile(path, saved));
    ASSERT_EQ(saved.Count(), k.w.Table().Count());
    for (int i = 0; i < saved.Count(); ++i) {
        EXPECT_EQ(k.w.Table().At(i).ColumnCount(), 6) << i;
        EXPECT_EQ(saved.At(i).Columns(), k.w.Table().At(i).Columns()) << i;
    }
}

// The status bar during a run: the row's page of its depth in words, a
// progress bar clear of the window's edge, and no sort arrow over rows that
// come in suggestion order.
TEST(MainWindow, TheStatusBarSaysWhichPageAndTheSortArrowGoes) {
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    Services services;
    Window k;
    k.w.show();
    k.w.ListView1ColumnClick(1);
    ASSERT_TRUE(k.w.ListView1->horizontalHeader()->isSortIndicatorShown());
    QSet<QString> said;
    int rightMargin = -1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!k.w.PagesLabel()->text().isEmpty()) said.insert(k.w.PagesLabel()->text());
        if (k.w.RunProgressBar()->isVisible())
            rightMargin = k.w.statusBar()->width() - k.w.RunProgressBar()->geometry().right() - 1;
    });
    watch.start(1);
    WhenDialogShows(
        [](TStartForm& d) { Investigate(d, u"shoes"_s, u"never-listed.example"_s, 2, 3); }, k.d);
    ClickButton(k.w, "BitBtn2");
    watch.stop();
    EXPECT_FALSE(k.w.ListView1->horizontalHeader()->isSortIndicatorShown());
    ASSERT_FALSE(said.isEmpty());
    for (const QString& text : said)
        EXPECT_TRUE(QRegularExpression(u"^page [1-3] of 3$"_s).match(text).hasMatch())
            << text.toStdString();
    EXPECT_GE(rightMargin, 6);
}

// View > Competitors: every host of the terms' top results with the
// figures the results layer computes, the user's site marked, a host's
// terms on choosing it, and the table as CSV.
TEST(MainWindow, CompetitorsShowWhoRanksInstead) {
    Services services;
    Window k;
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"seo tools"_s, u"example.com"_s, 1, 8); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    TriggerAction(k.w, "Competitors1");
    TCompetitorsForm* form = k.w.CompetitorsForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    const std::vector<Competitor> want = Competitors(k.w.Table(), "example.com");
    ASSERT_FALSE(want.empty());
    ASSERT_EQ(form->Hosts()->rowCount(), static_cast<int>(want.size()));
    // The strongest competitor first.
    EXPECT_EQ(form->Hosts()->item(0, 0)->data(Qt::UserRole).toString().toStdString(),
              want.front().host);
    // A first click on a number puts its largest first.
    QHeaderView* header = form->Hosts()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + header->sectionSize(1) / 2,
                             header->height() / 2));
    int most = 0;
    for (const Competitor& c : want) most = std::max(most, c.terms);
    EXPECT_EQ(form->Hosts()->item(0, 1)->text().toInt(), most);
    int own = -1;
    for (int i = 0; i < form->Hosts()->rowCount(); ++i)
        if (form->Hosts()->item(i, 0)->text() == u"example.com (your site)"_s) own = i;
    ASSERT_GE(own, 0);
    // Where the user's site stands, said whatever the sort.
    size_t place = 0;
    while (place < want.size() && !want[place].own) ++place;
    EXPECT_TRUE(form->findChild<QLabel*>(u"CompetitorsStatus"_s)
                    ->text()
                    .contains(u"; your site example.com is number %1 by share ("_s.arg(place + 1)))
        << form->findChild<QLabel*>(u"CompetitorsStatus"_s)->text().toStdString();
    form->Hosts()->selectRow(own);
    EXPECT_GE(form->Terms()->count(), 1);
    EXPECT_TRUE(form->Terms()->item(0)->text().contains(u": place "_s));
    // A term chosen in the main table: its top results beside, and as the
    // key term's tooltip.
    int ranked = -1;
    for (int i = 0; i < k.w.Table().Count() && ranked < 0; ++i)
        if (!k.w.Table().At(i).Top().empty()) ranked = i;
    ASSERT_GE(ranked, 0);
    k.w.ListView1->setCurrentIndex(k.w.ListView1->model()->index(ranked, 0));
    const auto& top = k.w.Table().At(ranked).Top();
    ASSERT_EQ(form->TermTop()->rowCount(), static_cast<int>(top.size()));
    EXPECT_EQ(form->TermTop()->item(0, 1)->text().toStdString().substr(0, top[0].url.size()),
              top[0].url);
    const QString tip = k.w.ListView1->model()->index(ranked, 0).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.endsWith(QStringLiteral("%1. %2")
                                 .arg(top.back().position)
                                 .arg(QString::fromStdString(top.back().url))))
        << tip.toStdString();
    const std::string csv = k.dir.File("competitors.csv");
    FileDialogs::AnswerNext save(FileDialogs::AnswerNext::Save,
                                 [&](QWidget*, const QString&, const QString&, const QString&) {
                                     return FileDialogs::Choice{QString::fromStdString(csv), {}};
                                 });
    QTest::mouseClick(form->findChild<QPushButton*>(u"ExportCompetitors"_s), Qt::LeftButton);
    QFile file(QString::fromStdString(csv));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The file as the window shows it: its order, its column names.
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_s);
    EXPECT_TRUE(lines[0].endsWith(u"Site,Terms in top 10,Average place,Traffic share,Your site"_s))
        << lines[0].toStdString();
    for (int i = 0; i < form->Hosts()->rowCount(); ++i)
        EXPECT_TRUE(lines[i + 1].startsWith(
            form->Hosts()->item(i, 0)->data(Qt::UserRole).toString() + u","_s))
            << i;
}

// The history keeps every run, so the save question comes only when the
// table holds what the history does not, and says what that is.
TEST(MainWindow, TheSaveQuestionOnlyWhenSomethingWouldBeLost) {
    Services services;
    TempDir data;
    vx::testing::ScopedEnv ownHistory("XDG_DATA_HOME", data.path());
    Window k;
    auto run = [&k] {
        WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 0, 3); },
                        k.d);
        ClickButton(k.w, "BitBtn2");
    };
    run();
    ASSERT_EQ(k.w.Table().Count(), 3);
    EXPECT_FALSE(k.w.Modified()) << k.w.StatusText().toStdString();  // recorded: opened again
    TriggerAction(k.w, "SelectNone1");
    ASSERT_TRUE(k.w.Modified());
    {
        Prompts::AnswerNext discard(Prompts::Answer::Discard);
        run();
        EXPECT_TRUE(discard.Used());
        EXPECT_EQ(
            discard.Question(),
            u"The check marks or the order changed since the run was recorded in the history."_s);
    }
    Preferences off = LoadPreferences(k.forms.store);
    off.keepHistory = false;
    SavePreferences(k.forms.store, off);
    run();
    Prompts::AnswerNext cancel(Prompts::Answer::Cancel);
    TriggerAction(k.w, "Start1");
    EXPECT_EQ(cancel.Question(),
              u"The history is off in Preferences, so these results are kept nowhere."_s);
}

// File > Import keywords... researches a list the user has, with the site
// and depth the Investigate dialog asks for; a file that is no list says
// why and changes nothing.
TEST(MainWindow, ImportResearchesAListAndABadFileChangesNothing) {
    Services services;
    Window k;
    const std::string list = k.dir.File("list.txt"), bad = k.dir.File("picture.png");
    vx::testing::WriteFile(list, "cheap shoes\t1,000\n\nred shoes\nCheap Shoes\n");
    vx::testing::WriteFile(bad, std::string("\x89PNG\r\n\x1A\n\0\0", 10));
    QString asked;
    bool seedAsked = true;
    for (const std::string& path : {list, bad}) {
        FileDialogs::AnswerNext answer(
            FileDialogs::AnswerNext::Open,
            [&](QWidget*, const QString&, const QString&, const QString&) {
                return FileDialogs::Choice{QString::fromStdString(path), {}};
            });
        WhenDialogShows(
            [&](TStartForm& d) {
                // A list's research asks for the site and depth only.
                asked = d.findChild<QLabel*>(u"ListNote"_s)->text();
                seedAsked = !d.LabeledEdit1->isHidden();
                Investigate(d, u"shoes"_s, u"example.com"_s, 1, 2);
            },
            k.d);
        TriggerAction(k.w, "Import1");
    }
    EXPECT_EQ(asked, u"Research 2 terms from list.txt"_s);
    EXPECT_FALSE(seedAsked);
    ASSERT_EQ(k.w.Table().Count(), 2);  // the list's, kept through the bad file
    EXPECT_EQ(k.w.Table().At(0).KeyTerm(), "cheap shoes");
    EXPECT_EQ(k.w.Table().At(0).Column(0), "1,000");
    EXPECT_EQ(k.w.Table().At(1).Column(0), "?");
    EXPECT_NE(k.w.Table().At(0).Column(1), "?");
    // The run told its rows of the list's, and its time.
    EXPECT_TRUE(k.w.RunTimeLabel()->text().startsWith(u"2 of 2 rows, 0:0"_s))
        << k.w.RunTimeLabel()->text().toStdString();
    EXPECT_TRUE(k.w.StatusText().startsWith(u"Could not import "_s))
        << k.w.StatusText().toStdString();
    EXPECT_TRUE(k.w.StatusText().contains(u"not a table of terms"_s));
}

// A search service that never answers: after three fetches in a row without
// an answer the run gives up, says on which service, and keeps its rows; the
// next run against a good service fills the table as ever.
TEST(MainWindow, GivesUpOnAStallingSearchServiceAndStaysUsable) {
    // The rule of three fetches in a row, not the retries before each.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    vx::testing::ScopedEnv noRetries("VEXORIN_RETRIES", "0");
    Services services;  // suggestions answer; searches go to a stalling server
    vx::testing::ScriptServer stalling({vx::testing::Step::StallForever()});
    const std::string bad = "127.0.0.1:" + std::to_string(stalling.port());
    std::optional<vx::testing::ScopedEnv> search;
    search.emplace("VEXORIN_SEARCH_HOST", bad);
    Window k;
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 0, 10); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(k.w.StatusText(), QStringLiteral("The search service at %1 is not answering.")
                                    .arg(QString::fromStdString(bad)));
    // Row 1: competition and one rank page without an answer; row 2's
    // competition is the third: it is completed with "?" and the run ends.
    ASSERT_EQ(k.w.Table().Count(), 2);
    EXPECT_EQ(k.w.Table().At(0).Column(1), "?");
    EXPECT_EQ(k.w.Table().At(0).Column(3), "?");  // nothing came back: unknown, not "not found"
    EXPECT_EQ(k.w.Table().At(1).Column(3), "?");
    search.reset();  // the good service again
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 0, 3); }, k.d);
    ClickButton(k.w, "BitBtn2");
    ASSERT_EQ(k.w.Table().Count(), 3);
    EXPECT_NE(k.w.Table().At(0).Column(1), "?");
    EXPECT_EQ(k.w.StatusText(), u"Done!"_s);
}

// A fetch that keeps the run waiting says so in the status bar, in whole
// seconds, and the status before it comes back with the answer.
TEST(MainWindow, ALongWaitIsShownInTheStatusBar) {
    using vx::testing::Step;
    BackgroundFetcher fetcher;
    std::vector<Step> trickle{Step::Bytes("HTTP/1.1 200 OK\r\n")};
    for (int i = 0; i < 7; ++i)
        trickle.insert(trickle.end(), {Step::Pause(400), Step::Bytes("X: y\r\n")});
    trickle.push_back(Step::Bytes("Content-Length: 2\r\n\r\nok"));
    vx::testing::ScriptServer slow(trickle);
    std::vector<int> told;
    fetcher.onWaiting = [&](const std::string& url, int seconds) {
        EXPECT_NE(url.find("/search?"), std::string::npos);
        told.push_back(seconds);
    };
    fetcher.BeginRun();
    EXPECT_EQ(fetcher.Fetch(slow.Url("/search?p=x")).body, "ok");
    ASSERT_GE(told.size(), 2u);
    EXPECT_EQ(told.front(), 2);
    EXPECT_EQ(told.back(), -1);

    // The window words it for the service and puts the term back after.
    Window k;
    k.w.SetStatusText("red shoes");
    auto& f = k.w.Fetcher();
    f.onWaiting("http://h/search?p=x", 3);
    EXPECT_EQ(k.w.StatusText(), u"Waiting for the search service\u2026 3 s"_s);
    f.onWaiting("http://h/search?p=x", -1);
    EXPECT_EQ(k.w.StatusText(), u"red shoes"_s);
}

TEST(EscapeKey, APressIsRememberedUntilForgotten) {
    QWidget w;
    w.show();
    EscapeKey& key = EscapeKey::Instance();
    int presses = 0;
    key.SetPressHandler([&] { ++presses; });
    key.Forget();
    EXPECT_FALSE(key.EscapeDown());
    QTest::keyClick(&w, Qt::Key_Escape);  // press and release before any check
    EXPECT_TRUE(key.EscapeDown());
    EXPECT_TRUE(key.EscapeDown());  // every later check point sees it too
    EXPECT_EQ(presses, 1);
    key.Forget();
    EXPECT_FALSE(key.EscapeDown());
    QTest::keyPress(&w, Qt::Key_Escape);
    key.Forget();
    EXPECT_TRUE(key.EscapeDown());  // still held
    QTest::keyRelease(&w, Qt::Key_Escape);
    EXPECT_FALSE(key.EscapeDown());
    key.SetPressHandler(nullptr);
}

// During a run an Escape counts only when it reaches the main window or its
// table; closing a menu or a dialog with it ends nothing.
TEST(EscapeKey, OnlyAPressForTheMainWindowCounts) {
    Window k;
    k.w.show();
    k.w.activateWindow();
    EscapeKey& key = EscapeKey::Instance();
    key.SetHome(&k.w);
    QMenu* file = k.w.findChild<QMenu*>(u"File1"_s);
    ASSERT_NE(file, nullptr);
    QWidget other;
    other.show();
    struct Case {
        const char* name;
        std::function<void()> press;
        bool counts;
    } cases[] = {
        {"the table", [&] { QTest::keyClick(k.w.ListView1, Qt::Key_Escape); }, true},
        {"the window", [&] { QTest::keyClick(&k.w, Qt::Key_Escape); }, true},
        {"an open menu",
         [&] {
             file->popup(k.w.mapToGlobal(QPoint(10, 10)));
             QTest::keyClick(file, Qt::Key_Escape);
             file->hide();
         },
         false},
        {"another window", [&] { QTest::keyClick(&other, Qt::Key_Escape); }, false},
        {"the Investigate dialog",
         [&] {
             WhenDialogShows([](TStartForm& d) { QTest::keyClick(&d, Qt::Key_Escape); }, k.d);
             k.d.exec();
         },
         false},
    };
    for (const auto& c : cases) {
        key.Forget();
        c.press();
        EXPECT_EQ(key.EscapeDown(), c.counts) << c.name;
    }
    key.SetHome(nullptr);
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// Results are never lost without asking: Exit, the close box, Open and Start
// ask when the table was changed after the last open or save, and only then.
TEST(MainWindow, AsksBeforeModifiedResultsAreLost) {
    using Prompts::Answer;
    enum class Change { None, RunRows, Check, Sort, Opened };
    enum class Command { Exit, CloseBox, Open, Start };
    struct Case {
        Change change;
        Command command;
        std::optional<Answer> answer;  // none: no question may be asked
        bool proceeds;
    } cases[] = {
        {Change::None, Command::Exit, std::nullopt, true},
        {Change::Opened, Command::Exit, std::nullopt, true},
        {Change::RunRows, Command::Exit, Answer::Cancel, false},
        {Change::RunRows, Command::CloseBox, Answer::Cancel, false},
        {Change::Check, Command::CloseBox, Answer::Discard, true},
        {Change::Sort, Command::Open, Answer::Cancel, false},
        {Change::RunRows, Command::Open, Answer::Discard, true},
        {Change::Check, Command::Start, Answer::Cancel, false},
        {Change::Sort, Command::Start, Answer::Save, true},
    };
    for (const auto& c : cases) {
        const std::string label = std::to_string(static_cast<int>(c.change)) + "/" +
                                  std::to_string(static_cast<int>(c.command));
        Window k;
        k.w.show();
        ResultsTable& t = k.w.Table();
        const std::string saved = k.dir.File("saved.bki");
        vx::testing::WriteFile(saved, "[item0]\nkeyterm=b\ncheck=1\n[item1]\nkeyterm=a\n");
        if (c.change != Change::None) {
            FileDialogs::AnswerNext open(
                FileDialogs::AnswerNext::Open,
                [&](QWidget*, const QString&, const QString&, const QString&) {
                    return FileDialogs::Choice{QString::fromStdString(saved), {}};
                });
            TriggerAction(k.w, "Open1");
            ASSERT_EQ(t.Count(), 2) << label;
        }
        if (c.change == Change::RunRows) t.SetKeyTerm(t.Append(), "new row");
        if (c.change == Change::Check) t.SetCheckedAt(0, false);
        if (c.change == Change::Sort) k.w.ListView1ColumnClick(colKeyTerm);
        const int rows = t.Count();

        Prompts::AnswerNext answer(c.answer.value_or(Answer::Cancel));
        bool chooserShown = false, savedAgain = false;
        FileDialogs::AnswerNext open(FileDialogs::AnswerNext::Open,
                                     [&](QWidget*, const QString&, const QString&, const QString&) {
                                         chooserShown = true;
                                         return FileDialogs::Choice{};
                                     });
        FileDialogs::AnswerNext save(
            FileDialogs::AnswerNext::Save,
            [&](QWidget*, const QString&, const QString&, const QString& f) {
                savedAgain = true;
                return FileDialogs::Choice{QString::fromStdString(k.dir.File("again.bki")), f};
            });
        bool dialogShown = false;
        // Armed only where the dialog will show: an answer left waiting
        // would outlive this window.
        if (c.command == Command::Start && c.proceeds)
            WhenDialogShows(
                [&](TStartForm& d) {
                    dialogShown = true;
                    QTest::mouseClick(d.BitBtn2, Qt::LeftButton);
                },
                k.d);
        switch (c.command) {
            case Command::Exit:
                TriggerAction(k.w, "Exit1");
                break;
            case Command::CloseBox:
                k.w.close();
                break;
            case Command::Open:
                TriggerAction(k.w, "Open1");
                break;
            case Command::Start:
                QTest::mouseClick(k.w.BitBtn2, Qt::LeftButton);
                break;
        }
        EXPECT_EQ(answer.Used(), c.answer.has_value()) << label;
        EXPECT_EQ(t.Count(), rows) << label;
        const bool proceeded = c.command == Command::Open    ? chooserShown
                               : c.command == Command::Start ? dialogShown || k.d.isVisible()
                                                             : !k.w.isVisible();
        EXPECT_EQ(proceeded, c.proceeds) << label;
        EXPECT_EQ(savedAgain, c.answer == Answer::Save) << label;
        EXPECT_TRUE(!savedAgain || !k.w.Modified()) << label;
    }
    EXPECT_EQ(Window().w.windowTitle(), u"Vexorin"_s);
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// A status text of any length is elided into its place: the fixed window
// never changes its size or place, and the whole text is in the tooltip.
TEST(MainWindow, LongStatusTextsNeverStretchTheWindow) {
    Services services;
    Window k;
    k.w.show();
    QCoreApplication::processEvents();
    const QRect before = k.w.geometry();
    const QString longTerm = QString(300, u'w');
    WhenDialogShows([&](TStartForm& d) { Investigate(d, longTerm, u"example.com"_s, 0, 2); }, k.d);
    QSize during;
    QTimer::singleShot(50, [&] { during = k.w.size(); });
    QTest::mouseClick(k.w.BitBtn2, Qt::LeftButton);
    k.w.SetStatusText(std::string(300, 'x'));
    QTest::qWait(50);  // layout requests are posted events
    EXPECT_EQ(k.w.geometry(), before);
    EXPECT_TRUE(!during.isValid() || during == before.size());
    auto* panel = k.w.findChild<ElidedLabel*>(u"StatusPanel"_s);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->toolTip(), QString(300, u'x'));
    EXPECT_TRUE(panel->Elided());
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// The keyboard habits of a desktop application: an access key for every
// menu, the standard shortcuts, F5 for Start, Enter on a focused button,
// and sorting without a mouse.
TEST(MainWindow, KeyboardHabits) {
    Window first;
    for (QAction* menu : first.w.menuBar()->actions())
        EXPECT_TRUE(menu->text().contains(u'&')) << menu->text().toStdString();
    struct Case {
        const char* name;
        std::function<void(TForm1&)> keys;
        enum { OpenChooser, SaveChooser, Dialog, Sorted } effect;
    } cases[] = {
        {"Ctrl+O", [](TForm1& w) { QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier); },
         Case::OpenChooser},
        {"Ctrl+S", [](TForm1& w) { QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier); },
         Case::SaveChooser},
        {"F5", [](TForm1& w) { QTest::keyClick(&w, Qt::Key_F5); }, Case::Dialog},
        {"Enter on Start",
         [](TForm1& w) {
             w.BitBtn2->setFocus();
             QTest::keyClick(w.BitBtn2, Qt::Key_Return);
         },
         Case::Dialog},
        {"Sort by Demand", [](TForm1& w) { TriggerAction(w, "SortBy1"); }, Case::Sorted},
    };
    for (const auto& c : cases) {
        Window k;
        k.w.show();
        QApplication::setActiveWindow(&k.w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&k.w));
        for (const char* demand : {"5", "50"}) {
            const RowId id = k.w.Table().Append();
            k.w.Table().SetKeyTerm(id, demand);
            k.w.Table().AppendColumn(id, demand);
        }
        bool open = false, save = false, dialog = false;
        FileDialogs::AnswerNext o(FileDialogs::AnswerNext::Open,
                                  [&](QWidget*, const QString&, const QString&, const QString&) {
                                      open = true;
                                      return FileDialogs::Choice{};
                                  });
        FileDialogs::AnswerNext s(FileDialogs::AnswerNext::Save,
                                  [&](QWidget*, const QString&, const QString&, const QString&) {
                                      save = true;
                                      return FileDialogs::Choice{};
                                  });
        if (c.effect == Case::Dialog)
            WhenDialogShows(
                [&](TStartForm& d) {
                    dialog = true;
                    QTest::mouseClick(d.BitBtn2, Qt::LeftButton);
                },
                k.d);
        c.keys(k.w);
        QCoreApplication::processEvents();
        EXPECT_EQ(open, c.effect == Case::OpenChooser) << c.name;
        EXPECT_EQ(save, c.effect == Case::SaveChooser) << c.name;
        EXPECT_EQ(dialog, c.effect == Case::Dialog) << c.name;
        EXPECT_EQ(k.w.Table().At(0).KeyTerm(), c.effect == Case::Sorted ? "50" : "5") << c.name;
    }
    Window k;
    EXPECT_EQ(k.w.findChild<QAction*>(u"Exit1"_s)->shortcut(), QKeySequence(QKeySequence::Quit));
    // Escape shown as Stop's key, not written into its name.
    EXPECT_EQ(k.w.findChild<QAction*>(u"Stop1"_s)->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(k.w.findChild<QAction*>(u"Stop1"_s)->text().contains(u'\t'));
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// Numbers line up on the right, the sorted column says which way it sorts,
// and Start and Stop say what they do.
TEST(MainWindow, ColumnsAndButtonsExplainThemselves) {
    Window k;
    const RowId id = k.w.Table().Append();
    k.w.Table().SetKeyTerm(id, "a");
    k.w.Table().AppendColumn(id, "5");
    auto* m = k.w.ListView1->model();
    for (int c = 0; c < kColumnCount; ++c) {
        const auto align = m->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(align & Qt::AlignHorizontal_Mask,
                  c == colKeyTerm ? Qt::AlignLeft : Qt::AlignRight)
            << c;
    }
    QHeaderView* header = k.w.ListView1->horizontalHeader();
    EXPECT_FALSE(header->isSortIndicatorShown());
    for (const auto& [column, order] : {std::pair{colDemand, Qt::DescendingOrder},
                                        {colRank, Qt::AscendingOrder},
                                        {colKeyTerm, Qt::AscendingOrder}}) {
        TriggerAction(k.w, ("SortBy" + std::to_string(column)).c_str());
        EXPECT_TRUE(header->isSortIndicatorShown());
        EXPECT_EQ(header->sortIndicatorSection(), column);
        EXPECT_EQ(header->sortIndicatorOrder(), order) << column;
    }
    EXPECT_FALSE(k.w.BitBtn2->toolTip().isEmpty());
    EXPECT_FALSE(k.w.StopBtn->toolTip().isEmpty());
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// The choosers start where the user's files are: the folder last used for
// that kind of file, kept across runs of the program, else the documents
// folder; Save suggests a name from the seed keyword; a keyword list saved
// as CSV without a suffix gets ".csv".
TEST(MainWindow, FileChoosersStartWhereTheUsersFilesAre) {
    TempDir home;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString first = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    const QString bkiFolder = QString::fromStdString(home.File("bki"));
    const QString listFolder = QString::fromStdString(home.File("lists"));
    QDir().mkpath(bkiFolder);
    QDir().mkpath(listFolder);
    std::string settings;
    {
        Window k;
        settings = k.dir.File("settings.reg");
        k.d.LabeledEdit1->setText(u"red/shoes"_s);
        QString seen;
        FileDialogs::AnswerNext save(
            FileDialogs::AnswerNext::Save,
            [&](QWidget*, const QString&, const QString& folder, const QString& f) {
                seen = folder;
                return FileDialogs::Choice{bkiFolder + u"/a.bki"_s, f};
            });
        TriggerAction(k.w, "Save1");
        EXPECT_EQ(seen, first + u"/red_shoes.bki"_s);
        FileDialogs::AnswerNext list(
            FileDialogs::AnswerNext::Save,
            [&](QWidget*, const QString&, const QString& folder, const QString&) {
                seen = folder;
                return FileDialogs::Choice{listFolder + u"/k"_s, u"CSV table (*.csv)"_s};
            });
        TriggerAction(k.w, "Savetotextfile1");
        EXPECT_EQ(seen, first + u"/red_shoes.txt"_s);  // its own kind: not the .bki folder
        EXPECT_TRUE(QFileInfo::exists(listFolder + u"/k.csv"_s));
        // The settings file holds them; a copy of the program started later
        // starts there.
        vx::testing::WriteFile(home.File("settings.reg"), vx::testing::ReadFile(settings));
    }
    TempDir again;
    Forms forms('.', home.File("settings.reg"));
    QString seen;
    FileDialogs::AnswerNext open(
        FileDialogs::AnswerNext::Open,
        [&](QWidget*, const QString&, const QString& folder, const QString&) {
            seen = folder;
            return FileDialogs::Choice{};
        });
    TriggerAction(*forms.Form1, "Open1");
    EXPECT_EQ(seen, bkiFolder);
    EXPECT_NE(seen, forms.Form1->AppDir());
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// The banner has as many pixels as the screen shows: painted at 2x for a
// ratio of 2, not a 1x picture blurred up (run at both ratios).
TEST(MainWindow, BannerAtTheScreensRatio) {
    Window k;
    const qreal dpr = k.w.devicePixelRatioF();
    const QPixmap banner = k.w.Image1->pixmap();
    EXPECT_EQ(banner.devicePixelRatio(), dpr > 1 ? 2.0 : 1.0);
    EXPECT_EQ(banner.width(), dpr > 1 ? 980 : 490);
    EXPECT_EQ(banner.deviceIndependentSize().toSize(), QSize(490, 55));
}

}  // namespace
}  // namespace vx::ui

namespace vx::ui {
namespace {

// Keyboard focus can be seen on every control that takes it.
TEST(MainWindow, KeyboardFocusIsVisible) {
    Window k;
    k.w.show();
    QApplication::setActiveWindow(&k.w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&k.w));
    for (QWidget* control : {static_cast<QWidget*>(k.w.BitBtn2), static_cast<QWidget*>(k.w.StopBtn),
                             static_cast<QWidget*>(k.w.ListView1)}) {
        // The control and a little around it, as the window shows them.
        QWidget* area = k.w.centralWidget();
        const QRect around =
            QRect(control->mapTo(area, QPoint(0, 0)), control->size()).adjusted(-3, -3, 3, 3);
        k.w.setFocus();
        QCoreApplication::processEvents();
        const QImage without = area->grab(around).toImage();
        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        EXPECT_NE(area->grab(around).toImage(), without) << control->objectName().toStdString();
    }
}

}  // namespace
}  // namespace vx::ui
