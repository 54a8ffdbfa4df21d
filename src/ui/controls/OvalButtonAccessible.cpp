#include "ui/controls/OvalButtonAccessible.h"

#include "ui/controls/OvalBtn.h"

namespace vx::ui {

OvalButtonAccessible::OvalButtonAccessible(TOvalButton* button)
    : PressableAccessible(button, QAccessible::Button, QStringLiteral("Space")) {}

QString OvalButtonAccessible::CaptionText(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == u'&') {
            out += u'&';
            ++i;
        }
    }
    return out;
}

TOvalButton* OvalButtonAccessible::Button() const {
    return static_cast<TOvalButton*>(widget());
}

QString OvalButtonAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
        return CaptionText(Button()->Caption());
    if (t == QAccessible::Accelerator) {
        // The key the button itself answers to.
        const QChar key = TOvalButton::AccelChar(Button()->Caption());
        return key.isNull() ? QString() : QStringLiteral("Alt+") + key;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State OvalButtonAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    const TOvalButton* b = Button();
    s.pressed = b->MousePressed() && b->MouseInside();
    if (b->GroupIndex() != 0) {
        s.checkable = true;
        s.checked = b->Down();
    }
    return s;
}

void OvalButtonAccessible::Press() {
    Button()->Press();
}

}  // namespace vx::ui
