// make-assets OUT-DIR: paints Vexorin's pictures and writes them as the files
// the application ships: the banner and About picture as JPEG (encoded with
// libjpeg), the menu and button pictures as PNG, and the link cursor as XBM.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ui/art/art.h"

extern "C" {
#include <jpeglib.h>
}

namespace art {

using vx::ui::art::Picture;

namespace {

void Gear(QPainter& g, QPointF c, double r) {
    QPainterPath path;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = i * 3.14159265 / teeth;
        const double rr = (i % 2 == 0) ? r : r * 0.72;
        const QPointF p(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    g.setPen(QPen(QColor(70, 70, 70), 1));
    g.setBrush(QColor(160, 160, 165));
    g.drawPath(path);
    g.setBrush(QColor(235, 235, 235));
    g.drawEllipse(c, r * 0.3, r * 0.3);
}

}  // namespace

namespace {

const QPen kInk(QColor(40, 40, 40), 1);

void PageOfText(QPainter& g) {
    g.setPen(kInk);
    g.setBrush(Qt::white);
    g.drawRect(QRectF(2.5, 0.5, 11, 15));
    g.setPen(QPen(QColor(60, 90, 160), 1));
    for (int y = 4; y <= 12; y += 2) g.drawLine(QPointF(4.5, y + 0.5), QPointF(11.5, y + 0.5));
}

void OpenDoor(QPainter& g) {
    g.setPen(kInk);
    g.setBrush(QColor(120, 80, 40));
    g.drawRect(QRectF(3.5, 0.5, 9, 15));
    g.setBrush(QColor(190, 140, 80));
    QPolygonF leaf({{3.5, 0.5}, {9.5, 2.5}, {9.5, 15.5}, {3.5, 15.5}});
    g.drawPolygon(leaf);
    g.setBrush(QColor(240, 200, 60));
    g.drawEllipse(QPointF(8, 8.5), 0.9, 0.9);
}

void FloppyDisk(QPainter& g) {
    g.setPen(kInk);
    g.setBrush(QColor(40, 70, 150));
    g.drawRect(QRectF(0.5, 0.5, 15, 15));
    g.setBrush(QColor(200, 200, 205));
    g.drawRect(QRectF(3.5, 0.5, 9, 5));
    g.setBrush(Qt::white);
    g.drawRect(QRectF(2.5, 8.5, 11, 7));
}

void OpenFolder(QPainter& g) {
    g.setPen(kInk);
    g.setBrush(QColor(220, 180, 60));
    g.drawPolygon(
        QPolygonF({{0.5, 3.5}, {5.5, 3.5}, {7.5, 5.5}, {13.5, 5.5}, {13.5, 14.5}, {0.5, 14.5}}));
    g.setBrush(QColor(250, 215, 100));
    g.drawPolygon(QPolygonF({{2.5, 8.5}, {15.5, 8.5}, {13.5, 14.5}, {0.5, 14.5}}));
}

void QuestionMark(QPainter& g) {
    g.setPen(QPen(QColor(30, 60, 160), 1));
    g.setBrush(QColor(70, 120, 220));
    g.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    QFont f(QStringLiteral("DejaVu Sans"), 8, QFont::Bold);
    f.setPixelSize(12);
    g.setFont(f);
    g.setPen(Qt::white);
    g.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
}

void Globe(QPainter& g) {
    g.setPen(QPen(QColor(20, 90, 60), 1));
    g.setBrush(QColor(90, 160, 230));
    g.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    g.setBrush(Qt::NoBrush);
    g.drawEllipse(QRectF(4.5, 0.5, 7, 15));
    g.drawLine(QPointF(0.5, 8), QPointF(15.5, 8));
    g.drawLine(QPointF(8, 0.5), QPointF(8, 15.5));
}

void LightBulb(QPainter& g) {
    g.setPen(QPen(QColor(230, 170, 0), 1));
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265 / 4;
        g.drawLine(QPointF(8 + 5.2 * std::cos(a), 7 + 5.2 * std::sin(a)),
                   QPointF(8 + 7.3 * std::cos(a), 7 + 7.3 * std::sin(a)));
    }
    g.setPen(kInk);
    g.setBrush(QColor(255, 235, 90));
    g.drawEllipse(QPointF(8, 7), 4, 4);
    g.setBrush(QColor(150, 150, 150));
    g.drawRect(QRectF(6.5, 11, 3, 3.5));
}

void GearWithSpark(QPainter& g) {
    Gear(g, QPointF(7, 8), 6.5);
    g.setPen(QPen(QColor(180, 130, 0), 1));
    g.setBrush(QColor(255, 220, 0));
    g.drawPolygon(QPolygonF({{13, 0},
                             {14, 3},
                             {17, 3.5},
                             {14.5, 5},
                             {15.5, 8},
                             {13, 6},
                             {10.5, 8},
                             {11.5, 5},
                             {9, 3.5},
                             {12, 3}}));
}

void NoEntry(QPainter& g) {
    g.setPen(QPen(QColor(130, 0, 0), 1));
    g.setBrush(QColor(220, 30, 30));
    g.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    g.setPen(Qt::NoPen);
    g.setBrush(Qt::white);
    g.drawRect(QRectF(3, 6.5, 10, 3));
}

void ScatterChart(QPainter& g) {
    // Axes, a dashed median cross and dots, the promising one green.
    g.setPen(kInk);
    g.drawLine(QPointF(1.5, 0.5), QPointF(1.5, 14.5));
    g.drawLine(QPointF(1.5, 14.5), QPointF(15.5, 14.5));
    g.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
    g.drawLine(QPointF(8.5, 1), QPointF(8.5, 13.5));
    g.drawLine(QPointF(2, 7.5), QPointF(15, 7.5));
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(150, 150, 150));
    g.drawEllipse(QPointF(5, 4), 1.6, 1.6);
    g.setBrush(QColor(200, 40, 40));
    g.drawEllipse(QPointF(11, 4.5), 1.6, 1.6);
    g.setBrush(QColor(160, 210, 160));
    g.drawEllipse(QPointF(5, 11), 1.6, 1.6);
    g.setBrush(QColor(30, 140, 40));
    g.drawEllipse(QPointF(12, 11), 2.4, 2.4);
}

void Magnifier(QPainter& g) {
    g.setPen(QPen(QColor(60, 60, 60), 2));
    g.setBrush(QColor(200, 230, 255, 200));
    g.drawEllipse(QPointF(8.5, 8.5), 6.5, 6.5);
    g.setPen(QPen(QColor(100, 60, 20), 3.5, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(13.5, 13.5), QPointF(20, 19.5));
}

// Every picture: its size in pixels and how it is drawn.
struct PictureArt {
    Picture picture;
    QSize size;
    void (*draw)(QPainter& g);
};
const PictureArt kArt[] = {
    {Picture::PageOfText, {16, 16}, PageOfText},
    {Picture::OpenDoor, {16, 16}, OpenDoor},
    {Picture::FloppyDisk, {16, 16}, FloppyDisk},
    {Picture::OpenFolder, {16, 16}, OpenFolder},
    {Picture::QuestionMark, {16, 16}, QuestionMark},
    {Picture::Globe, {16, 16}, Globe},
    {Picture::LightBulb, {16, 16}, LightBulb},
    {Picture::GearWithSpark, {17, 15}, GearWithSpark},
    {Picture::NoEntry, {16, 16}, NoEntry},
    {Picture::ScatterChart, {16, 16}, ScatterChart},
    {Picture::Magnifier, {22, 21}, Magnifier},
};

}  // namespace

QPixmap Draw(Picture picture) {
    for (const PictureArt& art : kArt) {
        if (art.picture != picture) continue;
        QPixmap pm(art.size);
        pm.fill(Qt::transparent);
        QPainter g(&pm);
        g.setRenderHint(QPainter::Antialiasing, true);
        art.draw(g);
        return pm;
    }
    return {};
}

// At scale 2 for screens of pixel ratio 2: painted, not scaled up.
QPixmap Banner(int scale = 1) {
    QPixmap pm(490 * scale, 55 * scale);
    QPainter g(&pm);
    g.scale(scale, scale);
    g.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient sky(0, 0, 490, 55);
    sky.setColorAt(0, QColor(18, 52, 110));
    sky.setColorAt(1, QColor(60, 140, 200));
    g.fillRect(QRect(0, 0, 490, 55), sky);
    g.setPen(QColor(255, 255, 255, 40));
    for (int x = -55; x < 490; x += 14) g.drawLine(x, 55, x + 55, 0);
    QFont title(QStringLiteral("DejaVu Sans"), 20, QFont::Bold);
    title.setPixelSize(28);
    g.setFont(title);
    g.setPen(Qt::white);
    g.drawText(QRect(14, 4, 270, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vexorin"));
    QFont sub(QStringLiteral("DejaVu Sans"), 8);
    sub.setPixelSize(11);
    g.setFont(sub);
    g.setPen(QColor(220, 235, 255));
    g.drawText(QRect(16, 36, 270, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("keyword research for your web site"));
    return pm;
}

}  // namespace art

namespace {

bool WriteJpeg(const QImage& picture, const QString& path, int quality) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!f) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = static_cast<JDIMENSION>(rgb.width());
    info.image_height = static_cast<JDIMENSION>(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(f);
    return true;
}

QImage AboutPicture() {
    QImage img(150, 140, QImage::Format_RGB888);
    img.fill(Qt::white);
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing, true);
    QRadialGradient glow(75, 70, 90);
    glow.setColorAt(0, QColor(230, 242, 255));
    glow.setColorAt(1, QColor(255, 255, 255));
    g.fillRect(img.rect(), glow);
    // Bars of demand, rising.
    const int heights[] = {28, 44, 36, 62, 78};
    for (int i = 0; i < 5; ++i) {
        QLinearGradient bar(0, 120 - heights[i], 0, 120);
        bar.setColorAt(0, QColor(60, 140, 200));
        bar.setColorAt(1, QColor(18, 52, 110));
        g.fillRect(QRect(14 + i * 20, 120 - heights[i], 14, heights[i]), bar);
    }
    g.setPen(QPen(QColor(40, 40, 40), 2));
    g.drawLine(8, 121, 112, 121);
    // A magnifying glass over them.
    g.setPen(QPen(QColor(50, 50, 50), 5));
    g.setBrush(QColor(255, 255, 255, 90));
    g.drawEllipse(QPointF(96, 52), 30, 30);
    g.setPen(QPen(QColor(110, 70, 30), 10, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(118, 74), QPointF(140, 98));
    return img;
}

// The link cursor: a white hand with a black outline, index finger up.
// 'X' outline, '.' white fill, ' ' transparent. Hot spot 5,0 is the fingertip.
const char* const kHand[32] = {
    "    XXX                         ",
    "   X...X                        ",
    "   X...X                        ",
    "   X...X                        ",
    "   X...X                        ",
    "   X...XXX XX                   ",
    "   X...X..X..XXX                ",
    "   X...X..X..X..X               ",
    "XX X...X..X..X..X               ",
    "X..X...X..X..X..X               ",
    "X..X...........X                ",
    " X.X...........X                ",
    " X.............X                ",
    "  X............X                ",
    "  X...........X                 ",
    "   X..........X                 ",
    "   X.........X                  ",
    "    X........X                  ",
    "    X........X                  ",
    "    XXXXXXXXXX                  ",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
    "",
};

bool WriteXbm(const QString& path, const char* name, bool mask) {
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "w");
    if (!f) return false;
    std::fprintf(f, "#define %s_width 32\n#define %s_height 32\n", name, name);
    std::fprintf(f, "#define %s_x_hot 5\n#define %s_y_hot 0\n", name, name);
    std::fprintf(f, "static unsigned char %s_bits[] = {\n", name);
    for (int y = 0; y < 32; ++y) {
        const char* row = kHand[y];
        const size_t len = std::strlen(row);
        for (int byte = 0; byte < 4; ++byte) {
            unsigned v = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const size_t x = static_cast<size_t>(byte * 8 + bit);
                const char c = x < len ? row[x] : ' ';
                // Shape: black where outlined; mask: every visible pixel.
                const bool on = mask ? c != ' ' : c == 'X';
                if (on) v |= 1u << bit;
            }
            std::fprintf(f, " 0x%02x%s", v, (y == 31 && byte == 3) ? "" : ",");
        }
        std::fprintf(f, "\n");
    }
    std::fprintf(f, "};\n");
    std::fclose(f);
    return true;
}

}  // namespace

// The application's icon: a magnifier over a rising bar chart, the
// promising corner of a keyword table. Painted per size so small ones stay
// crisp rather than scaled down.
QImage AppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    QLinearGradient face(0, 0, 0, s);
    face.setColorAt(0, QColor(46, 125, 50));
    face.setColorAt(1, QColor(27, 94, 32));
    g.setPen(Qt::NoPen);
    g.setBrush(face);
    g.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
    g.setBrush(QColor(200, 230, 201));
    const double bw = s * 0.13;
    for (int i = 0; i < 3; ++i) {
        const double h = s * (0.22 + 0.16 * i);
        g.drawRect(QRectF(s * 0.16 + i * bw * 1.35, s * 0.84 - h, bw, h));
    }
    QPen ring(Qt::white, std::max(1.0, s * 0.07));
    g.setPen(ring);
    g.setBrush(QColor(255, 255, 255, 60));
    g.drawEllipse(QPointF(s * 0.6, s * 0.42), s * 0.2, s * 0.2);
    ring.setCapStyle(Qt::RoundCap);
    ring.setWidthF(std::max(1.5, s * 0.1));
    g.setPen(ring);
    g.drawLine(QPointF(s * 0.74, s * 0.56), QPointF(s * 0.88, s * 0.72));
    return img;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-assets OUT-DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    auto at = [&out](const char* name) { return out + QLatin1String(name); };
    QDir().mkpath(at("/pictures"));
    QDir().mkpath(at("/cursors"));
    bool ok = WriteJpeg(art::Banner().toImage(), at("/pictures/banner.jpg"), 90);
    ok = WriteJpeg(art::Banner(2).toImage(), at("/pictures/banner@2x.jpg"), 90) && ok;
    ok = WriteJpeg(AboutPicture(), at("/pictures/about.jpg"), 90) && ok;
    for (int i = 0; i < vx::ui::art::kPictureCount; ++i) {
        const auto picture = static_cast<vx::ui::art::Picture>(i);
        ok = art::Draw(picture).save(at("/pictures/") +
                                     QLatin1String(vx::ui::art::FileName(picture)) +
                                     QLatin1String(".png")) &&
             ok;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString dir = at("/icons/hicolor/") + QStringLiteral("%1x%1/apps").arg(size);
        QDir().mkpath(dir);
        ok = AppIcon(size).save(dir + QLatin1String("/vexorin.png")) && ok;
    }
    ok = WriteXbm(at("/cursors/URLCURSOR_1.xbm"), "URLCURSOR_1", false) && ok;
    ok = WriteXbm(at("/cursors/URLCURSOR_1_mask.xbm"), "URLCURSOR_1_mask", true) && ok;
    return ok ? 0 : 1;
}
