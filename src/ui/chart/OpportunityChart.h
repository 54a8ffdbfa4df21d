// The opportunity chart: the table's rows as points, demand against
// competition on logarithmic axes, coloured by profitability and sized by
// estimated prospects, with median lines and the promising corner labelled.
#pragma once

#include <QChart>
#include <QWidget>
#include <map>
#include <optional>

#include "results/atomic_file.h"
#include "results/opportunity.h"
#include "results/results_table.h"

class QLineSeries;
class QGraphicsSimpleTextItem;

namespace vx::ui {

class OpportunityChart : public QObject {
    Q_OBJECT
  public:
    OpportunityChart();
    ~OpportunityChart() override;

    QChart* Chart() const { return chart_; }
    // Rebuilds every point from the table's rows.
    void Update(const ResultsTable& table);
    const Opportunities& Data() const { return data_; }
    // Rings the point of a row (none when the row is not plotted).
    void MarkRow(std::optional<RowId> id);
    std::optional<RowId> MarkedRow() const { return marked_; }
    // The row whose marker covers a position of the chart's scene.
    std::optional<RowId> RowAt(const QPointF& scenePos) const;
    QPointF ScenePositionOf(const OpportunityPoint& p) const;

    // PNG or SVG by the file's extension, written atomically.
    // Without the selection ring.
    WriteResult SavePicture(const QString& path, QSize size);

  signals:
    void PointClicked(vx::RowId id);
    void PointHovered(vx::RowId id, bool entered);

  private:
    class PointsItem;
    void PlaceCornerLabel();

    QChart* chart_;
    PointsItem* points_ = nullptr;
    QRectF range_;  // the axes' log ranges
    QLineSeries* medianDemand_;
    QLineSeries* medianCompetition_;
    QGraphicsSimpleTextItem* corner_;
    Opportunities data_;
    std::optional<RowId> marked_;
};

}  // namespace vx::ui
