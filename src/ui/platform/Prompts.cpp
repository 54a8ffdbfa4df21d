#include "ui/platform/Prompts.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <utility>

namespace vx::ui {

namespace Prompts {
namespace {
struct Armed {
    std::optional<Answer> answer;
    int token = 0;
    int usedToken = 0;
    std::optional<Answer> unarmed;
    QString question;  // the last question an armed answer took
};
Armed& Slot() {
    static Armed slot;
    return slot;
}
}  // namespace

AnswerNext::AnswerNext(Answer answer) {
    static int tokens = 0;
    Slot().answer = answer;
    Slot().token = token_ = ++tokens;
}

AnswerNext::~AnswerNext() {
    if (Slot().token == token_) Slot().answer.reset();
}

void SetUnarmedAnswer(std::optional<Answer> answer) {
    Slot().unarmed = answer;
}

bool AnswerNext::Used() const {
    return Slot().usedToken == token_;
}

QString AnswerNext::Question() const {
    return Used() ? Slot().question : QString();
}

namespace {
// Every answer by Alt and a letter: the platform's own button texts carry
// none under every desktop.
void GiveMnemonics(QMessageBox& box) {
    static const std::pair<QMessageBox::StandardButton, const char*> kTexts[] = {
        {QMessageBox::Save, "&Save"},
        {QMessageBox::Discard, "&Don't save"},
        {QMessageBox::Cancel, "&Cancel"},
        {QMessageBox::Yes, "&Yes"},
        {QMessageBox::No, "&No"}};
    for (const auto& [which, text] : kTexts)
        if (QAbstractButton* button = box.button(which)) button->setText(QString::fromUtf8(text));
}
}  // namespace

std::unique_ptr<QMessageBox> SaveResultsBox(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Question, QStringLiteral("Vexorin"),
        QStringLiteral("Save the results of this investigation?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box->setObjectName(QStringLiteral("SavePrompt"));
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    GiveMnemonics(*box);
    return box;
}

namespace {
// The armed answer, once, or the unarmed one; none: ask.
std::optional<Answer> TakeArmed() {
    if (Slot().answer) {
        const Answer a = *Slot().answer;
        Slot().answer.reset();
        Slot().usedToken = Slot().token;
        return a;
    }
    return Slot().unarmed;
}
}  // namespace

bool Confirm(QWidget* parent, const QString& question) {
    if (const auto a = TakeArmed()) {
        Slot().question = question;
        return *a == Answer::Yes;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vexorin"), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("ConfirmPrompt"));
    box.setDefaultButton(QMessageBox::No);
    GiveMnemonics(box);
    return box.exec() == QMessageBox::Yes;
}

Answer AskToSaveResults(QWidget* parent, const QString& lost) {
    if (const auto a = TakeArmed()) {
        Slot().question = lost;
        return *a;
    }
    const std::unique_ptr<QMessageBox> box = SaveResultsBox(parent);
    box->setInformativeText(lost);
    switch (box->exec()) {
        case QMessageBox::Save:
            return Answer::Save;
        case QMessageBox::Discard:
            return Answer::Discard;
        default:
            return Answer::Cancel;
    }
}
}  // namespace Prompts

}  // namespace vx::ui
