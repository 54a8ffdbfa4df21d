#include "ui/chart/PointView.h"

#include <QMouseEvent>

namespace vx::ui {

PointView::PointView(OpportunityChart& chart, QWidget* parent)
    : QChartView(chart.Chart(), parent), chart_(chart) {
    setMouseTracking(true);
}

void PointView::mouseReleaseEvent(QMouseEvent* e) {
    QChartView::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    if (const auto id = chart_.RowAt(mapToScene(e->position().toPoint())))
        emit chart_.PointClicked(*id);
}

void PointView::mouseMoveEvent(QMouseEvent* e) {
    QChartView::mouseMoveEvent(e);
    const auto id = chart_.RowAt(mapToScene(e->position().toPoint()));
    if (id != hovered_) {
        if (hovered_) emit chart_.PointHovered(*hovered_, false);
        hovered_ = id;
        if (hovered_) emit chart_.PointHovered(*hovered_, true);
    }
}

}  // namespace vx::ui
