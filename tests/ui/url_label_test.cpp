#include "ui/Constants.h"
#include "ui/controls/URLLabel.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTest>

#include "ui/platform/Shell.h"

using namespace Qt::StringLiterals;

namespace vx::ui {
namespace {

TEST(URLLabel, TargetPrefixRules) {
    struct Case {
        TURLType type;
        const char *caption, *target;
    } cases[] = {
        {utHTTP, "www.Example.com", "http://www.Example.com"},
        {utHTTP, "HTTP://Example.com", "HTTP://Example.com"},
        {utHTTP, "see http://x.com", "see http://x.com"},
        {utFTP, "files.example.com", "ftp://files.example.com"},
        {utFTP, "FTP://files", "FTP://files"},
        {utMailTo, "me@example.com", "mailto:me@example.com"},
        {utMailTo, "mailto:me@example.com", "mailto:me@example.com"},
        {utMailTo, "http://example.com", "mailto:http://example.com"},
        {utHTTP, "", "http://"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TURLLabel::Target(c.type, QString::fromUtf8(c.caption)),
                  QString::fromUtf8(c.target))
            << c.caption;
}

TEST(URLLabel, LooksClicksAndCursor) {
    QWidget parent;
    TURLLabel label(&parent);
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.text(), QString::fromLatin1(kHomepage));
    label.SetURLType(utMailTo);
    label.setText(u"support@vexorin.example"_s);
    label.adjustSize();
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&label, &enter);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&label, &leave);
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 0));

    QString opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened = t;
        return true;
    });
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(opened, u"mailto:support@vexorin.example"_s);

    const QCursor c = label.cursor();
    EXPECT_EQ(c.shape(), Qt::BitmapCursor);
    EXPECT_EQ(c.hotSpot(), QPoint(5, 0));
    EXPECT_EQ(c.bitmap().size(), QSize(32, 32));
    EXPECT_EQ(Cursors::Get(crURLCursor).hotSpot(), QPoint(5, 0));
}

TEST(URLLabel, OpensAddressesOnlyAndOncePerDoubleClick) {
    QWidget parent;
    TURLLabel label(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QStringList opened;
    Shell::ScopedHandler shell([&](const QString& t) {
        opened << t;
        return true;
    });
    struct Case {
        TURLType type;
        QString caption, want;
    } cases[] = {
        {utMailTo, u"MAILTO:x@y.example"_s, u"mailto:x@y.example"_s},
        {utMailTo, u"Mailto:x@y.example"_s, u"mailto:x@y.example"_s},
        {utHTTP, u"HTTP://Example.com/a"_s, u"http://example.com/a"_s},
        {utHTTP, u"notes.txt"_s, u"http://notes.txt"_s},
    };
    for (const auto& c : cases) {
        opened.clear();
        label.SetURLType(c.type);
        label.SetCaption(c.caption);
        QTest::mouseClick(&label, Qt::LeftButton);
        EXPECT_EQ(opened, QStringList{c.want}) << c.caption.toStdString();
    }
    // Never a file: an address without a scheme of its own opens nothing.
    EXPECT_FALSE(Shell::OpenAddress(u"/etc/passwd"_s));
    EXPECT_FALSE(Shell::OpenAddress(u"C:x"_s));
    EXPECT_FALSE(Shell::OpenAddress(u"file:///etc/passwd"_s));
    opened.clear();
    label.SetURLType(utMailTo);
    label.SetCaption(u"x@y.example"_s);
    // As the desktop delivers a double-click: press, release, double-click, release.
    const QPoint at = label.rect().center();
    QTest::mousePress(&label, Qt::LeftButton, {}, at);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, at);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, label.mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&label, &dbl);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, at);
    EXPECT_EQ(opened.size(), 1);
}

TEST(URLLabel, DrawsAndSizesPlainText) {
    QWidget parent;
    TURLLabel label(&parent);
    label.SetCaption(u"Sales <b>desk</b>@x.com"_s);
    const QFontMetrics fm(label.font());
    // Sized for the raw text (tags included), as rich text would not be.
    EXPECT_NEAR(label.width(), fm.horizontalAdvance(u"Sales <b>desk</b>@x.com"_s), 3);
    label.SetCaption(u"a@b.c"_s);
    EXPECT_NEAR(label.width(), fm.horizontalAdvance(u"a@b.c"_s), 3);  // it follows its caption
}

}  // namespace
}  // namespace vx::ui
