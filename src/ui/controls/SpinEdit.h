#pragma once

#include <QLineEdit>
#include <QWidget>

class QToolButton;

namespace vx::ui {

// Integer field with arrow buttons, typing limited to digits, signs and the
// decimal separator, clamped to its range when it loses focus or is set from
// code. Text that does not read as a number counts as the minimum and is
// left as typed.
class TSpinEdit : public QWidget {
    Q_OBJECT
  public:
    TSpinEdit(int minValue, int maxValue, int value, QWidget* parent = nullptr);
    int Value() const;
    void SetValue(int value);
    QLineEdit* Editor() const { return edit_; }
    int Minimum() const { return min_; }
    int Maximum() const { return max_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Step(int delta);
    int Clamp(int v) const { return v < min_ ? min_ : (v > max_ ? max_ : v); }

    QLineEdit* edit_;
    QToolButton* up_;
    QToolButton* down_;
    int min_, max_;
};

}  // namespace vx::ui
