#include "ui/forms/RecentFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "results/settings_store.h"
#include "ui/platform/TextEdge.h"

namespace vx::ui {

namespace {
const char* const kValueNames[] = {"folder.investigations", "folder.keywordlists",
                                   "folder.pictures"};
}  // namespace

QString RecentFolders::Folder(Kind kind) const {
    QString folder = memory_[kind];
    if (folder.isEmpty() && store_ && store_->OpenKey(false)) {
        try {
            if (store_->ValueExists(kValueNames[kind]))
                folder = ToQString(store_->ReadString(kValueNames[kind]));
        } catch (const std::exception&) {
        }
        store_->CloseKey();
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RecentFolders::Remember(Kind kind, const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    memory_[kind] = folder;
    if (!store_ || store_->Unreadable()) return;
    store_->OpenKey(true);
    try {
        store_->WriteString(kValueNames[kind], ToBytes(folder));
    } catch (const std::exception&) {
    }
    store_->CloseKey();
}

QString RecentFolders::FileNameFor(const QString& text, const QString& fallback) {
    QString name;
    for (const QChar c : text)
        name += (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) ? u'_' : c;
    name = name.trimmed();
    while (name.startsWith(u'.')) name.remove(0, 1);
    return name.isEmpty() ? fallback : name.left(120);
}

}  // namespace vx::ui
