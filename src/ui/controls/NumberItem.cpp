#include "ui/controls/NumberItem.h"

namespace vx::ui {

NumberItem::NumberItem(double value, const QString& text) {
    setData(Qt::DisplayRole, text);
    setData(Qt::UserRole, value);
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

bool NumberItem::operator<(const QTableWidgetItem& other) const {
    return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
}

}  // namespace vx::ui
