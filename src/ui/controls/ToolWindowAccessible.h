// What a screen reader gets of a top-level window of ours (History, the
// chart): a window named by its title, not a nameless pane.
#pragma once

#include <QAccessibleWidget>
#include <QWidget>

namespace vx::ui {

class ToolWindowAccessible : public QAccessibleWidget {
  public:
    explicit ToolWindowAccessible(QWidget* window)
        : QAccessibleWidget(window, QAccessible::Window) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return widget()->windowTitle();
        return QAccessibleWidget::text(t);
    }
};

}  // namespace vx::ui
