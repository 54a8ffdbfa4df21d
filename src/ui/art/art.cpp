#include "ui/art/art.h"

#include "ui/art/JpegImage.h"

namespace vx::ui::art {

QPixmap Draw(Picture picture) {
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(FileName(picture))));
}

QIcon Icon(Picture picture) {
    return QIcon(Draw(picture));
}

QPixmap Banner(qreal devicePixelRatio) {
    // Painted at 2x for screens that show twice the pixels, never blurred up.
    if (devicePixelRatio > 1.0) {
        QPixmap sharp = QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/banner@2x.jpg")));
        sharp.setDevicePixelRatio(2.0);
        if (!sharp.isNull()) return sharp;
    }
    return QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/banner.jpg")));
}

QPixmap AboutPicture() {
    return QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/about.jpg")));
}

}  // namespace vx::ui::art
