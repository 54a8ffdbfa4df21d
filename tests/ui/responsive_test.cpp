// The window keeps serving events while a fetch waits on a service that
// never answers, and Stop, Escape and the close box act at once.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <chrono>

#include "loopback/script_server.h"
#include "support/scoped_env.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Suggestions from the stand-in services; every search goes to a server
// that accepts and never answers.
struct StalledSearch {
    Services services;
    vx::testing::ScriptServer stalling{{vx::testing::Step::StallForever()}};
    vx::testing::ScopedEnv search{"VEXORIN_SEARCH_HOST",
                                  "127.0.0.1:" + std::to_string(stalling.port())};
};

// The largest lateness of a 20 ms timer while it runs.
struct TimerLateness {
    QTimer timer;
    Clock::time_point last = Clock::now();
    double worstMs = 0;
    int ticks = 0;
    TimerLateness() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            worstMs = std::max(worstMs, Ms(now - last) - 20);
            last = now;
            ++ticks;
        });
        timer.start();
    }
};

// Stop while the suggestions are still arriving ends the run there: no row
// is made of a page cut short, and the table keeps what it held.
TEST(Responsive, StopDuringTheSuggestionFetchEndsTheRunWithoutRows) {
    vx::testing::ScriptServer stalling{
        {vx::testing::Step::Bytes("HTTP/1.1 200 OK\r\n\r\nsearches done "
                                  "<td>&nbsp;5</td><td><a>a</a></td>"),
         vx::testing::Step::StallForever()}};
    Services services;
    vx::testing::ScopedEnv suggest("VEXORIN_SUGGEST_HOST",
                                   "127.0.0.1:" + std::to_string(stalling.port()));
    Window k;
    k.w.show();
    const RowId kept = k.w.Table().Append();
    k.w.Table().SetKeyTerm(kept, "kept");
    QTimer::singleShot(300, [&] { QTest::mouseClick(k.w.StopBtn, Qt::LeftButton); });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 4, 10); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
    ASSERT_EQ(k.w.Table().Count(), 1);
    EXPECT_EQ(k.w.Table().At(0).KeyTerm(), "kept");
}

TEST(Responsive, StopEndsAStalledFetchAtOnceWhileEventsFlow) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    StalledSearch stalled;
    Window k;
    k.w.show();
    TimerLateness lateness;
    Clock::time_point stoppedAt;
    bool progressShown = false;
    QTimer::singleShot(600, [&] {
        progressShown = k.w.RunProgressBar()->isVisible();
        stoppedAt = Clock::now();
        QTest::mouseClick(k.w.StopBtn, Qt::LeftButton);
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 4, 10); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    const auto ended = Clock::now();
    // Margins for a loaded machine; the benchmarks measure the figures.
    EXPECT_LT(Ms(ended - stoppedAt), 400);
    EXPECT_LT(lateness.worstMs, 250);
    EXPECT_GT(lateness.ticks, 20);  // it really ran while the fetch waited
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(k.w.RunProgressBar()->isVisible());  // the idle window has none
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
    ASSERT_EQ(k.w.Table().Count(), 1);  // the row in progress, completed with what it has
    EXPECT_EQ(k.w.Table().At(0).ColumnCount(), 6);
    EXPECT_EQ(k.w.Table().At(0).Column(3), "?");  // the stop cut its rank search
}

TEST(Responsive, AnEscapeTapEndsTheRunAfterThatRow) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    Services services(30);
    Window k;
    k.w.show();
    bool tapped = false;
    QObject::connect(k.w.ListView1->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (k.w.Table().Count() != 1 || tapped) return;
        tapped = true;
        // During the row's first rank page: press and release at once.
        QTimer::singleShot(45, [&] { QTest::keyClick(k.w.ListView1, Qt::Key_Escape); });
    });
    // "cheap shoes" ranks far down for the demo site: the search would go
    // on for pages, but the tap ends it.
    WhenDialogShows(
        [](TStartForm& d) { Investigate(d, u"shoes"_s, u"never-listed.example"_s, 19, 10); }, k.d);
    const auto t0 = Clock::now();
    ClickButton(k.w, "BitBtn2");
    EXPECT_TRUE(tapped);
    EXPECT_LT(Ms(Clock::now() - t0), 2000);
    ASSERT_EQ(k.w.Table().Count(), 1);
    EXPECT_EQ(k.w.Table().At(0).Column(3), "?");  // the stop cut its rank search
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
}

TEST(Responsive, TheCloseBoxEndsARunStalledInAFetch) {
    // About one row at a time: the run ends after the row in progress.
    vx::testing::ScopedEnv oneAtATime("VEXORIN_PARALLEL", "1");
    StalledSearch stalled;
    Window k;
    k.w.show();
    Clock::time_point closedAt;
    QTimer::singleShot(300, [&] {
        closedAt = Clock::now();
        k.w.close();
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 4, 10); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_LT(Ms(Clock::now() - closedAt), 650);  // not the 800 ms silence bound
    EXPECT_FALSE(k.w.isVisible());
    EXPECT_LE(k.w.Table().Count(), 1);
}

// Four rows looked up at once, every one stalled: Stop cancels them all at
// once, each row shown is completed with what it has, and the run ends.
TEST(Responsive, StopEndsEveryStalledLookupAtOnce) {
    StalledSearch stalled;
    vx::testing::ScopedEnv parallel("VEXORIN_PARALLEL", "4");
    Window k;
    k.w.show();
    TimerLateness lateness;
    Clock::time_point stoppedAt;
    int rowsShown = 0;
    QTimer::singleShot(600, [&] {
        rowsShown = k.w.Table().Count();
        stoppedAt = Clock::now();
        QTest::mouseClick(k.w.StopBtn, Qt::LeftButton);
    });
    WhenDialogShows([](TStartForm& d) { Investigate(d, u"shoes"_s, u"example.com"_s, 4, 10); },
                    k.d);
    ClickButton(k.w, "BitBtn2");
    EXPECT_LT(Ms(Clock::now() - stoppedAt), 400);
    EXPECT_LT(lateness.worstMs, 250);
    EXPECT_EQ(rowsShown, 4);
    EXPECT_EQ(k.w.StatusText(), u"Stopped"_s);
    ASSERT_EQ(k.w.Table().Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(k.w.Table().At(i).ColumnCount(), 6) << i;
        EXPECT_EQ(k.w.Table().At(i).Column(1), "?") << i;
        EXPECT_TRUE(k.w.Table().At(i).checked) << i;
    }
}

// The rows and all their texts are the same one at a time and eight at once.
TEST(Responsive, ParallelLookupsFillTheSameRows) {
    Services services(5);
    std::vector<QStringList> tables;
    for (const char* n : {"1", "8"}) {
        vx::testing::ScopedEnv parallel("VEXORIN_PARALLEL", n);
        Window k;
        WhenDialogShows(
            [](TStartForm& d) { Investigate(d, u"shoes"_s, u"shoes.example"_s, 2, 10); }, k.d);
        ClickButton(k.w, "BitBtn2");
        EXPECT_EQ(k.w.StatusText(), u"Done!"_s);
        QStringList rows;
        for (int c = 0; c < kColumnCount; ++c) rows += Column(k.w, c);
        tables.push_back(rows);
    }
    EXPECT_EQ(tables[0].size(), 70);
    EXPECT_EQ(tables[0], tables[1]);
}

}  // namespace
}  // namespace vx::ui
