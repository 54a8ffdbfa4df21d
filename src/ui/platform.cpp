#include "ui/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>

#include <map>
#include <optional>

#include "core/text.h"

namespace vx::ui {

QString ToQString(const std::string& bytes) {
    return QString::fromStdString(BytesToUtf8(bytes));
}

std::string ToBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void QtEventPump::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

EscapeKey& EscapeKey::Instance() {
    static EscapeKey* key = new EscapeKey;
    return *key;
}

EscapeKey::EscapeKey() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

bool EscapeKey::EscapeDown() {
    return down_ || pressedSinceForget_;
}

bool EscapeKey::ForHome(QObject* receiver) const {
    if (!home_) return true;
    const auto* widget = qobject_cast<const QWidget*>(receiver);
    return widget && widget->window() == home_ && !QApplication::activePopupWidget() &&
           !QApplication::activeModalWidget();
}

bool EscapeKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            // One key event reaches the filter once per receiver on its way up;
            // only the state matters, so repeats are harmless.
            if (event->type() == QEvent::KeyPress) {
                if (!ForHome(watched)) return QObject::eventFilter(watched, event);
                const bool fresh = !down_;
                down_ = true;
                pressedSinceForget_ = true;
                if (fresh && onPress_) onPress_();
            } else {
                down_ = false;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

namespace Shell {
namespace {
Handler& Current() {
    static Handler h;
    return h;
}
}  // namespace

std::function<bool(const QString&)>& Associations() {
    static std::function<bool(const QString&)> query;
    return query;
}

ScopedAssociations::ScopedAssociations(std::function<bool(const QString&)> query)
    : previous_(std::move(Associations())) {
    Associations() = std::move(query);
}

ScopedAssociations::~ScopedAssociations() {
    Associations() = std::move(previous_);
}

bool AskDesktop(const QString& mime);

bool HasHandlerFor(const QString& path) {
    const QString mime =
        QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    if (Associations()) return Associations()(mime);
    // Asked once a process: the desktop's answer does not change under us,
    // and F1 must not wait on it again.
    static std::map<QString, bool> known;
    if (const auto it = known.find(mime); it != known.end()) return it->second;
    return known[mime] = AskDesktop(mime);
}

namespace {}  // namespace

bool AskDesktop(const QString& mime) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mime});
    // Bounded: a desktop that does not answer has no program for it.
    if (!query.waitForFinished(1000)) {
        query.kill();
        query.waitForFinished(500);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

ScopedHandler::ScopedHandler(Handler handler) : previous_(std::move(Current())) {
    Current() = std::move(handler);
}

ScopedHandler::~ScopedHandler() {
    Current() = std::move(previous_);
}

namespace {
// "scheme:..." with a scheme of two or more letters (one letter is a drive),
// in any case; schemes are case-insensitive and QUrl lower-cases them.
bool HasScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

// The test hook sees what is opened: an address as QUrl writes it, a
// document by the path it was given.
bool Hand(const QUrl& url, const QString& seen) {
    if (Current()) return Current()(seen);
    return QDesktopServices::openUrl(url);
}
}  // namespace

bool Open(const QString& target) {
    if (HasScheme(target)) return OpenAddress(target);
    return Hand(QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()), target);
}

bool OpenAddress(const QString& address) {
    const QUrl url(address);
    if (!HasScheme(address) || !url.isValid() || url.isLocalFile()) return false;
    return Hand(url, url.toString());
}
}  // namespace Shell

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

namespace Prompts {
namespace {
struct Armed {
    std::optional<Answer> answer;
    int token = 0;
    int usedToken = 0;
    std::optional<Answer> unarmed;
};
Armed& Slot() {
    static Armed slot;
    return slot;
}
}  // namespace

AnswerNext::AnswerNext(Answer answer) {
    static int tokens = 0;
    Slot().answer = answer;
    Slot().token = token_ = ++tokens;
}

AnswerNext::~AnswerNext() {
    if (Slot().token == token_) Slot().answer.reset();
}

void SetUnarmedAnswer(std::optional<Answer> answer) {
    Slot().unarmed = answer;
}

bool AnswerNext::Used() const {
    return Slot().usedToken == token_;
}

std::unique_ptr<QMessageBox> SaveResultsBox(QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Question, QStringLiteral("Vexorin"),
        QStringLiteral("Save the results of this investigation?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box->setObjectName(QStringLiteral("SavePrompt"));
    box->setDefaultButton(QMessageBox::Save);
    box->setEscapeButton(QMessageBox::Cancel);
    return box;
}

Answer AskToSaveResults(QWidget* parent) {
    if (Slot().answer) {
        const Answer a = *Slot().answer;
        Slot().answer.reset();
        Slot().usedToken = Slot().token;
        return a;
    }
    if (Slot().unarmed) return *Slot().unarmed;
    const std::unique_ptr<QMessageBox> box = SaveResultsBox(parent);
    switch (box->exec()) {
        case QMessageBox::Save:
            return Answer::Save;
        case QMessageBox::Discard:
            return Answer::Discard;
        default:
            return Answer::Cancel;
    }
}
}  // namespace Prompts

}  // namespace vx::ui

namespace vx::ui {
QFont FormFont(const QString& family, int pixelHeight, bool bold) {
    QFont f;
    f.setFamilies({family, QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    return f;
}
}  // namespace vx::ui
