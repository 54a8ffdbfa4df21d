// Moves the pointer over a widget by sending the move straight to it, with
// the buttons held, as the pointer grab would deliver it (QTest cannot move
// the pointer on the offscreen platform).
#pragma once

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace vx::testing {

inline void PointerTo(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

}  // namespace vx::testing
