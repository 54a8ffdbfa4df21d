// Our small layer over the desktop for what the engine and the forms need:
// the event pump, the Escape key's state, the shell's "open", the file
// dialogs, and byte <-> QString conversion at the GUI's edge.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/host.h"

class QMessageBox;
class QWidget;

namespace vx::ui {

// Bytes to text: UTF-8 when valid, else Windows-1252 (BytesToUtf8).
QString ToQString(const std::string& bytes);
std::string ToBytes(const QString& text);

class QtEventPump : public EventPump {
  public:
    void PumpEvents() override;
};

// Tracks Escape through an application-wide event filter. A press seen at
// any moment counts as down until Forget (a run forgets when it starts), so
// a tap is not lost to whichever check point happens to ask first.
class EscapeKey : public QObject, public KeyState {
    Q_OBJECT
  public:
    static EscapeKey& Instance();
    bool EscapeDown() override;
    void Forget() { pressedSinceForget_ = false; }
    // Called at every press (a run cancels its fetch in flight); empty: none.
    void SetPressHandler(std::function<void()> handler) { onPress_ = std::move(handler); }
    // Presses count only when they reach this window itself: not a menu, a
    // pop-up, a dialog or another window that takes the key for its own use.
    // None: every press counts.
    void SetHome(QWidget* window) { home_ = window; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    EscapeKey();
    bool ForHome(QObject* receiver) const;
    bool down_ = false;
    bool pressedSinceForget_ = false;
    std::function<void()> onPress_;
    QPointer<QWidget> home_;
};

// The shell's "open" verb.
namespace Shell {
using Handler = std::function<bool(const QString& target)>;
bool Open(const QString& target);  // a path or an address
// An address only: a text without a scheme of its own never opens as a file.
bool OpenAddress(const QString& address);

// Whether the desktop has a program for the kind of document path names
// (xdg-mime's default application for its type).
bool HasHandlerFor(const QString& path);

// Test hook: HasHandlerFor answers through query (by MIME type name) for as
// long as this lives.
class ScopedAssociations {
  public:
    explicit ScopedAssociations(std::function<bool(const QString& mimeType)> query);
    ~ScopedAssociations();
    Q_DISABLE_COPY_MOVE(ScopedAssociations)

  private:
    std::function<bool(const QString&)> previous_;
};

// Test hook: opens go to handler instead of the desktop for as long as this
// lives; the one before comes back on scope exit.
class ScopedHandler {
  public:
    explicit ScopedHandler(Handler handler);
    ~ScopedHandler();
    Q_DISABLE_COPY_MOVE(ScopedHandler)

  private:
    Handler previous_;
};
}  // namespace Shell

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

// The one question the program asks: whether to save results that would
// otherwise be lost.
namespace Prompts {
enum class Answer { Save, Discard, Cancel };
Answer AskToSaveResults(QWidget* parent);
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

  private:
    int token_;
};
// Test hook: with no AnswerNext armed, this answer is given instead of a
// window being shown (a suite written before the question existed).
void SetUnarmedAnswer(std::optional<Answer> answer);
}  // namespace Prompts

}  // namespace vx::ui

namespace vx::ui {
// A form font by pixel height; "MS Sans Serif" and "Arial" are not on Linux
// desktops, so a condensed sans of the same height stands in, keeping the
// captions inside the places the layout gives them.
QFont FormFont(const QString& family, int pixelHeight, bool bold = false);
}  // namespace vx::ui
