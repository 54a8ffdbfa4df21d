// What assistive technology sees of a chart view: one picture with the role
// of a chart, its name and a description in words, instead of a scroll area
// with an unnamed viewport.
#pragma once

#include <QAccessibleWidget>

namespace vx::ui {

class ChartAccessible : public QAccessibleWidget {
  public:
    explicit ChartAccessible(QWidget* view);

    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

}  // namespace vx::ui
