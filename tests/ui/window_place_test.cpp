// Other windows open wholly on the main window's screen, beside it where
// there is room, where the user left them last, and close on Escape.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include "support/scoped_env.h"
#include "ui/history/HistoryForm.h"
#include "ui/platform/WindowPlace.h"
#include "ui_window.h"

namespace vx::ui {
namespace {

TEST(WindowPlace, WhollyOnTheScreenBesideTheMainWindowWhereThereIsRoom) {
    const QRect screen(0, 0, 1280, 1024);
    struct Case {
        const char* name;
        QSize size;
        QRect main;
        std::optional<QRect> saved;
        QRect placed;
    } cases[] = {
        {"right of it", {420, 500}, {0, 0, 800, 600}, {}, {808, 0, 420, 500}},
        {"left of it", {420, 500}, {840, 100, 400, 600}, {}, {412, 100, 420, 500}},
        // Neither side has room: as far right as the screen allows.
        {"over it", {560, 500}, {400, 0, 800, 600}, {}, {720, 0, 560, 500}},
        {"low main window", {420, 500}, {0, 900, 800, 100}, {}, {808, 524, 420, 500}},
        {"larger than the screen", {1600, 1200}, {0, 0, 800, 600}, {}, {0, 0, 1280, 1024}},
        {"saved", {420, 500}, {0, 0, 800, 600}, QRect(100, 80, 600, 400), {100, 80, 600, 400}},
        {"saved off the screen",
         {420, 500},
         {0, 0, 800, 600},
         QRect(3000, -50, 600, 400),
         {680, 0, 600, 400}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaceFor(c.size, c.main, screen, c.saved), c.placed) << c.name;
}

TEST(WindowPlace, HistoryKeepsItsPlaceAndClosesOnEscape) {
    TempDir dir;
    vx::testing::ScopedEnv ownHistory("XDG_DATA_HOME", dir.path());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QRect moved;
    {
        Forms forms('.', dir.File("settings.reg"));
        TForm1& w = *forms.Form1;
        w.show();
        TriggerAction(w, "History1");
        THistoryForm* history = w.HistoryForm();
        ASSERT_NE(history, nullptr);
        EXPECT_TRUE(area.contains(history->frameGeometry()));
        moved = QRect(area.left() + 10, area.top() + 20, 700, 500);
        history->move(moved.topLeft());
        history->resize(moved.size() - (history->frameGeometry().size() - history->size()));
        QApplication::setActiveWindow(history);
        QTest::keyClick(history, Qt::Key_Escape);
        EXPECT_FALSE(history->isVisible());
    }
    Forms forms('.', dir.File("settings.reg"));
    forms.Form1->show();
    TriggerAction(*forms.Form1, "History1");
    EXPECT_EQ(forms.Form1->HistoryForm()->frameGeometry(), moved);
}

}  // namespace
}  // namespace vx::ui
