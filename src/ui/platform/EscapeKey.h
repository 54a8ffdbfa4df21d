#pragma once

#include <QObject>
#include <atomic>
#include <QPointer>
#include <QWidget>
#include <functional>
#include "engine/host.h"

namespace vx::ui {

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
    // Read by a run's lookup threads too.
    std::atomic<bool> down_{false};
    std::atomic<bool> pressedSinceForget_{false};
    std::function<void()> onPress_;
    QPointer<QWidget> home_;
};

}  // namespace vx::ui
