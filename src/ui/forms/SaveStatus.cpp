#include "ui/forms/SaveStatus.h"

#include <QDir>

namespace vx::ui {

QString SaveStatusText(const QString& path, const WriteResult& written) {
    const QString shown = QDir::toNativeSeparators(path);
    if (written) return QStringLiteral("Saved ") + shown;
    return QStringLiteral("Could not save ") + shown + QStringLiteral(": ") +
           QString::fromLocal8Bit(WriteFailureText(written));
}

}  // namespace vx::ui
