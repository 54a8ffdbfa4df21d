#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/temp_dir.h"
#include "ui/forms/StartUnit.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

using vx::testing::TempDir;

struct NoPump : EventPump {
    void PumpEvents() override {}
};

struct Dialog {
    explicit Dialog(const std::string& path) : store(path), d(stop, pump, store) {}
    StopFlag stop;
    NoPump pump;
    SettingsStore store;
    TStartForm d;
};

TEST(StartForm, ControlsAndDefaults) {
    TempDir dir;
    Dialog k(dir.File("s.reg"));
    EXPECT_EQ(k.d.windowTitle(), u"Investigate..."_s);
    EXPECT_EQ(k.d.size(), QSize(303, 303));
    EXPECT_EQ(k.d.DepthCombo->count(), 20);
    EXPECT_EQ(k.d.DepthCombo->currentText(), u"3"_s);  // first start: stored default
    EXPECT_EQ(k.d.MaxResultsSpinEdit->Value(), 10);
    EXPECT_EQ(k.d.LabeledEdit1->text(), u""_s);
    EXPECT_FALSE(k.d.BitBtn1->isDefault() || k.d.BitBtn1->autoDefault());
    EXPECT_FALSE(k.d.BitBtn2->isDefault() || k.d.BitBtn2->autoDefault());
    EXPECT_EQ(k.d.BitBtn1->geometry(), QRect(160, 263, 132, 35));
    EXPECT_EQ(k.d.LabeledEdit1->geometry(), QRect(28, 33, 228, 21));
}

// Text past the store's limit is refused as typed; settings that could not
// be read are said to be so, and the file is left alone.
TEST(StartForm, EntriesTheStoreCannotKeepAreRefusedOrSaid) {
    TempDir dir;
    Dialog k(dir.File("s.reg"));
    k.d.show();
    k.d.LabeledEdit1->setFocus();
    QTest::keyClicks(k.d.LabeledEdit1, QString(kMaxEntryLength + 5, u'a'));
    EXPECT_EQ(k.d.LabeledEdit1->text().size(), kMaxEntryLength);
    EXPECT_EQ(k.d.findChild<QLabel*>(u"SettingsNote"_s), nullptr);

    const std::string big = std::string(2 << 20, ';');
    vx::testing::WriteFile(dir.File("big.reg"), big);
    Dialog unreadable(dir.File("big.reg"));
    const auto* note = unreadable.d.findChild<QLabel*>(u"SettingsNote"_s);
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().contains(u"could not be read"_s));
    unreadable.d.BitBtn2->click();  // Cancel saves the entries too
    EXPECT_EQ(vx::testing::ReadFile(dir.File("big.reg")), big);
}

TEST(StartForm, SpinEditTypingAndClamping) {
    TempDir dir;
    Dialog k(dir.File("s.reg"));
    k.d.show();
    k.d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&k.d));
    QLineEdit* e = k.d.MaxResultsSpinEdit->Editor();
    struct Case {
        const char *typed, *shown;
        int value;
    } cases[] = {{"45", "30", 30}, {"1", "2", 2},  {"", "2", 2},  {"7", "7", 7},
                 {"ab", "2", 2},   {"-5", "2", 2}, {"+", "2", 2}, {"1.", "2", 2}};
    for (const auto& c : cases) {
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, QString::fromUtf8(c.typed));
        k.d.HomepageEdit->setFocus();  // leave the field
        QApplication::processEvents();
        EXPECT_EQ(e->text(), QString::fromUtf8(c.shown)) << c.typed;
        EXPECT_EQ(k.d.MaxResultsSpinEdit->Value(), c.value) << c.typed;
    }
    e->setFocus();
    k.d.MaxResultsSpinEdit->SetValue(29);
    QTest::keyClick(e, Qt::Key_Up);
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(k.d.MaxResultsSpinEdit->Value(), 30);
    k.d.MaxResultsSpinEdit->SetValue(50);
    EXPECT_EQ(e->text(), u"30"_s);
}

TEST(StartForm, ButtonsAndCloseBoxDriveStopAndSave) {
    TempDir dir;
    const std::string path = dir.File("s.reg");
    {
        Dialog k(path);
        k.stop.Set();
        QTimer::singleShot(0, [&] {
            k.d.LabeledEdit1->setText(u"red shoes"_s);
            k.d.HomepageEdit->setText(u"example.com"_s);
            k.d.DepthCombo->setCurrentIndex(6);
            k.d.MaxResultsSpinEdit->SetValue(25);
            QTest::mouseClick(k.d.BitBtn1, Qt::LeftButton);
        });
        EXPECT_EQ(k.d.exec(), QDialog::Accepted);
        EXPECT_FALSE(k.stop.Requested());
        QTimer::singleShot(0, [&] { QTest::mouseClick(k.d.BitBtn2, Qt::LeftButton); });
        k.d.exec();
        EXPECT_TRUE(k.stop.Requested());
        k.stop.Clear();
        QTimer::singleShot(0, [&] {
            k.d.LabeledEdit1->setText(u"closed by the box"_s);
            k.d.close();
        });
        k.d.exec();
        EXPECT_FALSE(k.stop.Requested());  // the close box leaves the flag alone
    }
    Dialog again(path);  // a new instance reads what the last close saved
    EXPECT_EQ(again.d.LabeledEdit1->text(), u"closed by the box"_s);
    EXPECT_EQ(again.d.HomepageEdit->text(), u"example.com"_s);
    EXPECT_EQ(again.d.DepthCombo->currentText(), u"7"_s);
    EXPECT_EQ(again.d.MaxResultsSpinEdit->Value(), 25);
    EXPECT_EQ(again.d.PageDepthText(), "7");
}

// The keyboard as users expect it: the keyword is focused and selected when
// the dialog opens, Enter in a field closes nothing, Enter presses the
// focused button, and Escape is Cancel.
TEST(StartForm, KeysDoWhatUsersExpect) {
    TempDir dir;
    struct Case {
        const char* name;
        std::function<void(TStartForm&)> keys;
        int result;  // -1: still open
        bool stop;
    } cases[] = {
        {"Enter in a field", [](TStartForm& d) { QTest::keyClick(d.LabeledEdit1, Qt::Key_Return); },
         -1, false},
        {"Escape", [](TStartForm& d) { QTest::keyClick(d.LabeledEdit1, Qt::Key_Escape); }, 3, true},
        {"Enter on Investigate",
         [](TStartForm& d) {
             d.BitBtn1->setFocus();
             QTest::keyClick(d.BitBtn1, Qt::Key_Enter);
         },
         QDialog::Accepted, false},
        {"Return on Cancel",
         [](TStartForm& d) {
             d.BitBtn2->setFocus();
             QTest::keyClick(d.BitBtn2, Qt::Key_Return);
         },
         3, true},
    };
    for (const auto& c : cases) {
        Dialog k(dir.File("s.reg"));
        k.d.LabeledEdit1->setText(u"red shoes"_s);
        bool focusedAndSelected = false, open = false;
        QTimer::singleShot(0, [&] {
            focusedAndSelected = k.d.focusWidget() == k.d.LabeledEdit1 &&
                                 k.d.LabeledEdit1->selectedText() == u"red shoes"_s;
            c.keys(k.d);
            open = k.d.isVisible();
            if (open) k.d.done(QDialog::Rejected);
        });
        const int result = k.d.exec();
        EXPECT_TRUE(focusedAndSelected) << c.name;
        EXPECT_EQ(open ? -1 : result, c.result) << c.name;
        EXPECT_EQ(k.stop.Requested(), c.stop) << c.name;
    }
}

TEST(StartForm, DamagedStoreAndOutOfRangeDepth) {
    TempDir dir;
    vx::testing::WriteFile(dir.File("bad.reg"), "\x00\x01garbage[[[");
    Dialog bad(dir.File("bad.reg"));
    EXPECT_EQ(bad.d.DepthCombo->currentText(), u"3"_s);
    vx::testing::WriteFile(dir.File("deep.reg"),
                           "[HKEY_CURRENT_USER\\Software\\Tarnwell\\Vexorin 1.0\\Setup]\n"
                           "\"depth\"=dword:00000019\n\"results\"=dword:00000032\n");
    Dialog deep(dir.File("deep.reg"));
    EXPECT_EQ(deep.d.DepthCombo->currentIndex(), -1);
    EXPECT_EQ(deep.d.PageDepthText(), "");
    EXPECT_EQ(deep.d.MaxResultsSpinEdit->Value(), 30);
}

}  // namespace
}  // namespace vx::ui
