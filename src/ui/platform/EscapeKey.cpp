#include "ui/platform/EscapeKey.h"

#include <QApplication>
#include <QKeyEvent>

namespace vx::ui {

EscapeKey& EscapeKey::Instance() {
    static EscapeKey* key = new EscapeKey;
    return *key;
}

EscapeKey::EscapeKey() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

bool EscapeKey::EscapeDown() {
    return down_ || pressedSinceForget_;
}

bool EscapeKey::ForHome(QObject* receiver) const {
    if (!home_) return true;
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    return widget && widget->window() == home_ && !QApplication::activePopupWidget() &&
           !QApplication::activeModalWidget();
}

bool EscapeKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            // One key event reaches the filter once per receiver on its way up;
            // only the state matters, so repeats are harmless.
            if (event->type() == QEvent::KeyPress) {
                if (!ForHome(watched)) return QObject::eventFilter(watched, event);
                const bool fresh = !down_;
                down_ = true;
                pressedSinceForget_ = true;
                if (fresh && onPress_) onPress_();
            } else {
                down_ = false;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace vx::ui
