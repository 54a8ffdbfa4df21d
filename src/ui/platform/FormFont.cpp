#include "ui/platform/FormFont.h"

#include <QStringList>

namespace vx::ui {

QFont FormFont(const QString& family, int pixelHeight, bool bold) {
    QFont f;
    f.setFamilies({family, QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}

}  // namespace vx::ui
