#include "ui/art/JpegImage.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

QByteArray Banner() {
    QFile f(u":/pictures/banner.jpg"_s);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

TEST(JpegImage, DecodesOurPictures) {
    const QImage banner = LoadJpeg(u":/pictures/banner.jpg"_s);
    EXPECT_EQ(banner.size(), QSize(490, 55));
    const QImage about = LoadJpeg(u":/pictures/about.jpg"_s);
    EXPECT_EQ(about.size(), QSize(150, 140));
    // The banner is dark blue on its left: not a blank or grey picture.
    const QColor c = banner.pixelColor(3, 50);
    EXPECT_GT(c.blue(), c.red() + 30);
}

TEST(JpegImage, DamagedDataGivesAnEmptyPicture) {
    const QByteArray good = Banner();
    QByteArray flipped = good;
    for (int i = 200; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
    const QByteArray cases[] = {
        good.left(good.size() / 2),  // truncated: no grey padding
        good.left(20),               // header cut
        QByteArray("\xFF\xD8\xFF garbage", 12),
        QByteArray(4096, '\0'),
        QByteArray(),
        flipped,
    };
    for (const QByteArray& bytes : cases) EXPECT_TRUE(DecodeJpeg(bytes).isNull()) << bytes.size();
    EXPECT_TRUE(LoadJpeg(u"/nonexistent/picture.jpg"_s).isNull());
}

}  // namespace
}  // namespace vx::ui
