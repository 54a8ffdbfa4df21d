#include "ui/forms/StartUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

#include "core/text.h"
#include "ui/art/art.h"
#include "ui/platform/FormFont.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
// An Alt+letter that is no key of the dialog is never typed into a field:
// "example.comi" researched for a slip of Alt+I is a wrong run.
class NoAltLetters : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->modifiers() & Qt::AltModifier) && !key->text().isEmpty()) return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

// Digits typed into the page list pick that exact depth ("1" is 1, "1"
// then "2" quickly is 12), never the next item that begins with them.
class ExactDepthKeys : public QObject {
  public:
    explicit ExactDepthKeys(QComboBox* combo) : QObject(combo), combo_(combo) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() != 1 || !text[0].isDigit() || key->modifiers() & ~Qt::KeypadModifier)
            return QObject::eventFilter(watched, event);
        if (!typed_.isValid() || typed_.elapsed() > QApplication::keyboardInputInterval())
            digits_.clear();
        typed_.start();
        digits_ += text;
        int at = combo_->findText(digits_);
        if (at < 0) {
            digits_ = text;  // a new number begins
            at = combo_->findText(digits_);
        }
        if (at >= 0) combo_->setCurrentIndex(at);
        return true;
    }

  private:
    QComboBox* combo_;
    QString digits_;
    QElapsedTimer typed_;
};

QLineEdit* LabeledEdit(QWidget* parent, const QString& caption, QRect r, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->installEventFilter(new NoAltLetters(edit));
    edit->setObjectName(QString::fromLatin1(name));
    // Longer text is refused as it is typed, never cut when it is stored.
    edit->setMaxLength(kMaxEntryLength);
    edit->setGeometry(r);
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
    label->adjustSize();
    label->move(r.left(), r.top() - 3 - label->height());
    label->setBuddy(edit);
    return edit;
}
}  // namespace

TStartForm::TStartForm(StopFlag& stop, EventPump& pump, SettingsStore& store, QWidget* parent)
    : QDialog(parent), stop_(stop), pump_(pump), store_(store) {
    setObjectName(QStringLiteral("StartForm"));
    setWindowTitle(QStringLiteral("Investigate..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(303, 303);
    setModal(true);
    setFont(FormFont(QStringLiteral("MS Sans Serif"), 11));

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    group->setGeometry(10, 6, 283, 240);

    LabeledEdit1 =
        LabeledEdit(group, QStringLiteral("Enter keyword or phrase related to your business:"),
                    QRect(28, 33, 228, 21), "LabeledEdit1");
    auto* panel = new QFrame(group);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(26, 59, 234, 40);
    panel->setAutoFillBackground(true);
    QPalette red = panel->palette();
    red.setColor(QPalette::Window, Qt::red);
    panel->setPalette(red);
    auto* note = new QLabel(
        QStringLiteral("Note: You do not need to put quotation marks around the words!"), panel);
    note->setObjectName(QStringLiteral("Label2"));
    note->setGeometry(2, 2, 230, 36);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);

    HomepageEdit = LabeledEdit(group, QStringLiteral("Target URL (e.g. domain.com)"),
                               QRect(30, 137, 226, 21), "HomepageEdit");
    auto* label3 = new QLabel(QStringLiteral("Max pages to search"), group);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->adjustSize();
    label3->move(30, 179);
    DepthCombo = new QComboBox(group);
    DepthCombo->setObjectName(QStringLiteral("DepthCombo"));
    for (int i = 1; i <= kDepthItems; ++i) DepthCombo->addItem(QString::number(i));
    DepthCombo->setGeometry(148, 174, 51, 21);
    DepthCombo->setCurrentIndex(kDefaultDepthIndex);
    DepthCombo->installEventFilter(new ExactDepthKeys(DepthCombo));
    label3->setBuddy(DepthCombo);
    // Linux screen readers name a combo box by its current text; its label
    // is its "labelled by" relation (the buddy) and its description.
    DepthCombo->setAccessibleName(label3->text());
    DepthCombo->setAccessibleDescription(label3->text());
    auto* label1 = new QLabel(QStringLiteral("Number of Results"), group);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->adjustSize();
    label1->move(30, 208);
    MaxResultsSpinEdit = new TSpinEdit(kMinResults, kMaxResults, kDefaultResults, group);
    MaxResultsSpinEdit->setObjectName(QStringLiteral("MaxResultsSpinEdit"));
    MaxResultsSpinEdit->setGeometry(148, 203, 51, 22);
    MaxResultsSpinEdit->Editor()->setAccessibleName(label1->text());

    BitBtn1 =
        new QPushButton(art::Icon(art::Picture::Magnifier), QStringLiteral("&Investigate"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(160, 263, 132, 35);
    BitBtn1->setIconSize(QSize(22, 21));
    BitBtn2 = new QPushButton(art::Icon(art::Picture::NoEntry), QStringLiteral("&Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(13, 263, 88, 35);
    BitBtn2->setIconSize(QSize(16, 16));
    // No default button: Enter presses the focused button only.
    for (QPushButton* b : {BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    // One cycle, in this order; nothing else takes focus on the way.
    tabCycle_ = {BitBtn1,      BitBtn2,   LabeledEdit1, MaxResultsSpinEdit->Editor(),
                 HomepageEdit, DepthCombo};
    for (qsizetype i = 0; i + 1 < tabCycle_.size(); ++i)
        QWidget::setTabOrder(tabCycle_[i], tabCycle_[i + 1]);

    listNote_ = new QLabel(group);
    listNote_->setObjectName(QStringLiteral("ListNote"));
    listNote_->setGeometry(28, 33, 228, 66);
    listNote_->setWordWrap(true);
    listNote_->hide();
    seedOnly_ = {LabeledEdit1, group->findChild<QLabel*>(QStringLiteral("LabeledEdit1Label")),
                 panel, label1, MaxResultsSpinEdit};
    FormCreate();
}

void TStartForm::ForList(const QString& what) {
    const bool list = !what.isEmpty();
    for (QWidget* w : seedOnly_)
        if (w) w->setVisible(!list);
    listNote_->setText(what);
    listNote_->setVisible(list);
    setWindowTitle(list ? QStringLiteral("Research a list...") : QStringLiteral("Investigate..."));
}

void TStartForm::FormCreate() {
    SetEntries(LoadDialogEntries(store_, Entries()));
    // A settings file we could not read is left as it is; say so once here.
    if (store_.Unreadable()) {
        auto* note = new QLabel(
            QStringLiteral("The settings could not be read; they will not be saved."), this);
        note->setObjectName(QStringLiteral("SettingsNote"));
        note->setGeometry(10, 247, 283, 14);
        QPalette p = note->palette();
        p.setColor(QPalette::WindowText, Qt::darkRed);
        note->setPalette(p);
    }
}

void TStartForm::FormCloseQuery() {
    SaveDialogEntries(store_, Entries());
}

DialogEntries TStartForm::Entries() const {
    DialogEntries e;
    e.keyterm = ToBytes(LabeledEdit1->text());
    e.home = ToBytes(HomepageEdit->text());
    e.depthIndex = DepthCombo->currentIndex();
    e.results = MaxResultsSpinEdit->Value();
    return e;
}

void TStartForm::SetEntries(const DialogEntries& e) {
    LabeledEdit1->setText(ToQString(e.keyterm));
    HomepageEdit->setText(ToQString(e.home));
    DepthCombo->setCurrentIndex(e.depthIndex >= 0 && e.depthIndex < kDepthItems ? e.depthIndex
                                                                                : -1);
    MaxResultsSpinEdit->SetValue(e.results);
}

std::string TStartForm::Keyword() const {
    return ToBytes(LabeledEdit1->text());
}
std::string TStartForm::TargetSite() {
    return ToBytes(HomepageEdit->text());
}
std::string TStartForm::PageDepthText() {
    return DepthCombo->currentIndex() < 0 ? std::string() : ToBytes(DepthCombo->currentText());
}
int TStartForm::ResultCount() {
    return MaxResultsSpinEdit->Value();
}

void TStartForm::BitBtn1Click() {
    done(QDialog::Accepted);
    try {
        pump_.PumpEvents();
    } catch (...) {
    }
    stop_.Clear();
}

void TStartForm::BitBtn2Click() {
    stop_.Set();
    done(3);  // Abort
}

void TStartForm::done(int result) {
    // Every close passes here: Investigate, Cancel, the close box.
    FormCloseQuery();
    QDialog::done(result);
}

bool TStartForm::focusNextPrevChild(bool next) {
    // Tab and Shift+Tab walk the cycle itself: a compound control's inner
    // parts never break it.
    const qsizetype at = tabCycle_.indexOf(focusWidget());
    if (at < 0) return QDialog::focusNextPrevChild(next);
    const qsizetype n = tabCycle_.size();
    // Past the entries a list's research does not ask for.
    qsizetype to = at;
    do {
        to = (to + (next ? 1 : n - 1)) % n;
    } while (to != at && tabCycle_[to]->isHidden());
    tabCycle_[to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void TStartForm::keyPressEvent(QKeyEvent* event) {
    // Escape is Cancel; Enter presses the button that has the focus, and
    // nothing else (there is no default button).
    if (event->key() == Qt::Key_Escape) {
        BitBtn2Click();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget())) button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TStartForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Typing replaces the last keyword (a list's research: the site) at once.
    QLineEdit* first = LabeledEdit1->isHidden() ? HomepageEdit : LabeledEdit1;
    first->setFocus(Qt::OtherFocusReason);
    first->selectAll();
}

}  // namespace vx::ui
