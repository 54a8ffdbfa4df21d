#include "ui/controls/SpinEditAccessible.h"

#include "ui/controls/SpinEdit.h"

namespace vx::ui {

SpinEditAccessible::SpinEditAccessible(TSpinEdit* spin)
    : QAccessibleWidget(spin, QAccessible::SpinBox) {}

TSpinEdit* SpinEditAccessible::Spin() const {
    return static_cast<TSpinEdit*>(widget());
}

void* SpinEditAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString SpinEditAccessible::text(QAccessible::Text t) const {
    // Named as its editor is (by the dialog's label); its value is read as a value.
    if (t == QAccessible::Name) return Spin()->Editor()->accessibleName();
    if (t == QAccessible::Value) return QString::number(Spin()->Value());
    return QAccessibleWidget::text(t);
}

QVariant SpinEditAccessible::currentValue() const {
    return Spin()->Value();
}

void SpinEditAccessible::setCurrentValue(const QVariant& value) {
    Spin()->SetValue(value.toInt());
}

QVariant SpinEditAccessible::maximumValue() const {
    return Spin()->Maximum();
}

QVariant SpinEditAccessible::minimumValue() const {
    return Spin()->Minimum();
}

}  // namespace vx::ui
