// TURLLabel: a label that works as a hyperlink. Underlined, blue under the
// pointer and black after it, with the hand cursor 512; a click opens the
// caption with the shell, prefixed by its kind's scheme when it lacks one.
#pragma once

#include <QCursor>
#include <QLabel>
#include <cstdint>

namespace vx::ui {

enum TURLType : uint8_t { utHTTP, utFTP, utMailTo };

// Our table of numbered cursors, as forms refer to them by number.
namespace Cursors {
void Set(int number, const QCursor& cursor);
QCursor Get(int number);  // the arrow when none is entered
// The 32 x 32 monochrome hand "URLCURSOR_1" from our resources, hot spot 5,0.
QCursor LoadUrlCursor();
}  // namespace Cursors

constexpr int crURLCursor = 512;

class TURLLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TURLLabel(QWidget* parent = nullptr);

    TURLType URLType() const { return urlType_; }
    void SetURLType(TURLType type) { urlType_ = type; }

    // The address the caption opens.
    static QString Target(TURLType type, const QString& caption);
    void Click();

    // The caption; with AutoSize on (the default) the label fits it.
    void SetCaption(const QString& caption);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void SetFontColor(const QColor& color);
    TURLType urlType_ = utHTTP;
    bool autoSize_ = true;
    bool releaseEndsDoubleClick_ = false;
};

}  // namespace vx::ui
