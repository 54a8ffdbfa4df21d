#include "ui/controls/URLLabelAccessible.h"

#include "ui/controls/URLLabel.h"

namespace vx::ui {

URLLabelAccessible::URLLabelAccessible(TURLLabel* label)
    : PressableAccessible(label, QAccessible::Link, QStringLiteral("Return")) {}

TURLLabel* URLLabelAccessible::Label() const {
    return static_cast<TURLLabel*>(widget());
}

QString URLLabelAccessible::text(QAccessible::Text t) const {
    // The address itself: the link's value, and said in its description.
    const QString target = TURLLabel::Target(Label()->URLType(), Label()->text());
    switch (t) {
        case QAccessible::Name:
            if (widget()->accessibleName().isEmpty()) return Label()->text();
            break;
        case QAccessible::Description:
            if (widget()->accessibleDescription().isEmpty())
                return QStringLiteral("Opens ") + target;
            break;
        case QAccessible::Value:
            return target;
        default:
            break;
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State URLLabelAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.linked = true;
    return s;
}

void URLLabelAccessible::Press() {
    Label()->Click();
}

}  // namespace vx::ui
