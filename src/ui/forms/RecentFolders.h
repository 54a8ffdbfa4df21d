// Where the file choosers start: the folder last used for each kind of
// file, kept in the per-user settings store, or the user's documents folder
// the first time; never the program's own folder.
#pragma once

#include <QString>

namespace vx {
class SettingsStore;
}

namespace vx::ui {

class RecentFolders {
  public:
    enum Kind { Investigations, KeywordLists, Pictures };

    // No store: remembered for this process only.
    explicit RecentFolders(SettingsStore* store = nullptr) : store_(store) {}
    void SetStore(SettingsStore* store) { store_ = store; }

    QString Folder(Kind kind) const;
    // Remembers the folder that holds path.
    void Remember(Kind kind, const QString& path);

    // A file name for a text typed by the user ("red shoes" -> "red shoes"):
    // no folder separators or control characters, never empty.
    static QString FileNameFor(const QString& text, const QString& fallback);

  private:
    SettingsStore* store_;
    QString memory_[3];
};

}  // namespace vx::ui
