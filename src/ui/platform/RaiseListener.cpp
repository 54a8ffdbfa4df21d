#include "ui/platform/RaiseListener.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstring>

namespace vx::ui {

RaiseListener::RaiseListener(const std::string& path, std::function<void()> onRaise,
                             QObject* parent)
    : QObject(parent), path_(path), onRaise_(std::move(onRaise)) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) return;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // Only a socket left by a copy that is gone stands there: we hold the lock.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) return;
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 4) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Accept(); });
}

RaiseListener::~RaiseListener() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

void RaiseListener::Accept() {
    const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return;
    // The second copy writes at once; never wait on one that does not.
    pollfd p{c, POLLIN, 0};
    char buf[16] = {};
    if (::poll(&p, 1, 200) > 0 && ::recv(c, buf, sizeof buf - 1, MSG_DONTWAIT) >= 5 &&
        std::strncmp(buf, "raise", 5) == 0 && onRaise_)
        onRaise_();
    ::close(c);
}

}  // namespace vx::ui
