// A ring drawn around whichever control of a window has keyboard focus, so
// the focus can be seen on every control, whatever the style draws itself.
#pragma once

#include <QPointer>
#include <QWidget>

namespace vx::ui {

class FocusRing : public QWidget {
    Q_OBJECT
  public:
    // Follows the focus among area's descendants.
    explicit FocusRing(QWidget* area);
    Q_DISABLE_COPY_MOVE(FocusRing)

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Follow(QWidget* now);

    QPointer<QWidget> target_;
};

}  // namespace vx::ui
