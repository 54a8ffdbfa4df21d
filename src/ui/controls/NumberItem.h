// A table cell holding a number: shown as its text, sorted by its value, so
// that "10" comes after "9" and "-" (no place) where its value puts it.
#pragma once

#include <QTableWidgetItem>

namespace vx::ui {

class NumberItem : public QTableWidgetItem {
  public:
    NumberItem(double value, const QString& text);
    bool operator<(const QTableWidgetItem& other) const override;
};

}  // namespace vx::ui
