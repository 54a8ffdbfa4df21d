#include "bench_server.h"

#include "net/loopback_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace vx::bench {

BenchServer::BenchServer() {
    listenFd_ = ListenOnLoopback(0, 128, &port_);
}

BenchServer::~BenchServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(listenFd_);
}

void BenchServer::Add(const std::string& path, std::string body, Framing framing) {
    pages_[path] = {std::move(body), framing};
}

void BenchServer::Start() {
    thread_ = std::thread([this] { Serve(); });
}

void BenchServer::Serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) Answer(fd);
    }
}

static bool SendAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

void BenchServer::Answer(int fd) {
    std::string head;
    char buf[8192];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            ::close(fd);
            return;
        }
        head.append(buf, static_cast<size_t>(n));
    }
    const size_t sp = head.find(' '), sp2 = head.find(' ', sp + 1);
    const auto it = pages_.find(head.substr(sp + 1, sp2 - sp - 1));
    if (it == pages_.end()) {
        const std::string r = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        SendAll(fd, r.data(), r.size());
    } else {
        const Page& page = it->second;
        std::string h = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
        if (page.framing == Framing::Length)
            h += "Content-Length: " + std::to_string(page.body.size()) + "\r\n";
        if (page.framing == Framing::Chunked) h += "Transfer-Encoding: chunked\r\n";
        if (page.framing == Framing::Close) h += "Connection: close\r\n";
        h += "\r\n";
        SendAll(fd, h.data(), h.size());
        if (page.framing == Framing::Chunked) {
            constexpr size_t kChunk = 16384;
            for (size_t off = 0; off < page.body.size(); off += kChunk) {
                const size_t n = std::min(kChunk, page.body.size() - off);
                char size[32];
                const int k = std::snprintf(size, sizeof size, "%zx\r\n", n);
                if (!SendAll(fd, size, static_cast<size_t>(k)) ||
                    !SendAll(fd, page.body.data() + off, n) || !SendAll(fd, "\r\n", 2))
                    break;
            }
            SendAll(fd, "0\r\n\r\n", 5);
        } else {
            SendAll(fd, page.body.data(), page.body.size());
        }
        if (page.framing == Framing::Close) {
            ::shutdown(fd, SHUT_WR);
        }
    }
    // Keep-alive: hold the connection until the client closes it.
    while (::recv(fd, buf, sizeof buf, 0) > 0) {
    }
    ::close(fd);
}

}  // namespace vx::bench
