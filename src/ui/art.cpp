#include "ui/art.h"

#include "ui/JpegImage.h"

namespace vx::ui::art {

QPixmap Draw(Picture picture) {
    return QPixmap(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(FileName(picture))));
}

QIcon Icon(Picture picture) {
    return QIcon(Draw(picture));
}

QPixmap Banner() {
    return QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/banner.jpg")));
}

QPixmap AboutPicture() {
    return QPixmap::fromImage(LoadJpeg(QStringLiteral(":/pictures/about.jpg")));
}

}  // namespace vx::ui::art
