#include "ui/controls/URLLabel.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMap>
#include <QMouseEvent>

#include "ui/Constants.h"
#include "ui/controls/AccessibleFactory.h"
#include "ui/controls/URLLabelAccessible.h"
#include "ui/platform/Shell.h"

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
    InstallAccessibleFactory<TURLLabel, URLLabelAccessible>();  // first: see its header
    // The caption is an address, never markup: it is drawn as it opens.
    setTextFormat(Qt::PlainText);
    SetCaption(QString::fromLatin1(kHomepage));
    QFont f = font();
    f.setUnderline(true);
    f.setBold(false);
    f.setItalic(false);
    f.setStrikeOut(false);
    setFont(f);
    // Every label enters the cursor again, replacing an earlier 512.
    Cursors::Set(crURLCursor, Cursors::LoadUrlCursor());
    setCursor(Cursors::Get(crURLCursor));
    // Reached with Tab and opened with Enter or Space, as a link.
    setFocusPolicy(Qt::TabFocus);
}

QString TURLLabel::Target(TURLType type, const QString& caption) {
    static const char* kPrefix[] = {"http://", "ftp://", "mailto:"};
    const QString prefix = QString::fromLatin1(kPrefix[type]);
    QString lower = caption;
    for (QChar& c : lower)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return lower.contains(prefix) ? caption : prefix + caption;
}

void TURLLabel::SetCaption(const QString& caption) {
    setText(caption);
    if (autoSize_) adjustSize();
}

void TURLLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    if (autoSize_) adjustSize();
}

void TURLLabel::Click() {
    // An address only: a caption never becomes a path to a local file.
    Shell::OpenAddress(Target(urlType_, text()));
}

void TURLLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    releaseEndsDoubleClick_ = event->button() == Qt::LeftButton;
}

void TURLLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    // The release that ends a double-click is no click: one double-click
    // opens the address once.
    const bool endsDouble = releaseEndsDoubleClick_;
    releaseEndsDoubleClick_ = false;
    if (event->button() == Qt::LeftButton && !endsDouble &&
        rect().contains(event->position().toPoint()))
        Click();
}

void TURLLabel::keyPressEvent(QKeyEvent* event) {
    if (PressableAccessible::IsPressKey(event->key()))
        Click();
    else
        QLabel::keyPressEvent(event);
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
