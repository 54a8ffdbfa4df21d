// JPEG decoding straight through libjpeg. A truncated or corrupt file gives
// an empty image, never a crash or a half-grey picture.
#pragma once

#include <QImage>
#include <QString>

namespace vx::ui {

QImage DecodeJpeg(const QByteArray& bytes);
QImage LoadJpeg(const QString& path);  // a file or a ":/" resource

}  // namespace vx::ui
