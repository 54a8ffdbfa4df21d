// The research history in the window: runs recorded as they end, listed,
// opened and deleted; a term's trend; and the table compared with an older
// investigation.
#include <gtest/gtest.h>

#include <QAccessible>

#include <QAbstractAxis>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QValueAxis>
#include <chrono>

#include "history/history_choice.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "loopback/script_server.h"
#include "results/atomic_file.h"
#include "results/competitors.h"
#include "results/investigation_file.h"
#include "results/preferences.h"
#include "results/settings_store.h"
#include "results/top_results.h"
#include "support/scoped_env.h"
#include "ui/forms/ClustersForm.h"
#include "ui/forms/ResultsModel.h"
#include "ui/history/HistoryForm.h"
#include "ui/platform/FileDialogs.h"
#include "ui/platform/Prompts.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

QDateTime When(const QString& iso) {
    return QDateTime::fromString(iso, Qt::ISODate);
}

// A history of the test's own.
struct OwnHistory {
    TempDir dir;
    vx::testing::ScopedEnv data{"XDG_DATA_HOME", dir.path()};
    std::vector<HistoryRun> Runs() const {
        return HistoryStore(HistoryStore::DefaultPath()).Runs();
    }
};

void RunInWindow(Window& k) {
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"shoes.example"_s, 1, 4); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    if (k.w.History()) k.w.History()->Flush();
}

TEST(History, RunsAreRecordedListedOpenedAndDeleted) {
    Services services;
    OwnHistory history;
    Window k;
    RunInWindow(k);
    ASSERT_EQ(k.w.Table().Count(), 4);
    std::vector<HistoryRun> runs = history.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].seed, "shoes");
    EXPECT_EQ(runs[0].site, "shoes.example");
    EXPECT_EQ(runs[0].rows, 4);
    EXPECT_EQ(runs[0].ended, "done");
    EXPECT_EQ(runs[0].parallel, 4);  // the shipped default

    // Not kept when the preferences say so.
    Preferences p = LoadPreferences(k.forms.store);
    p.keepHistory = false;
    SavePreferences(k.forms.store, p);
    RunInWindow(k);
    EXPECT_EQ(history.Runs().size(), 1u);

    TriggerAction(k.w, "History1");
    THistoryForm* form = k.w.HistoryForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    auto* list = form->findChild<QTableWidget*>(u"RunList"_s);
    ASSERT_EQ(list->rowCount(), 1);
    EXPECT_EQ(list->item(0, 0)->text(), QStringLiteral("run %1").arg(runs[0].id));
    EXPECT_EQ(list->item(0, 1)->text(),
              QLocale().toString(
                  QDateTime::fromString(QString::fromStdString(runs[0].started), Qt::ISODate)
                      .toLocalTime(),
                  QLocale::ShortFormat));
    EXPECT_EQ(list->item(0, 2)->text(), u"shoes"_s);
    EXPECT_TRUE(list->verticalHeader()->isHidden());
    // The list has the room its columns need at the window's own size.
    QCoreApplication::processEvents();
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0)
        << list->width() << " header " << list->horizontalHeader()->length() << " form "
        << form->width() << " split " << form->findChild<QSplitter*>()->sizes()[0] << ","
        << form->findChild<QSplitter*>()->sizes()[1];
    EXPECT_EQ(form->findChild<QLabel*>(u"TermListCaption"_s)->buddy(),
              form->findChild<QWidget*>(u"TermList"_s));

    // Opened as a file opens: the rows, nothing to save.
    const QStringList terms = Column(k.w, 0);
    const std::string competitors = FormatCompetitorLines(Competitors(k.w.Table(), ""));
    ASSERT_FALSE(competitors.empty());
    k.w.Table().Clear();
    ClickButton(*form, "OpenRun");
    EXPECT_EQ(Column(k.w, 0), terms);
    EXPECT_EQ(FormatCompetitorLines(Competitors(k.w.Table(), "")), competitors);
    EXPECT_FALSE(k.w.Modified());

    // The pick stays on its run when another is recorded.
    p.keepHistory = true;
    SavePreferences(k.forms.store, p);
    RunInWindow(k);
    form->Refresh();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(form->SelectedRun(), runs[0].id);

    // Deleting asks first, naming the run.
    {
        Prompts::AnswerNext no(Prompts::Answer::No);
        ClickButton(*form, "DeleteRun");
        EXPECT_EQ(no.Question(), QStringLiteral("Delete the run of %1, \u201cshoes\u201d, 4 rows?")
                                     .arg(list->item(1, 1)->text()));
    }
    EXPECT_EQ(list->rowCount(), 2);
    list->selectRow(0);
    Prompts::AnswerNext yesNewest(Prompts::Answer::Yes);
    ClickButton(*form, "DeleteRun");
    list->selectRow(0);
    Prompts::AnswerNext yes(Prompts::Answer::Yes);
    ClickButton(*form, "DeleteRun");
    EXPECT_TRUE(yes.Used());
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_TRUE(history.Runs().empty());
}

// A run stopped while its suggestions load has no rows of its own: nothing
// is recorded (the table still holds the earlier run's rows), and the
// window says it was stopped.
TEST(History, ARunStoppedBeforeItsRowsIsNoRun) {
    Services services;
    OwnHistory history;
    Window k;
    RunInWindow(k);
    ASSERT_EQ(history.Runs().size(), 1u);
    vx::testing::ScriptServer stalling{
        {vx::testing::Step::Bytes("HTTP/1.1 200 OK\r\n\r\nsearches done "),
         vx::testing::Step::StallForever()}};
    vx::testing::ScopedEnv suggest("VEXORIN_SUGGEST_HOST",
                                   "127.0.0.1:" + std::to_string(stalling.port()));
    QTimer::singleShot(300, [&] { QTest::mouseClick(k.w.StopBtn, Qt::LeftButton); });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"coffee"_s, u"shoes.example"_s, 1, 4); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    k.w.History()->Flush();
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
    EXPECT_EQ(k.w.Table().Count(), 4);
    const std::vector<HistoryRun> runs = history.Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].seed, "shoes");
}

// Rank and competition over time: up is better on the rank axis, and "-"
// or "?" breaks a line instead of dropping it to zero.
TEST(History, ATermsTrendHasGapsAndUpIsBetter) {
    OwnHistory history;
    {
        HistoryStore store(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
        const char* ranks[] = {"9", "5", "-", "2"};
        for (int i = 0; i < 4; ++i) {
            HistoryRun run;
            run.started = "2026-12-0" + std::to_string(i + 1) + "T10:00:00Z";
            store.Record(
                run, {ResultRow("red shoes", {"100", "5000", "50", ranks[i], "1%", "1"}, true)});
        }
    }
    THistoryForm form(HistoryStore::DefaultPath());
    form.ShowTrend("Red Shoes");
    int rankPoints = 0, rankLines = 0;
    for (QAbstractSeries* s : form.TrendChart()->series()) {
        if (s->name() != u"Rank"_s) continue;
        ++rankLines;
        rankPoints += static_cast<int>(static_cast<QLineSeries*>(s)->count());
        for (QAbstractAxis* axis : s->attachedAxes()) {
            if (axis->orientation() == Qt::Vertical) {
                EXPECT_TRUE(static_cast<QValueAxis*>(axis)->isReverse());
            }
        }
    }
    EXPECT_EQ(rankLines, 2);   // 9, 5 | 2
    EXPECT_EQ(rankPoints, 3);  // no zero for "-"
    // The same in words, for a screen reader.
    QAccessibleInterface* view =
        QAccessible::queryAccessibleInterface(form.findChild<QWidget*>(u"TrendView"_s));
    EXPECT_EQ(view->text(QAccessible::Description),
              u"Red Shoes in 4 runs from 2026-12-01 to 2026-12-04; in the latest, rank 2, "
              "competition 5000, demand 100."_s);
}

// A run kept here for a shared history says where it waits to go.
TEST(History, WhatWaitsAndForWhere) {
    OwnHistory history;
    {
        HistoryStore store(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
        HistoryRun run;
        run.started = "2026-12-01T10:00:00Z";
        store.Record(run, {ResultRow("sent", {"1"}, true)});
        run.started = "2026-12-02T10:00:00Z";
        store.RecordPending(run, {ResultRow("kept", {"1"}, true)},
                            "postgresql://ann@db.example/team");
    }
    THistoryForm form(HistoryStore::DefaultPath());
    auto* list = form.findChild<QTableWidget*>(u"RunList"_s);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 5)->text(), u"done; waits for postgresql://ann@db.example/team"_s);
    EXPECT_EQ(list->item(1, 5)->text(), u"done"_s);
    EXPECT_EQ(form.findChild<QLabel*>(u"HistoryStatus"_s)->text(),
              u"2 runs; 1 waiting on this computer to be sent"_s);
}

// A shared history that never answers holds the window for no time: the
// list says it is reading, then shows this computer's runs with the reason,
// to look at only (the window opens and compares the shared one's).
TEST(History, ASharedHistoryThatDoesNotAnswerHoldsNothing) {
    OwnHistory history;
    HistoryStore(HistoryStore::DefaultPath(), HistoryStore::Use::Write)
        .Record(HistoryRun{}, {ResultRow("kept", {"1"}, true)});
    vx::testing::ScriptServer silent({vx::testing::Step::StallForever()});
    const auto opened = std::chrono::steady_clock::now();
    THistoryForm form("postgresql://ann@127.0.0.1:" + std::to_string(silent.port()) + "/team");
    EXPECT_LT(std::chrono::steady_clock::now() - opened, std::chrono::milliseconds(200));
    auto* status = form.findChild<QLabel*>(u"HistoryStatus"_s);
    EXPECT_EQ(status->text(), u"Reading the shared history\u2026"_s);
    for (int waited = 0; waited < 15000 && status->text().startsWith(u"Reading"_s); waited += 20)
        QTest::qWait(20);
    EXPECT_TRUE(status->text().endsWith(u"; this computer's runs are shown: 1 runs"_s))
        << status->text().toStdString();
    EXPECT_EQ(form.findChild<QTableWidget*>(u"RunList"_s)->rowCount(), 1);
    EXPECT_FALSE(form.findChild<QPushButton*>(u"OpenRun"_s)->isEnabled());
}

// The trend's axes read true: whole ranks, counts as plain numbers, and a
// time axis on which several runs of a day are several points.
TEST(History, TheTrendsAxesReadAsNumbersAndTimes) {
    OwnHistory history;
    struct Run {
        const char *when, *rank, *competition, *demand;
    } runs[] = {{"2026-12-07T09:00:00Z", "9", "5,000", "100"},
                {"2026-12-07T13:30:00Z", "5", "2000000", "?"},
                {"2026-12-07T18:45:00Z", "2", "80,000", "120"}};
    {
        HistoryStore store(HistoryStore::DefaultPath(), HistoryStore::Use::Write);
        for (const Run& r : runs) {
            HistoryRun run;
            run.started = r.when;
            store.Record(run, {ResultRow("red shoes",
                                         {r.demand, r.competition, "1", r.rank, "1%", "1"}, true)});
        }
    }
    THistoryForm form(HistoryStore::DefaultPath());
    form.ShowTrend("red shoes");
    QValueAxis* rank = nullptr;
    QCategoryAxis* counts = nullptr;
    QDateTimeAxis* time = nullptr;
    for (QAbstractAxis* a : form.TrendChart()->axes()) {
        if (auto* c = qobject_cast<QCategoryAxis*>(a))
            counts = c;
        else if (auto* v = qobject_cast<QValueAxis*>(a))
            rank = v;
        else if (auto* t = qobject_cast<QDateTimeAxis*>(a))
            time = t;
    }
    ASSERT_TRUE(rank && counts && time);
    EXPECT_TRUE(rank->isReverse());
    EXPECT_EQ(rank->tickType(), QValueAxis::TicksDynamic);
    EXPECT_EQ(rank->tickInterval(), 2.0);  // 1 to 9: every second place, no "1, 1, 2"
    EXPECT_EQ(rank->labelFormat(), u"%d"_s);
    EXPECT_EQ(counts->categoriesLabels(),
              (QStringList{u"100"_s, u"1 000"_s, u"10 000"_s, u"100 000"_s, u"1 M"_s, u"10 M"_s}));
    // Ticks an hour or more apart on one day: the time of day shows.
    EXPECT_EQ(time->format(), u"d MMM HH:mm"_s);
    int rankPoints = 0;
    for (QAbstractSeries* s : form.TrendChart()->series())
        if (s->name() == u"Rank"_s)
            rankPoints += static_cast<int>(static_cast<QXYSeries*>(s)->count());
    EXPECT_EQ(rankPoints, 3);
    EXPECT_EQ(RankTickInterval(8), 1);
    EXPECT_EQ(RankTickInterval(40), 5);
    EXPECT_EQ(CountText(1234567), u"1 234 567"_s);
    EXPECT_EQ(
        TimeScaleFor(When(u"2026-11-01T00:00:00Z"_s), When(u"2026-12-01T00:00:00Z"_s), 9).format,
        u"d MMM"_s);
    EXPECT_EQ(
        TimeScaleFor(When(u"2025-01-01T00:00:00Z"_s), When(u"2026-12-01T00:00:00Z"_s), 9).format,
        u"MMM yyyy"_s);
}

// View > Clusters: the table's terms by shared results, sortable, the
// chosen group's terms and shared results, K changeable, and the CSV in the
// window's order.
TEST(Clusters, TheWindowGroupsTheTableAndExportsWhatItShows) {
    Window k;
    auto row = [](const char* term, const char* demand, std::vector<std::string> links) {
        ResultRow r(term, {demand, "1", "1", "-", "0%", "0"}, true);
        r.SetTop(TopResultsOf(links));
        return r;
    };
    k.w.Table().ReplaceRows(
        {row("shoes", "900", {"https://a.example/", "https://b.example/", "https://c.example/"}),
         row("red shoes", "500",
             {"https://a.example/", "https://b.example/", "https://c.example/",
              "https://d.example/"}),
         row("zoo hats", "50", {"https://h.example/"})});
    TriggerAction(k.w, "Clusters1");
    TClustersForm* form = k.w.ClustersForm();
    ASSERT_NE(form, nullptr);
    QTableWidget* groups = form->Groups();
    ASSERT_EQ(groups->rowCount(), 2);
    EXPECT_EQ(groups->item(0, 0)->text(), u"shoes"_s);
    EXPECT_EQ(groups->item(0, 2)->text(), u"1400"_s);
    groups->selectRow(0);
    QStringList shown;
    for (int i = 0; i < form->Members()->count(); ++i) shown << form->Members()->item(i)->text();
    EXPECT_EQ(shown, (QStringList{u"shoes"_s, u"red shoes"_s, u"shared: a.example"_s,
                                  u"shared: b.example"_s, u"shared: c.example"_s}));
    groups->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(groups->item(0, 0)->text(), u"zoo hats"_s);
    const std::string csv = k.dir.File("clusters.csv");
    FileDialogs::AnswerNext save(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString&) {
            return FileDialogs::Choice{QString::fromStdString(csv), u"CSV table (*.csv)"_s};
        });
    ClickButton(*form, "ExportClusters");
    const std::string written = vx::testing::ReadFile(csv);
    EXPECT_NE(written.find("\r\nzoo hats,1,50,-,zoo hats,\r\nshoes,2,1400"), std::string::npos)
        << written;
    form->Overlap()->setValue(4);
    EXPECT_EQ(groups->rowCount(), 3);
    // A table that changes while the window is shown is followed once it settles.
    k.w.Table().ReplaceRows({row("boots", "5", {})});
    for (int waited = 0; waited < 2000 && groups->rowCount() != 1; waited += 20) QTest::qWait(20);
    EXPECT_EQ(groups->rowCount(), 1);
}

// Compared with an older file: each row's change, the gone terms greyed
// below, a sort by the change, and the change in the CSV.
TEST(History, TheTableComparedWithAnOlderInvestigation) {
    Window k;
    auto table = [](std::initializer_list<std::pair<const char*, const char*>> rows) {
        std::vector<ResultRow> out;
        for (const auto& [term, rank] : rows)
            out.emplace_back(term, std::vector<std::string>{"10", "100", "10", rank, "1%", "1"},
                             true);
        return out;
    };
    ResultsTable older;
    older.ReplaceRows(table({{"down", "2"}, {"up", "23"}, {"gone", "4"}}));
    const std::string oldFile = k.dir.File("old.bki");
    ASSERT_TRUE(WriteFileAtomically(oldFile, FormatInvestigationFile(older)));
    k.w.Table().ReplaceRows(table({{"down", "6"}, {"fresh", "1"}, {"up", "3"}}));
    FileDialogs::AnswerNext pick(FileDialogs::AnswerNext::Open,
                                 [&](QWidget*, const QString&, const QString&, const QString& f) {
                                     return FileDialogs::Choice{QString::fromStdString(oldFile), f};
                                 });
    TriggerAction(k.w, "Comparewith1");
    QAbstractItemModel* m = k.w.ListView1->model();
    ASSERT_EQ(m->columnCount(), 8);
    EXPECT_EQ(m->headerData(7, Qt::Horizontal).toString(), u"Change"_s);
    EXPECT_EQ(Column(k.w, 7), (QStringList{u"\u25BC 4"_s, u"new"_s, u"\u25B2 20"_s, u"gone"_s}));
    EXPECT_EQ(m->index(3, 0).data().toString(), u"gone"_s);
    EXPECT_EQ(m->index(3, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    EXPECT_TRUE(k.w.StatusText().contains(u"1 new, 1 gone"_s));

    QHeaderView* header = k.w.ListView1->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(7) + 5, header->height() / 2));
    EXPECT_EQ(Column(k.w, 0), (QStringList{u"up"_s, u"down"_s, u"fresh"_s, u"gone"_s}));

    const std::string csv = k.dir.File("compared.csv");
    FileDialogs::AnswerNext save(
        FileDialogs::AnswerNext::Save,
        [&](QWidget*, const QString&, const QString&, const QString&) {
            return FileDialogs::Choice{QString::fromStdString(csv), u"CSV table (*.csv)"_s};
        });
    // File > Export > CSV table: the rows as the window shows them, the
    // gone term too.
    TriggerAction(k.w, "ExportCsv1");
    QFile file(QString::fromStdString(csv));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u"\r\n"_s);
    EXPECT_TRUE(lines[0].endsWith(u",Checked,Change"_s));
    EXPECT_TRUE(lines[1].startsWith(u"up,"_s));
    EXPECT_TRUE(lines[1].endsWith(u",\u25B2 20"_s));
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[4].startsWith(u"gone,"_s)) << lines[4].toStdString();
    EXPECT_TRUE(lines[4].endsWith(u",0,gone"_s)) << lines[4].toStdString();
    // A screen reader hears the change in words.
    EXPECT_EQ(m->index(0, 7).data(Qt::AccessibleTextRole).toString(), u"up 20 places"_s);
    EXPECT_EQ(m->index(3, 7).data(Qt::AccessibleTextRole).toString(), u"gone"_s);
}

// With a shared history the window's runs go to the team's server, and the
// History window reads it, naming who recorded each run (run by
// with_postgres.sh; skipped without a server of the tests' own).
TEST(SharedHistoryWindow, RunsGoToTheTeamsHistory) {
    const QString url = qEnvironmentVariable("VEXORIN_TEST_PG_URL");
    if (url.isEmpty()) GTEST_SKIP() << "no PostgreSQL server of the tests' own";
    Services services;
    OwnHistory local;
    vx::testing::ScopedEnv shared("VEXORIN_HISTORY_URL", url.toStdString());
    OpenHistory(url.toStdString(), true)->Clear();
    Window k;
    RunInWindow(k);
    const auto runs = OpenHistory(url.toStdString(), false)->Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].seed, "shoes");
    EXPECT_EQ(runs[0].recordedBy, RecordedByHere());
    EXPECT_TRUE(local.Runs().empty());
    HistoryRun other = runs[0];
    other.uid.clear();
    other.recordedBy = "ann@desk";
    OpenHistory(url.toStdString(), true)->Record(other, {ResultRow("t", {"1"}, true)});
    TriggerAction(k.w, "History1");
    auto* list = k.w.HistoryForm()->findChild<QTableWidget*>(u"RunList"_s);
    // Read off the window's thread: the runs come when the server answers.
    for (int waited = 0; waited < 10000 && list->rowCount() < 2; waited += 20) QTest::qWait(20);
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_FALSE(list->isColumnHidden(6));
    EXPECT_EQ(list->item(0, 6)->text(), u"ann@desk"_s);
}

}  // namespace
}  // namespace vx::ui
