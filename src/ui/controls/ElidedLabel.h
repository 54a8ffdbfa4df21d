// A one-line label for texts of any length: it never asks for more width
// than its place, draws what does not fit as "...", and shows the whole text
// as its tooltip. A long status text cannot stretch a fixed window.
#pragma once

#include <QLabel>

namespace vx::ui {

class ElidedLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    // The whole text stays in text(); the tooltip holds it too.
    void SetFullText(const QString& text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool Elided() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vx::ui
