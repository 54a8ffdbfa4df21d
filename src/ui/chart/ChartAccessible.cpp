#include "ui/chart/ChartAccessible.h"

namespace vx::ui {

ChartAccessible::ChartAccessible(QWidget* view) : QAccessibleWidget(view, QAccessible::Chart) {}

}  // namespace vx::ui
