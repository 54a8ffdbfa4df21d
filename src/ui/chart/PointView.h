// The chart's view: clicks and hovers found by our own hit test on the
// markers' pixels, reported through the chart's signals.
#pragma once

#include <QChartView>
#include <optional>

#include "ui/chart/OpportunityChart.h"

namespace vx::ui {

class PointView : public QChartView {
  public:
    PointView(OpportunityChart& chart, QWidget* parent);

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    OpportunityChart& chart_;
    std::optional<RowId> hovered_;
};

}  // namespace vx::ui
