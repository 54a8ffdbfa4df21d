// Our controls' accessibility interfaces, handed to Qt by class: each
// control installs its factory once, before its constructor can make Qt ask
// for its interface (Qt keeps the first one it made for an object).
#pragma once

#include <QAccessible>
#include <QObject>

namespace vx::ui {

// Interface for objects of exactly Control's class; subclasses are asked
// for under their own names.
template <typename Control, typename Interface>
QAccessibleInterface* AccessibleFactory(const QString& className, QObject* object) {
    auto* control = qobject_cast<Control*>(object);
    if (!control || className != QLatin1String(Control::staticMetaObject.className()))
        return nullptr;
    return new Interface(control);
}

template <typename Control, typename Interface>
void InstallAccessibleFactory() {
    static const bool installed =
        (QAccessible::installFactory(&AccessibleFactory<Control, Interface>), true);
    (void)installed;
}

}  // namespace vx::ui
