#include "ui/art.h"

#include "ui/JpegImage.h"

namespace vx::ui::art {

namespace {
const char* FileOf(Picture p) {
    switch (p) {
        case Picture::PageOfText:
            return ":/pictures/page-of-text.png";
        case Picture::OpenDoor:
            return ":/pictures/open-door.png";
        case Picture::FloppyDisk:
            return ":/pictures/floppy-disk.png";
        case Picture::OpenFolder:
            return ":/pictures/open-folder.png";
        case Picture::QuestionMark:
            return ":/pictures/question-mark.png";
        case Picture::Globe:
            return ":/pictures/globe.png";
        case Picture::LightBulb:
            return ":/pictures/light-bulb.png";
        case Picture::GearWithSpark:
            return ":/pictures/gear-spark.png";
        case Picture::NoEntry:
            return ":/pictures/no-entry.png";
        case Picture::Magnifier:
            return ":/pictures/magnifier.png";
    }
    return "";
}
}  // namespace

QPixmap Draw(Picture picture) {
    return QPixmap(QString::fromLatin1(FileOf(picture)));
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
