// What the oval button and the link share for assistive technology: a press
// action that does what a click does, only while the control is enabled,
// and the keys that press it when it has the focus.
#pragma once

#include <QAccessibleWidget>

namespace vx::ui {

class PressableAccessible : public QAccessibleWidget {
  public:
    PressableAccessible(QWidget* control, QAccessible::Role role, QString key);

    // Space, Enter and Return press a focused button or link.
    static bool IsPressKey(int key);

    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

  protected:
    virtual void Press() = 0;

  private:
    QString key_;
};

}  // namespace vx::ui
