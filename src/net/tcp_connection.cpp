#include "net/tcp_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/text.h"

namespace vx {

namespace {
int gLiveObjects = 0;

bool IsDottedQuad(const std::string& host) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t digits = 0;
        int value = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
            value = value * 10 + (host[i] - '0');
            ++i, ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (i == host.size()) return parts == 4;
        if (host[i] != '.' || parts == 4) return false;
        ++i;
    }
}
}  // namespace

void SocketLayer::Acquire() {
    ++gLiveObjects;
}
void SocketLayer::Release() {
    --gLiveObjects;
}
int SocketLayer::LiveObjects() {
    return gLiveObjects;
}

NetError SocketError(int error) {
    return NetError("Socket Error # " + std::to_string(error) + "\r\n" + std::strerror(error));
}

TcpConnection::TcpConnection() {
    SocketLayer::Acquire();
}

TcpConnection::~TcpConnection() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_WR);
        ::close(fd_);
    }
    SocketLayer::Release();
}

std::string TcpConnection::ResolveHost(const std::string& name) {
    if (LowerAscii(name) == "localhost") return "127.0.0.1";
    if (IsDottedQuad(name)) return name;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (rc != 0 || !res) {
        if (res) ::freeaddrinfo(res);
        throw NetError("Socket Error # " + std::to_string(rc) + "\r\n" + ::gai_strerror(rc));
    }
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, text,
                sizeof text);
    ::freeaddrinfo(res);
    return text;
}

namespace {
// A body past 1 MiB that really arrived gets address space up to our own cap
// at once, marked for huge pages before it is touched: growing by doubling
// would copy it again and again and fault every 4 KiB page. Only pages that
// bytes land in take memory.
void GrowFor(std::string& dest, size_t more, size_t cap) {
    const size_t need = dest.size() + more;
    if (need <= dest.capacity()) return;
    constexpr size_t kLarge = 1u << 20;
    if (need <= kLarge) {
        dest.reserve(std::max(need, dest.capacity() * 2));
        return;
    }
    dest.reserve(std::max(need, cap + TcpConnection::RecvBufferSize));
    constexpr size_t kHuge = 2u * 1024 * 1024;
    const auto begin = reinterpret_cast<uintptr_t>(dest.data()) + dest.size();
    const uintptr_t aligned = (begin + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end =
        (reinterpret_cast<uintptr_t>(dest.data()) + dest.capacity()) & ~(kHuge - 1);
    if (end > aligned) ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
}
}  // namespace

int TcpConnection::BoundedWait(int limitMs) const {
    const auto now = std::chrono::steady_clock::now();
    if (deadline_ == std::chrono::steady_clock::time_point::max()) return limitMs;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now).count();
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>(left, limitMs));
}

void TcpConnection::ResetForConnect() {
    if (fd_ >= 0) throw NetError("Already connected.");
    peerAddress_.clear();
    peerPort_ = 0;
    inbound_.clear();
    inStart_ = 0;
    peerClosed_ = false;
}

void TcpConnection::Connect() {
    ResetForConnect();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) throw NetError("Cannot allocate socket.");
    try {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            throw SocketError(errno);
        peerAddress_ = ResolveHost(host);
        peerPort_ = port;
        if (port < 0 || port > 65535) throw SocketError(EINVAL);
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET, peerAddress_.c_str(), &peer.sin_addr) != 1)
            throw SocketError(EINVAL);
        // Non-blocking connect so that the wait has our bound, then back to
        // blocking for the exchange.
        const int flags = ::fcntl(fd_, F_GETFL);
        ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
            if (errno != EINPROGRESS) throw SocketError(errno);
            pollfd p{fd_, POLLOUT, 0};
            int rc;
            do rc = ::poll(&p, 1, BoundedWait(limits_.connectTimeoutMs));
            while (rc < 0 && errno == EINTR);
            if (rc == 0) throw SocketError(ETIMEDOUT);
            if (rc < 0) throw SocketError(errno);
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
            if (err != 0) throw SocketError(err);
        }
        ::fcntl(fd_, F_SETFL, flags);
        // Sends cannot hang either.
        const int ms = limits_.silenceTimeoutMs;
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    } catch (...) {
        try {
            Close();
        } catch (...) {
        }
        throw;
    }
}

void TcpConnection::AdoptSocket(int fd) {
    ResetForConnect();
    fd_ = fd;
}

void TcpConnection::CloseSocket() {
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
    fd_ = -1;
    peerAddress_.clear();
    peerPort_ = 0;
    peerClosed_ = true;
}

void TcpConnection::Close() {
    if (fd_ >= 0) CloseSocket();
}

bool TcpConnection::IsOpen() {
    DisconnectCheck(false, false);
    return fd_ >= 0;
}

void TcpConnection::DisconnectCheck(bool raise, bool ignoreBuffered) {
    if (!peerClosed_ && fd_ >= 0) return;
    if (fd_ >= 0) Close();
    if (raise && (Buffered() == 0 || ignoreBuffered))
        throw NetError("Connection Closed Gracefully.");
}

void TcpConnection::WriteBytes(std::string_view bytes) {
    if (bytes.empty()) return;
    DisconnectCheck(true, true);
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            if (err == EPIPE || err == ESHUTDOWN) Close();
            throw SocketError(err);
        }
        if (n == 0) {
            peerClosed_ = true;
            DisconnectCheck(true, false);
        }
        sent += static_cast<size_t>(n);
    }
}

void TcpConnection::WriteLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    WriteBytes(line);
}

size_t TcpConnection::ReadStep(bool raise, int waitMs, std::string* dest, size_t maxBytes) {
    DisconnectCheck(raise, false);
    if (fd_ < 0) return 0;
    const bool bounded = waitMs < 0;
    GrowFor(*dest, maxBytes, limits_.maxBodyBytes);
    const size_t old = dest->size();
    dest->resize(old + maxBytes);
    // Try the receive first: while a body streams in, data is nearly always
    // waiting, and the readiness wait would be a wasted system call.
    ssize_t n;
    do n = ::recv(fd_, dest->data() + old, maxBytes, MSG_DONTWAIT);
    while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd p{fd_, POLLIN, 0};
        int rc;
        do rc = ::poll(&p, 1, bounded ? BoundedWait(limits_.silenceTimeoutMs) : waitMs);
        while (rc < 0 && errno == EINTR);
        if (rc <= 0) {
            dest->resize(old);
            if (bounded && rc == 0) throw NetError("Read timed out.");
            return 0;
        }
        do n = ::recv(fd_, dest->data() + old, maxBytes, 0);
        while (n < 0 && errno == EINTR);
    }
    if (n < 0) {
        dest->resize(old);
        const int err = errno;
        if (err == ESHUTDOWN) {
            Close();
            if (Buffered() == 0) throw SocketError(err);
            return 0;
        }
        throw SocketError(err);
    }
    dest->resize(old + static_cast<size_t>(n));
    if (n == 0) peerClosed_ = true;
    DisconnectCheck(raise, false);
    return static_cast<size_t>(n);
}

void TcpConnection::Consume(size_t n) {
    inStart_ += n;
    if (inStart_ == inbound_.size()) {
        inbound_.clear();
        inStart_ = 0;
    }
}

std::string TcpConnection::ReadLine() {
    size_t scanned = inStart_;
    while (true) {
        const size_t lf = inbound_.find('\n', scanned);
        if (lf != std::string::npos) {
            std::string line = inbound_.substr(inStart_, lf - inStart_);
            Consume(lf + 1 - inStart_);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (Buffered() > limits_.maxLineBytes) throw NetError("Line too long.");
        // Keep the partial line at the front before reading more behind it.
        if (inStart_ > 0) {
            inbound_.erase(0, inStart_);
            inStart_ = 0;
        }
        scanned = inbound_.size();
        DisconnectCheck(true, true);
        if (ReadStep(true, -1, &inbound_, RecvBufferSize) == 0) return {};
    }
}

void TcpConnection::ReadBytes(std::string& sink, int64_t count) {
    if (count <= 0) return;
    // Never reserve from the server's number; grow as bytes really arrive.
    const size_t cap = limits_.maxBodyBytes;
    GrowFor(sink, static_cast<size_t>(std::min<int64_t>(count, 1 << 20)), cap);
    uint64_t wanted = static_cast<uint64_t>(count);
    const size_t fromBuffer = static_cast<size_t>(std::min<uint64_t>(wanted, Buffered()));
    const size_t roomNow = sink.size() < cap ? cap - sink.size() : 0;
    const size_t take = std::min(fromBuffer, roomNow);
    sink.append(inbound_, inStart_, take);
    Consume(take);
    wanted -= take;
    while (wanted > 0) {
        if (sink.size() >= cap) throw NetError("Response body too large.");
        if (fd_ < 0) throw NetError("Connection Closed Gracefully.");
        const size_t piece =
            static_cast<size_t>(std::min<uint64_t>({wanted, RecvBufferSize, cap - sink.size()}));
        wanted -= ReadStep(true, -1, &sink, piece);
    }
}

void TcpConnection::ReadUntilClose(std::string& sink) {
    const size_t cap = limits_.maxBodyBytes;
    const size_t take = std::min(Buffered(), sink.size() < cap ? cap - sink.size() : 0);
    sink.append(inbound_, inStart_, take);
    Consume(take);
    while (fd_ >= 0) {
        if (sink.size() >= cap) throw NetError("Response body too large.");
        ReadStep(false, -1, &sink, std::min(RecvBufferSize, cap - sink.size()));
    }
}

void TcpConnection::CheckForClose(int waitMs) {
    try {
        ReadStep(false, waitMs, &inbound_, RecvBufferSize);
    } catch (const NetError&) {
    }
}

}  // namespace vx
