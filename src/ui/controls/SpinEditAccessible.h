// What a screen reader gets of the number field with its arrows: a spin
// box with its value and range, which it can set.
#pragma once

#include <QAccessibleWidget>

namespace vx::ui {

class TSpinEdit;

class SpinEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SpinEditAccessible(TSpinEdit* spin);
    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override { return 1; }

  private:
    TSpinEdit* Spin() const;
};

}  // namespace vx::ui
