// Our small layer over the desktop for what the engine and the forms need:
// the event pump, the Escape key's state, the shell's "open", the file
// dialogs, and byte <-> QString conversion at the GUI's edge.
#pragma once

#include <QFont>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "engine/host.h"

class QWidget;

namespace vx::ui {

// Bytes to text: UTF-8 when valid, else Latin-1.
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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    EscapeKey();
    bool down_ = false;
    bool pressedSinceForget_ = false;
    std::function<void()> onPress_;
};

// The shell's "open" verb; tests replace the handler.
namespace Shell {
using Handler = std::function<bool(const QString& target)>;
void SetHandler(Handler handler);  // empty: QDesktopServices
bool Open(const QString& target);  // a path or an address
}  // namespace Shell

// File choosers; tests replace them to answer without a modal dialog.
namespace FileDialogs {
struct Choice {
    QString path;  // empty: cancelled
    QString filter;
};
using OpenHandler = std::function<Choice(QWidget* parent, const QString& title,
                                         const QString& folder, const QString& filters)>;
void SetOpenHandler(OpenHandler handler);
void SetSaveHandler(OpenHandler handler);
Choice GetOpenFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix);
Choice GetSaveFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix);
}  // namespace FileDialogs

}  // namespace vx::ui

namespace vx::ui {
// A form font by pixel height; "MS Sans Serif" and "Arial" are not on Linux
// desktops, so a condensed sans of the same height stands in, keeping the
// captions inside the places the layout gives them.
QFont FormFont(const QString& family, int pixelHeight, bool bold = false);
}  // namespace vx::ui
