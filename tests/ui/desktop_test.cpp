// The application as a desktop user meets it: the keyboard reaches every
// control in order, captions are exact, and nothing is clipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "ui/controls/URLLabel.h"
#include "ui/forms/InfoUnit.h"
#include "ui/platform/Shell.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

// The focus widget after each Tab (or Shift+Tab), starting from first.
QList<QWidget*> TabWalk(QWidget* window, QWidget* first, int steps, bool back = false) {
    QApplication::setActiveWindow(window);
    first->setFocus(Qt::TabFocusReason);
    QList<QWidget*> seen;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        seen << QApplication::focusWidget();
    }
    return seen;
}

TEST(Desktop, TabReachesEveryControlInOrder) {
    Window k;
    k.d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&k.d));
    QWidget* spin = k.d.MaxResultsSpinEdit->Editor();
    const QList<QWidget*> cycle = {k.d.BitBtn2,    k.d.LabeledEdit1, spin,       k.d.HomepageEdit,
                                   k.d.DepthCombo, k.d.BitBtn1,      k.d.BitBtn2};
    EXPECT_EQ(TabWalk(&k.d, k.d.BitBtn1, 7), cycle);
    const QList<QWidget*> back = {k.d.DepthCombo,   k.d.HomepageEdit, spin,
                                  k.d.LabeledEdit1, k.d.BitBtn2,      k.d.BitBtn1};
    EXPECT_EQ(TabWalk(&k.d, k.d.BitBtn1, 6, true), back);
    k.d.hide();

    k.w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&k.w));
    for (int i = 0; i < 3; ++i) {
        const RowId id = k.w.Table().Append();
        k.w.Table().SetKeyTerm(id, "row");
    }
    k.w.ListView1->setCurrentIndex(k.w.ListView1->model()->index(0, 0));
    EXPECT_EQ(TabWalk(&k.w, k.w.ListView1, 3),
              (QList<QWidget*>{k.w.StopBtn, k.w.BitBtn2, k.w.ListView1}));
    // Arrow keys still move inside the table.
    k.w.ListView1->setFocus();
    QTest::keyClick(k.w.ListView1, Qt::Key_Down);
    EXPECT_EQ(k.w.ListView1->currentIndex().row(), 1);
}

TEST(Desktop, MenuKeysOpenTheMenuBarAndThePopup) {
    Window k;
    k.w.show();
    QApplication::setActiveWindow(&k.w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&k.w));
    const RowId id = k.w.Table().Append();
    k.w.Table().SetKeyTerm(id, "row");
    k.w.ListView1->setFocus();
    k.w.ListView1->setCurrentIndex(k.w.ListView1->model()->index(0, 0));
    QTest::keyClick(k.w.ListView1, Qt::Key_F10);
    QMenu* file = k.w.findChild<QMenu*>(u"File1"_s);
    EXPECT_TRUE(file->isVisible());
    file->hide();
    for (const auto& [key, mods] :
         {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
        k.w.PopupMenu1->hide();
        k.w.ListView1->setFocus();
        QTest::keyClick(k.w.ListView1, key, mods);
        EXPECT_TRUE(k.w.PopupMenu1->isVisible()) << key;
    }
    k.w.PopupMenu1->hide();
}

TEST(Desktop, CaptionsAreExactAndNothingIsClipped) {
    Window k;
    EXPECT_EQ(k.w.windowTitle(), u"Vexorin"_s);
    EXPECT_EQ(k.d.windowTitle(), u"Investigate..."_s);
    EXPECT_EQ(k.forms.InfoForm->windowTitle(), u"About..."_s);
    // A display name would be appended to every dialog's title by the desktop.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    // The mail link fits its 98 x 13 place.
    const TURLLabel* link = k.forms.InfoForm->URLLabel2;
    EXPECT_LE(link->width(), 98);
    EXPECT_LE(link->height(), 13);
    // Labels are as wide as their text needs.
    for (QWidget* form : {static_cast<QWidget*>(&k.w), static_cast<QWidget*>(&k.d),
                          static_cast<QWidget*>(k.forms.InfoForm.get())}) {
        for (const QLabel* label : form->findChildren<QLabel*>()) {
            if (label->text().isEmpty() || label->wordWrap() || label->hasScaledContents())
                continue;
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                << label->objectName().toStdString();
            EXPECT_TRUE(label->parentWidget()->rect().contains(label->geometry()))
                << label->objectName().toStdString() << " runs past its parent";
        }
    }
}

// F1 opens help.chm where there is one and a CHM viewer to show it, else the
// HTML help; from any working folder.
TEST(Desktop, F1OpensTheChmOrElseTheHtmlHelp) {
    Window k;
    QStringList opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened << t;
        return true;
    });
    const QString before = QDir::currentPath();
    for (const bool chmViewer : {true, false}) {
        for (const bool chmHere : {true, false}) {
            TempDir cwd;
            if (chmHere) vx::testing::WriteFile(cwd.File("help.chm"), "ITSF");
            QDir::setCurrent(QString::fromStdString(cwd.path()));
            Shell::ScopedAssociations associations([&](const QString& mime) {
                EXPECT_EQ(mime, u"application/vnd.ms-htmlhelp"_s);
                return chmViewer;
            });
            opened.clear();
            TriggerAction(k.w, "Contents1");
            QDir::setCurrent(before);
            ASSERT_EQ(opened.size(), 1);
            // The test program has no help.chm beside it: only the working
            // folder's counts here.
            if (chmViewer && chmHere) {
                EXPECT_EQ(opened[0], u"help.chm"_s);  // from the working directory, as ever
            } else {
                EXPECT_TRUE(opened[0].endsWith(u"/help/index.html"_s)) << opened[0].toStdString();
                EXPECT_TRUE(QFileInfo::exists(opened[0]));
            }
        }
    }
    // No program can show it: the window says so and where the help is.
    Shell::ScopedHandler nothing([](const QString&) { return false; });
    TriggerAction(k.w, "Contents1");
    EXPECT_TRUE(k.w.StatusText().startsWith(u"No program here can show the help: open /"_s))
        << k.w.StatusText().toStdString();
    EXPECT_TRUE(k.w.StatusText().endsWith(u"/help/index.html yourself."_s));
}

}  // namespace
}  // namespace vx::ui
