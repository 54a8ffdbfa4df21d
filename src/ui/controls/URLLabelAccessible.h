// What assistive technology sees of a TURLLabel: a link named by its
// caption, described by the address it opens, opened through its action.
#pragma once

#include "ui/controls/PressableAccessible.h"

namespace vx::ui {

class TURLLabel;

class URLLabelAccessible : public PressableAccessible {
  public:
    explicit URLLabelAccessible(TURLLabel* label);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

  protected:
    void Press() override;

  private:
    TURLLabel* Label() const;
};

}  // namespace vx::ui
