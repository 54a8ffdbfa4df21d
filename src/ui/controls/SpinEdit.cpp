#include "ui/controls/SpinEdit.h"

#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/SpinEditAccessible.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QToolButton>

#include "core/text.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

TSpinEdit::TSpinEdit(int minValue, int maxValue, int value, QWidget* parent)
    : QWidget(parent), min_(minValue), max_(maxValue) {
    InstallAccessibleFactory<TSpinEdit, SpinEditAccessible>();
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(2);
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    // Arrows draw no text: a screen reader says what they do.
    up_->setAccessibleName(QStringLiteral("Increase"));
    down_->setAccessibleName(QStringLiteral("Decrease"));
    connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    edit_->installEventFilter(this);
    setFocusProxy(edit_);
    SetValue(value);
}

int TSpinEdit::Value() const {
    const auto v = ReadWholeNumber(ToBytes(edit_->text()));
    return Clamp(v ? *v : min_);
}

void TSpinEdit::SetValue(int value) {
    edit_->setText(QString::number(Clamp(value)));
}

void TSpinEdit::Step(int delta) {
    SetValue(Value() + delta);
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            Step(key->key() == Qt::Key_Up ? +1 : -1);
            return true;
        }
        const QString text = key->text();
        if (text.size() == 1 && text[0].isPrint()) {
            const QChar c = text[0];
            const QChar sep = QLocale().decimalPoint().at(0);
            if (!(c.isDigit() && c.unicode() < 128) && c != u'+' && c != u'-' && c != sep) {
                QApplication::beep();
                return true;
            }
        } else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QApplication::beep();
            return true;
        }
    }
    // Once focus leaves, the field shows the number a run will use ("", "+"
    // or "1." read as the minimum, 45 as 30).
    if (watched == edit_ && event->type() == QEvent::FocusOut) SetValue(Value());
    return QWidget::eventFilter(watched, event);
}

void TSpinEdit::resizeEvent(QResizeEvent*) {
    const int h = height(), bw = 15;
    edit_->setGeometry(0, 0, width() - bw, h);
    up_->setGeometry(width() - bw, 0, bw, h / 2);
    down_->setGeometry(width() - bw, h / 2, bw, h - h / 2);
}

}  // namespace vx::ui
