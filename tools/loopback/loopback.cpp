#include "loopback/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vx {

int ListenOnLoopback(int port, int backlog, int* boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    if (boundPort) *boundPort = ntohs(a.sin_port);
    return fd;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t w = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(w));
    }
    return true;
}

bool ReadRequestHead(int fd, std::string* head, std::chrono::steady_clock::time_point until) {
    while (head->find("\r\n\r\n") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 20)));
        if (rc < 0 && errno != EINTR) return false;
        if (rc <= 0) continue;
        char buf[8192];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return false;
        head->append(buf, static_cast<size_t>(n));
    }
    return true;
}

std::string RequestTargetOf(std::string_view head) {
    const size_t sp1 = head.find(' ');
    if (sp1 == std::string_view::npos) return {};
    const size_t sp2 = head.find_first_of(" \r\n", sp1 + 1);
    return std::string(head.substr(sp1 + 1, sp2 == std::string_view::npos ? sp2 : sp2 - sp1 - 1));
}

}  // namespace vx
