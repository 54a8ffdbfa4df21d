#include "ui/platform/QtEventPump.h"

#include <QApplication>

namespace vx::ui {

void QtEventPump::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace vx::ui
