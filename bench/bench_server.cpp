#include "bench_server.h"

#include "loopback/loopback.h"

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

void BenchServer::Answer(int fd) {
    std::string head;
    char buf[8192];
    if (!ReadRequestHead(fd, &head, std::chrono::steady_clock::now() + std::chrono::seconds(10))) {
        ::close(fd);
        return;
    }
    const auto it = pages_.find(RequestTargetOf(head));
    if (it == pages_.end()) {
        SendAll(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    } else {
        const Page& page = it->second;
        std::string h = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
        if (page.framing == Framing::Length)
            h += "Content-Length: " + std::to_string(page.body.size()) + "\r\n";
        if (page.framing == Framing::Chunked) h += "Transfer-Encoding: chunked\r\n";
        if (page.framing == Framing::Close) h += "Connection: close\r\n";
        h += "\r\n";
        SendAll(fd, h);
        if (page.framing == Framing::Chunked) {
            constexpr size_t kChunk = 16384;
            for (size_t off = 0; off < page.body.size(); off += kChunk) {
                const size_t n = std::min(kChunk, page.body.size() - off);
                char size[32];
                const int k = std::snprintf(size, sizeof size, "%zx\r\n", n);
                if (!SendAll(fd, std::string_view(size, static_cast<size_t>(k))) ||
                    !SendAll(fd, std::string_view(page.body).substr(off, n)) ||
                    !SendAll(fd, "\r\n"))
                    break;
            }
            SendAll(fd, "0\r\n\r\n");
        } else {
            SendAll(fd, page.body);
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
