// Draws a term's last checks as a small line in its cell: place 1 at the
// top, a gap where a check could not tell, a mark at the bottom where the
// site was not within the pages searched. Only the rows in view are drawn.
#pragma once

#include <QStyledItemDelegate>

namespace vx::ui {

class TrackingModel;

class SparklineDelegate : public QStyledItemDelegate {
  public:
    SparklineDelegate(const TrackingModel& model, QObject* parent);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    const TrackingModel& model_;
};

}  // namespace vx::ui
