#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

namespace vx::ui {

// The shell's "open" verb.
namespace Shell {
using Handler = std::function<bool(const QString& target)>;
bool Open(const QString& target);  // a path or an address
// An address only: a text without a scheme of its own never opens as a file.
bool OpenAddress(const QString& address);

// Whether the desktop has a program for the kind of document path names
// (xdg-mime's default application for its type).
bool HasHandlerFor(const QString& path);

// Test hook: HasHandlerFor answers through query (by MIME type name) for as
// long as this lives.
class ScopedAssociations {
  public:
    explicit ScopedAssociations(std::function<bool(const QString& mimeType)> query);
    ~ScopedAssociations();
    Q_DISABLE_COPY_MOVE(ScopedAssociations)

  private:
    std::function<bool(const QString&)> previous_;
};

// Test hook: opens go to handler instead of the desktop for as long as this
// lives; the one before comes back on scope exit.
class ScopedHandler {
  public:
    explicit ScopedHandler(Handler handler);
    ~ScopedHandler();
    Q_DISABLE_COPY_MOVE(ScopedHandler)

  private:
    Handler previous_;
};
}  // namespace Shell

}  // namespace vx::ui
