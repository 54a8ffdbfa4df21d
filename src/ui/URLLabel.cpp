#include "ui/URLLabel.h"

#include <QBitmap>
#include <QMap>
#include <QMouseEvent>

#include "ui/platform.h"

namespace vx::ui {

namespace Cursors {
namespace {
QMap<int, QCursor>& Table() {
    static QMap<int, QCursor> table;
    return table;
}
}  // namespace

void Set(int number, const QCursor& cursor) {
    Table().insert(number, cursor);
}

QCursor Get(int number) {
    return Table().value(number, QCursor(Qt::ArrowCursor));
}

QCursor LoadUrlCursor() {
    const QBitmap shape = QBitmap::fromImage(QImage(QStringLiteral(":/cursors/URLCURSOR_1.xbm")));
    const QBitmap mask =
        QBitmap::fromImage(QImage(QStringLiteral(":/cursors/URLCURSOR_1_mask.xbm")));
    if (shape.isNull() || mask.isNull()) return QCursor(Qt::PointingHandCursor);
    return QCursor(shape, mask, 5, 0);
}
}  // namespace Cursors

TURLLabel::TURLLabel(QWidget* parent) : QLabel(parent) {
    setText(QString::fromLatin1(kDefaultLink));
    QFont f = font();
    f.setUnderline(true);
    f.setBold(false);
    f.setItalic(false);
    f.setStrikeOut(false);
    setFont(f);
    // Every label enters the cursor again, replacing an earlier 512.
    Cursors::Set(crURLCursor, Cursors::LoadUrlCursor());
    setCursor(Cursors::Get(crURLCursor));
}

QString TURLLabel::Target(TURLType type, const QString& caption) {
    static const char* kPrefix[] = {"http://", "ftp://", "mailto:"};
    const QString prefix = QString::fromLatin1(kPrefix[type]);
    QString lower = caption;
    for (QChar& c : lower)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return lower.contains(prefix) ? caption : prefix + caption;
}

void TURLLabel::Click() {
    Shell::Open(Target(urlType_, text()));
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
}

void TURLLabel::SetFontColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, color);
    setPalette(p);
}

void TURLLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    SetFontColor(QColor(0, 0, 255));
}

void TURLLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    SetFontColor(QColor(0, 0, 0));
}

}  // namespace vx::ui
