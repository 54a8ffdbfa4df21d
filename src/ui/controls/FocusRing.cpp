#include "ui/controls/FocusRing.h"

#include <QApplication>
#include <QPainter>

namespace vx::ui {

FocusRing::FocusRing(QWidget* area) : QWidget(area) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { Follow(now); });
}

void FocusRing::Follow(QWidget* now) {
    QWidget* area = parentWidget();
    if (!now || now == this || !area->isAncestorOf(now)) {
        target_ = nullptr;
        hide();
        return;
    }
    target_ = now;
    // Two pixels around the control, in the area's coordinates.
    const QRect r(now->mapTo(area, QPoint(0, 0)), now->size());
    setGeometry(r.adjusted(-2, -2, 2, 2));
    raise();
    show();
    update();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QPen pen(palette().color(QPalette::Highlight), 2);
    p.setPen(pen);
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}

}  // namespace vx::ui
