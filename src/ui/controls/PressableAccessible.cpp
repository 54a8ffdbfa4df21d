#include "ui/controls/PressableAccessible.h"

#include <QWidget>
#include <utility>

namespace vx::ui {

PressableAccessible::PressableAccessible(QWidget* control, QAccessible::Role role, QString key)
    : QAccessibleWidget(control, role), key_(std::move(key)) {}

bool PressableAccessible::IsPressKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

QStringList PressableAccessible::actionNames() const {
    return QStringList(pressAction()) + QAccessibleWidget::actionNames();
}

void PressableAccessible::doAction(const QString& actionName) {
    if (actionName != pressAction())
        QAccessibleWidget::doAction(actionName);
    else if (widget()->isEnabled())
        Press();
}

QStringList PressableAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction()) return {key_};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

}  // namespace vx::ui
