#include "ui/platform/TextEdge.h"

#include "core/text.h"

namespace vx::ui {

QString ToQString(const std::string& bytes) {
    return QString::fromStdString(BytesToUtf8(bytes));
}

std::string ToBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}  // namespace vx::ui
