#include "loopback/script_server.h"

#include "loopback/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace vx::testing {

int UnusedLoopbackPort() {
    ScriptServer s(std::vector<Step>{});
    return s.port();
}

ScriptServer::ScriptServer(std::vector<Step> script, bool readRequest)
    : script_(std::move(script)), readRequest_(readRequest) {
    listenFd_ = ListenOnLoopback(0, 64, &port_);
    thread_ = std::thread([this] { Serve(); });
}

ScriptServer::ScriptServer(Router router) : router_(std::move(router)), readRequest_(true) {
    listenFd_ = ListenOnLoopback(0, 64, &port_);
    thread_ = std::thread([this] { Serve(); });
}

ScriptServer::~ScriptServer() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

std::string ScriptServer::Url(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

std::vector<std::string> ScriptServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ScriptServer::Serve() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++connections_;
        Play(fd);
    }
}

void ScriptServer::Play(int fd) {
    std::string head;
    if (readRequest_) {
        ReadRequestHead(fd, &head, std::chrono::steady_clock::now() + std::chrono::seconds(5));
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(head);
    }
    const std::vector<Step> routed = router_ ? router_(RequestTargetOf(head)) : std::vector<Step>{};
    bool closed = false;
    for (const Step& s : router_ ? routed : script_) {
        if (stop_) break;
        switch (s.kind) {
            case Step::Send:
                SendAll(fd, s.bytes);
                break;
            case Step::Sleep:
                std::this_thread::sleep_for(std::chrono::milliseconds(s.ms));
                break;
            case Step::Stall:
                while (!stop_) {
                    // Drain so the client's close is seen, but never answer.
                    pollfd p{fd, POLLIN, 0};
                    if (::poll(&p, 1, 20) > 0) {
                        char buf[512];
                        if (::recv(fd, buf, sizeof buf, 0) <= 0) break;
                    }
                }
                break;
            case Step::SendForever:
                while (!stop_) {
                    const ssize_t n = ::send(fd, s.bytes.data(), s.bytes.size(), MSG_NOSIGNAL);
                    if (n <= 0) break;
                }
                break;
            case Step::Reset: {
                linger l{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                ::close(fd);
                closed = true;
                break;
            }
            case Step::CloseWrite:
                ::shutdown(fd, SHUT_WR);
                break;
        }
        if (closed) break;
    }
    if (!closed) {
        // Orderly close: FIN first, then drain, so the peer never sees a reset
        // caused by bytes we did not read.
        ::shutdown(fd, SHUT_WR);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
        while (!stop_ && std::chrono::steady_clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            char buf[4096];
            if (::recv(fd, buf, sizeof buf, 0) <= 0) break;
        }
        ::close(fd);
    }
}

}  // namespace vx::testing
