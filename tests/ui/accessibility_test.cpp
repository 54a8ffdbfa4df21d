// What a screen reader gets from each window, through Qt's accessibility
// tree as assistive technology walks it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSet>
#include <functional>

#include "history/history_store.h"
#include "results/dialog_limits.h"
#include "ui/chart/ChartForm.h"
#include "ui/controls/OvalBtn.h"
#include "ui/controls/URLLabel.h"
#include "ui/forms/CompetitorsForm.h"
#include "ui/forms/InfoUnit.h"
#include "ui/forms/PreferencesForm.h"
#include "ui/history/HistoryForm.h"
#include "ui/platform/Prompts.h"
#include "ui/platform/Shell.h"
#include "ui/tracking/TrackingForm.h"
#include "ui_window.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

QString Name(QAccessibleInterface* i) {
    return i ? i->text(QAccessible::Name) : QString();
}

bool Interactive(QAccessibleInterface* i) {
    using R = QAccessible::Role;
    static const QList<R> controls = {R::Button,       R::CheckBox, R::RadioButton, R::ComboBox,
                                      R::EditableText, R::SpinBox,  R::Link,        R::Table,
                                      R::List,         R::Tree,     R::PageTab,     R::Slider,
                                      R::ProgressBar,  R::MenuItem, R::ButtonMenu};
    return controls.contains(i->role()) || i->state().focusable;
}

// Every object a user can act on or read as a control, without a role of
// its own or a name: "objectName (role)". Items of tables and lists are
// read by the cell test.
void Unnamed(QAccessibleInterface* i, QStringList& out) {
    if (!i) return;
    if (Interactive(i)) {
        const bool generic = i->role() == QAccessible::Client || i->role() == QAccessible::NoRole;
        if (generic || Name(i).trimmed().isEmpty())
            out << (i->object() ? i->object()->objectName() : u"?"_s) + u" ("_s +
                       QString::number(i->role(), 16) + u")"_s;
    }
    // Qt's own parts of a combo box (its pop-up list) are read through it.
    if (i->role() == QAccessible::Table || i->role() == QAccessible::List ||
        i->role() == QAccessible::ComboBox)
        return;
    for (int c = 0; c < i->childCount(); ++c) Unnamed(i->child(c), out);
}

TEST(Accessibility, EveryInteractiveObjectHasARoleAndAName) {
    Window k;
    k.w.show();
    TriggerAction(k.w, "Opportunitychart1");
    TPreferencesForm preferences(k.forms.store);
    THistoryForm history(HistoryStore::DefaultPath());
    TriggerAction(k.w, "Competitors1");
    TriggerAction(k.w, "Tracking1");
    for (QWidget* window : std::initializer_list<QWidget*>{
             &k.w, &k.d, k.forms.InfoForm.get(), &preferences, &history, k.w.ChartForm(),
             k.w.CompetitorsForm(), k.w.TrackingForm()}) {
        ASSERT_NE(window, nullptr);
        QStringList unnamed;
        Unnamed(QAccessible::queryAccessibleInterface(window), unnamed);
        EXPECT_EQ(unnamed.join(u", "_s).toStdString(), "") << window->objectName().toStdString();
    }
}

// Within a menu each item has a key of its own: a letter twice picks the
// first item, never the one the user meant.
TEST(Accessibility, EveryMenuItemHasAKeyOfItsOwn) {
    Window k;
    std::function<void(QMenu*)> check = [&](QMenu* menu) {
        QMap<QChar, QString> taken;
        for (QAction* a : menu->actions()) {
            const QString text = a->text();
            const qsizetype amp = text.indexOf(u'&');
            if (amp >= 0 && amp + 1 < text.size()) {
                const QChar key = text[amp + 1].toLower();
                EXPECT_FALSE(taken.contains(key))
                    << menu->title().toStdString() << ": " << text.toStdString() << " and "
                    << taken.value(key).toStdString();
                taken.insert(key, text);
            }
            if (a->menu()) check(a->menu());
        }
    };
    for (QAction* top : k.w.menuBar()->actions())
        if (top->menu()) check(top->menu());
    // And within a window, among its buttons and labelled fields.
    TriggerAction(k.w, "Tracking1");
    TriggerAction(k.w, "Competitors1");
    TPreferencesForm preferences(k.forms.store);
    THistoryForm history(HistoryStore::DefaultPath());
    // Every button of the Investigate dialog has a key, and an Alt+letter
    // that is none never lands in a field.
    for (auto* b : k.d.findChildren<QAbstractButton*>()) {
        if (!b->text().isEmpty()) {
            EXPECT_TRUE(b->text().contains(u'&')) << b->text().toStdString();
        }
    }
    k.d.HomepageEdit->setText(u"example.com"_s);
    QTest::keyClick(k.d.HomepageEdit, Qt::Key_Q, Qt::AltModifier);
    EXPECT_EQ(k.d.HomepageEdit->text(), u"example.com"_s);
    // A digit typed in the page list picks that very depth.
    for (const auto& [keys, depth] :
         {std::pair<QString, QString>{u"1"_s, u"1"_s}, {u"2"_s, u"2"_s}, {u"12"_s, u"12"_s}}) {
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClicks(k.d.DepthCombo, keys);
        EXPECT_EQ(k.d.DepthCombo->currentText(), depth) << keys.toStdString();
    }
    for (QWidget* window : std::initializer_list<QWidget*>{
             &k.d, &preferences, &history, k.w.CompetitorsForm(), k.w.TrackingForm()}) {
        QMap<QChar, QString> taken;
        QStringList texts;
        for (auto* b : window->findChildren<QAbstractButton*>()) texts << b->text();
        for (auto* l : window->findChildren<QLabel*>())
            if (l->buddy()) texts << l->text();
        for (const QString& text : texts) {
            const qsizetype amp = text.indexOf(u'&');
            if (amp < 0 || amp + 1 >= text.size() || text[amp + 1] == u'&') continue;
            const QChar key = text[amp + 1].toLower();
            EXPECT_FALSE(taken.contains(key))
                << window->objectName().toStdString() << ": " << text.toStdString() << " and "
                << taken.value(key).toStdString();
            taken.insert(key, text);
        }
    }
}

// Windows are windows, the page-count box and the number field are named
// by their labels, the number field is a spin box with its value and range,
// and Stop's name holds no key.
TEST(Accessibility, WindowsAndFieldsReadAsWhatTheyAre) {
    Window k;
    k.w.show();
    TriggerAction(k.w, "Opportunitychart1");
    THistoryForm history(HistoryStore::DefaultPath());
    TriggerAction(k.w, "Competitors1");
    TriggerAction(k.w, "Tracking1");
    for (QWidget* window : std::initializer_list<QWidget*>{
             &history, k.w.ChartForm(), k.w.CompetitorsForm(), k.w.TrackingForm()}) {
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(window);
        EXPECT_EQ(i->role(), QAccessible::Window) << window->objectName().toStdString();
        EXPECT_EQ(Name(i), window->windowTitle());
    }
    // Qt names a combo box on Linux by its current text; its label is its
    // "labelled by" relation and its description.
    QAccessibleInterface* depth = QAccessible::queryAccessibleInterface(k.d.DepthCombo);
    QStringList labels;
    for (const auto& [other, relation] : depth->relations(QAccessible::Label))
        labels << Name(other);
    EXPECT_EQ(labels, QStringList{u"Max pages to search"_s});
    EXPECT_EQ(depth->text(QAccessible::Description), u"Max pages to search"_s);
    QAccessibleInterface* spin = QAccessible::queryAccessibleInterface(k.d.MaxResultsSpinEdit);
    EXPECT_EQ(spin->role(), QAccessible::SpinBox);
    EXPECT_EQ(Name(spin), u"Number of Results"_s);
    QAccessibleValueInterface* value = spin->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumValue().toInt(), kMinResults);
    EXPECT_EQ(value->maximumValue().toInt(), kMaxResults);
    value->setCurrentValue(12);
    EXPECT_EQ(k.d.MaxResultsSpinEdit->Value(), 12);
    EXPECT_EQ(spin->text(QAccessible::Value), u"12"_s);
    QAction* stop = k.w.findChild<QAction*>(u"Stop1"_s);
    QMenu* menu = qobject_cast<QMenu*>(stop->associatedObjects().first());
    ASSERT_NE(menu, nullptr);
    QAccessibleInterface* menuI = QAccessible::queryAccessibleInterface(menu);
    for (int c = 0; c < menuI->childCount(); ++c) {
        QAccessibleInterface* item = menuI->child(c);
        if (!Name(item).startsWith(u"Stop"_s)) continue;
        EXPECT_EQ(Name(item), u"Stop"_s);
        EXPECT_EQ(item->text(QAccessible::Accelerator), u"Esc"_s);
    }
}

// Tab leaves every table of every window, and arrow keys move inside it:
// a table that takes Tab walks the keyboard through it a cell a press.
TEST(Accessibility, TabLeavesEveryTable) {
    Window k;
    k.w.show();
    THistoryForm history(HistoryStore::DefaultPath());
    TriggerAction(k.w, "Competitors1");
    TriggerAction(k.w, "Tracking1");
    TriggerAction(k.w, "Clusters1");
    for (QWidget* window :
         std::initializer_list<QWidget*>{&k.w, &history, k.w.CompetitorsForm(), k.w.TrackingForm()})
        for (const QAbstractItemView* table : window->findChildren<QAbstractItemView*>())
            EXPECT_FALSE(table->tabKeyNavigation())
                << window->objectName().toStdString() << " " << table->objectName().toStdString();
}

// The save question answers by Alt and a letter, a letter a button.
TEST(Accessibility, TheSaveQuestionHasAKeyForEachAnswer) {
    const auto box = Prompts::SaveResultsBox(nullptr);
    QSet<QChar> keys;
    for (const QAbstractButton* button : box->buttons()) {
        const qsizetype amp = button->text().indexOf(u'&');
        ASSERT_GE(amp, 0) << button->text().toStdString();
        keys.insert(button->text().at(amp + 1).toLower());
    }
    EXPECT_EQ(keys.size(), 3);
}

// The oval button and the link, as push button and link: caption as name,
// the press action doing what a click does, focus and disabled states.
TEST(Accessibility, CustomControlsAreAButtonAndALink) {
    Window k;
    TInfoForm& about = *k.forms.InfoForm;
    QString opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened = t;
        return true;
    });
    struct Case {
        QWidget* control;
        QAccessible::Role role;
        QString name;
        std::function<bool()> pressed;
    } cases[] = {
        {about.BitBtn3, QAccessible::Button, u"Close"_s,
         [&] { return about.result() == 3 && !about.isVisible(); }},
        {about.URLLabel2, QAccessible::Link, u"help@vexorin.test"_s,
         [&] { return opened == u"mailto:help@vexorin.test"_s; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control->objectName().toStdString());
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(c.control);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->role(), c.role);
        EXPECT_EQ(Name(i), c.name);
        QAccessibleActionInterface* actions = i->actionInterface();
        ASSERT_NE(actions, nullptr);
        EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        EXPECT_TRUE(i->state().focusable);
        c.control->setFocus();
        EXPECT_TRUE(i->state().focused);

        c.control->setEnabled(false);
        EXPECT_TRUE(i->state().disabled);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        EXPECT_FALSE(c.pressed());
        c.control->setEnabled(true);
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        EXPECT_TRUE(c.pressed());

        // The key the interface names does the same from the keyboard.
        opened.clear();
        about.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
        about.setResult(0);
        const QString key =
            actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()).value(0);
        QTest::keyClick(c.control, key == u"Space"_s ? Qt::Key_Space : Qt::Key_Return);
        EXPECT_TRUE(c.pressed()) << key.toStdString();
        about.hide();
    }
}

// The name as the caption is drawn; the accelerator the key the button takes
// (the character after the first "&", "&&" or not).
TEST(Accessibility, ACaptionReadsWithoutItsAcceleratorMark) {
    TOvalButton button;
    for (const auto& [caption, name, key] : {std::tuple{"&Close", "Close", "Alt+C"},
                                             {"Save && e&xit", "Save & exit", "Alt+&"},
                                             {"A && B", "A & B", "Alt+&"},
                                             {"Stop&", "Stop", ""}}) {
        button.SetCaption(QString::fromLatin1(caption));
        QAccessibleInterface* i = QAccessible::queryAccessibleInterface(&button);
        EXPECT_EQ(Name(i), QString::fromLatin1(name)) << caption;
        EXPECT_EQ(i->text(QAccessible::Accelerator), QString::fromLatin1(key)) << caption;
    }
}

TEST(Accessibility, TableCellsCheckMarksAndTheChartSummaryAreReadable) {
    Window k;
    k.w.show();
    ResultsTable& t = k.w.Table();
    for (const auto& [term, demand, competition, checked] :
         {std::tuple{"garden shears", "900", "1000", true}, {"rake", "50", "90000", false}}) {
        const RowId id = t.Append();
        t.SetKeyTerm(id, term);
        for (const char* c : {demand, competition, "1", "3", "50%", "10"}) t.AppendColumn(id, c);
        t.SetChecked(id, checked);
    }
    QAccessibleInterface* view = QAccessible::queryAccessibleInterface(k.w.ListView1);
    ASSERT_NE(view, nullptr);
    QAccessibleTableInterface* table = view->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(Name(table->cellAt(1, 0)), u"rake"_s);
    EXPECT_EQ(Name(table->cellAt(0, 2)), u"1000"_s);
    EXPECT_EQ(table->columnDescription(2), u"Competition"_s);
    QAccessibleInterface* mark = table->cellAt(0, 0);
    EXPECT_TRUE(mark->state().checkable);
    EXPECT_TRUE(mark->state().checked);
    EXPECT_FALSE(table->cellAt(1, 0)->state().checked);
    // Space on the current row changes its check mark, and the cell says so.
    k.w.ListView1->setCurrentIndex(k.w.ListView1->model()->index(0, 0));
    QTest::keyClick(k.w.ListView1, Qt::Key_Space);
    EXPECT_FALSE(t.At(0).checked);
    EXPECT_FALSE(table->cellAt(0, 0)->state().checked);

    TriggerAction(k.w, "Opportunitychart1");
    auto* chart = k.w.ChartForm()->findChild<QChartView*>(u"ChartView"_s);
    QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(chart);
    EXPECT_EQ(Name(picture), u"Opportunity chart"_s);
    const QString summary = picture->text(QAccessible::Description);
    EXPECT_TRUE(summary.startsWith(u"2 key terms plotted"_s)) << summary.toStdString();
    EXPECT_TRUE(summary.contains(u"garden shears"_s)) << summary.toStdString();
}

}  // namespace
}  // namespace vx::ui
