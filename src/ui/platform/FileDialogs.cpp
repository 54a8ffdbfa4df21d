#include "ui/platform/FileDialogs.h"

#include <QFileDialog>

namespace vx::ui {

namespace FileDialogs {
namespace {
struct OneShot {
    OpenHandler answer;
    int token = 0;
};
OneShot& OpenCurrent() {
    static OneShot h;
    return h;
}
OneShot& SaveCurrent() {
    static OneShot h;
    return h;
}
int Arm(OneShot& slot, OpenHandler answer) {
    static int tokens = 0;
    slot.answer = std::move(answer);
    slot.token = ++tokens;
    return slot.token;
}
void Disarm(OneShot& slot, int token) {
    if (slot.token == token) slot.answer = nullptr;
}
// Takes the armed answer, if any, leaving the slot empty.
OpenHandler Take(OneShot& slot) {
    OpenHandler h = std::move(slot.answer);
    slot.answer = nullptr;
    return h;
}

Choice Run(bool save, QWidget* parent, const QString& title, const QString& folder,
           const QString& filters, const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, folder, filters);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Only an existing file can be opened.
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // The suffix added to a bare name follows the file type chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        const qsizetype star = f.indexOf(QStringLiteral("*."));
        if (star >= 0) dialog.setDefaultSuffix(f.mid(star + 2, f.indexOf(u')', star) - star - 2));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return {dialog.selectedFiles().first(), dialog.selectedNameFilter()};
}
}  // namespace

AnswerNext::AnswerNext(Chooser chooser, OpenHandler answer)
    : chooser_(chooser),
      token_(Arm(chooser == Open ? OpenCurrent() : SaveCurrent(), std::move(answer))) {}

AnswerNext::~AnswerNext() {
    Disarm(chooser_ == Open ? OpenCurrent() : SaveCurrent(), token_);
}

Choice GetOpenFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix) {
    if (OpenHandler answer = Take(OpenCurrent())) return answer(parent, title, folder, filters);
    return Run(false, parent, title, folder, filters, defaultSuffix);
}

Choice GetSaveFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filters, const QString& defaultSuffix) {
    if (OpenHandler answer = Take(SaveCurrent())) return answer(parent, title, folder, filters);
    return Run(true, parent, title, folder, filters, defaultSuffix);
}
}  // namespace FileDialogs

}  // namespace vx::ui
