#include "ui/platform/Shell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QUrl>
#include <map>

namespace vx::ui {

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
bool OpenThroughDesktop(const QUrl& url, const QString& seen) {
    if (Current()) return Current()(seen);
    return QDesktopServices::openUrl(url);
}
}  // namespace

bool Open(const QString& target) {
    if (HasScheme(target)) return OpenAddress(target);
    return OpenThroughDesktop(QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath()), target);
}

bool OpenAddress(const QString& address) {
    const QUrl url(address);
    if (!HasScheme(address) || !url.isValid() || url.isLocalFile()) return false;
    return OpenThroughDesktop(url, url.toString());
}
}  // namespace Shell

}  // namespace vx::ui
