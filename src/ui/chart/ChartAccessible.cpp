#include "ui/chart/ChartAccessible.h"

#include <QChartView>

namespace vx::ui {

ChartAccessible::ChartAccessible(QWidget* view) : QAccessibleWidget(view, QAccessible::Chart) {}

void ChartAccessible::Install() {
    static const bool installed = (QAccessible::installFactory(&ChartAccessible::Create), true);
    (void)installed;
}

QAccessibleInterface* ChartAccessible::Create(const QString& className, QObject* object) {
    auto* view = qobject_cast<QChartView*>(object);
    if (!view || className != QLatin1String(QChartView::staticMetaObject.className()))
        return nullptr;
    return new ChartAccessible(view);
}

}  // namespace vx::ui
