#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class QWidget;

namespace vx::ui {

// File choosers.
namespace FileDialogs {
struct Choice {
    QString path;  // empty: cancelled
    QString filter;
};
using OpenHandler = std::function<Choice(QWidget* parent, const QString& title,
                                         const QString& folder, const QString& filters)>;

// Test hook, one-shot: the next chooser of its kind is answered by answer
// instead of being shown; the hook removes itself once used, or on scope
// exit if it never was.
class AnswerNext {
  public:
    enum Chooser { Open, Save };
    AnswerNext(Chooser chooser, OpenHandler answer);
    ~AnswerNext();
    Q_DISABLE_COPY_MOVE(AnswerNext)

  private:
    Chooser chooser_;
    int token_;
};

Choice GetOpenFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix);
Choice GetSaveFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix);
}  // namespace FileDialogs

}  // namespace vx::ui
