#pragma once

#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

class QMessageBox;
class QWidget;

namespace vx::ui {

// The one question the program asks: whether to save results that would
// otherwise be lost.
namespace Prompts {
enum class Answer { Save, Discard, Cancel, Yes, No };
// lost says what would be lost without saving.
Answer AskToSaveResults(QWidget* parent, const QString& lost = QString());
// A yes-or-no question that defaults to No; true for Yes.
bool Confirm(QWidget* parent, const QString& question);
// The question's window as AskToSaveResults shows it (for pictures of it).
std::unique_ptr<QMessageBox> SaveResultsBox(QWidget* parent);

// Test hook, one-shot like FileDialogs::AnswerNext: the next question is
// answered by answer instead of being shown.
class AnswerNext {
  public:
    explicit AnswerNext(Answer answer);
    ~AnswerNext();
    Q_DISABLE_COPY_MOVE(AnswerNext)
    bool Used() const;
    // The yes-or-no question it answered (for the save question: what it
    // said would be lost).
    QString Question() const;

  private:
    int token_;
};
// Test hook: with no AnswerNext armed, this answer is given instead of a
// window being shown (a suite written before the question existed).
void SetUnarmedAnswer(std::optional<Answer> answer);
}  // namespace Prompts

}  // namespace vx::ui
