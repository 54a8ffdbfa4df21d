#include "ui/tracking/SparklineDelegate.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/tracking/TrackingModel.h"

namespace vx::ui {

SparklineDelegate::SparklineDelegate(const TrackingModel& model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QSize SparklineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    return QSize(150, QStyledItemDelegate::sizeHint(option, index).height());
}

void SparklineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const auto& recent = model_.TermAt(index.row()).recent;
    if (recent.empty()) return;
    int worst = 1;
    for (const Rank r : recent)
        if (r && *r != kNotRanked) worst = std::max(worst, *r);
    const QRectF area = QRectF(option.rect).adjusted(4, 3, -4, -3);
    const double step =
        recent.size() > 1 ? area.width() / static_cast<double>(recent.size() - 1) : 0;
    const auto y = [&](int rank) {
        return worst == 1 ? area.center().y()
                          : area.top() + area.height() * (rank - 1) / static_cast<double>(worst);
    };
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QColor ink = option.state & QStyle::State_Selected
                           ? option.palette.highlightedText().color()
                           : option.palette.text().color();
    painter->setPen(QPen(ink, 1.5));
    QPainterPath line;
    bool drawing = false;
    for (size_t i = 0; i < recent.size(); ++i) {
        const double x = area.left() + step * static_cast<double>(i);
        const Rank r = recent[i];
        if (!r) {
            drawing = false;
            continue;
        }
        if (*r == kNotRanked) {
            painter->drawLine(QPointF(x - 2, area.bottom()), QPointF(x + 2, area.bottom()));
            drawing = false;
            continue;
        }
        const QPointF p(x, y(*r));
        drawing ? line.lineTo(p) : line.moveTo(p);
        line.addEllipse(p, 1.2, 1.2);
        line.moveTo(p);
        drawing = true;
    }
    painter->drawPath(line);
    painter->restore();
}

}  // namespace vx::ui
