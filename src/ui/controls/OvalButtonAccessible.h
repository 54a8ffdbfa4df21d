// What assistive technology sees of a TOvalButton: a push button named by
// its caption, pressed through its action as a click would, toggling when
// it belongs to a group.
#pragma once

#include "ui/controls/PressableAccessible.h"

namespace vx::ui {

class TOvalButton;

class OvalButtonAccessible : public PressableAccessible {
  public:
    explicit OvalButtonAccessible(TOvalButton* button);

    // The caption as read: the accelerator's "&" dropped, "&&" as "&".
    static QString CaptionText(const QString& caption);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

  protected:
    void Press() override;

  private:
    TOvalButton* Button() const;
};

}  // namespace vx::ui
