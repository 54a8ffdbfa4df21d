// The running copy's ear for a second copy: a Unix socket in the user's
// private instance folder; a connection that says "raise" brings the main
// window forward.
#pragma once

#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

namespace vx::ui {

class RaiseListener : public QObject {
    Q_OBJECT
  public:
    // Listens at path (a stale socket file there is replaced); does nothing
    // when path is empty or cannot be used.
    RaiseListener(const std::string& path, std::function<void()> onRaise,
                  QObject* parent = nullptr);
    ~RaiseListener() override;
    Q_DISABLE_COPY_MOVE(RaiseListener)
    bool Listening() const { return fd_ >= 0; }

  private:
    void Accept();

    std::string path_;
    std::function<void()> onRaise_;
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vx::ui
