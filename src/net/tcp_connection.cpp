#include "net/tcp_connection.h"

#include "net/tls_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <ostream>
#include <thread>

#include "core/text.h"

namespace vx {

namespace {

constexpr const char* kLineTooLong = "Line too long.";
// Connections live on worker threads too.
std::atomic<int> gLiveObjects{0};

NetErrorKind KindOfErrno(int error) {
    switch (error) {
        case ECONNREFUSED:
        case ENETUNREACH:
        case EHOSTUNREACH:
            return NetErrorKind::Refused;
        case ETIMEDOUT:
            return NetErrorKind::TimedOut;
        case EADDRNOTAVAIL:
            return NetErrorKind::NoLocalPort;
        default:
            return NetErrorKind::Socket;
    }
}

// One resolver call on a thread of its own, so that the caller's wait has
// our bound and our cancel; a call that never returns holds only its thread.
struct ResolveJob {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int rc = 0;
    std::string address;
};

std::atomic<int> gLookupsRunning{0};
std::mutex gResolverMutex;
std::shared_ptr<const ResolverOverride::Resolver> gResolver;

std::shared_ptr<const ResolverOverride::Resolver> CurrentResolver() {
    std::lock_guard<std::mutex> lock(gResolverMutex);
    return gResolver;
}

int SystemResolve(const std::string& name, std::string* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &res);
    if (rc == 0 && res) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr, text,
                    sizeof text);
        *address = text;
    } else if (rc == 0) {
        rc = EAI_NONAME;
    }
    if (res) ::freeaddrinfo(res);
    return rc;
}

void RunResolve(const std::shared_ptr<ResolveJob>& job, const std::string& name,
                std::shared_ptr<const ResolverOverride::Resolver> resolver) {
    std::string address;
    const int rc = resolver ? (*resolver)(name, &address) : SystemResolve(name, &address);
    --gLookupsRunning;
    std::lock_guard<std::mutex> lock(job->mutex);
    job->rc = rc;
    job->address = std::move(address);
    job->finished = true;
    job->done.notify_all();
}
}  // namespace

ResolverOverride::ResolverOverride(Resolver resolver) {
    std::lock_guard<std::mutex> lock(gResolverMutex);
    previous_ = gResolver;
    gResolver = std::make_shared<const Resolver>(std::move(resolver));
}

ResolverOverride::~ResolverOverride() {
    std::lock_guard<std::mutex> lock(gResolverMutex);
    gResolver = previous_;
}

CancelSignal::CancelSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelSignal::~CancelSignal() {
    if (fd_ >= 0) ::close(fd_);
}

void CancelSignal::Cancel() {
    cancelled_.store(true, std::memory_order_release);
    if (fd_ >= 0) {
        const uint64_t one = 1;
        // Stays readable: every poll that watches it wakes, now and later.
        [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
    }
}

void SocketLayer::Acquire() {
    ++gLiveObjects;
}
void SocketLayer::Release() {
    --gLiveObjects;
}
int SocketLayer::LiveObjects() {
    return gLiveObjects;
}

namespace {
// Each kind's name and usual message, in the enum's order.
struct KindText {
    NetErrorKind kind;
    const char* name;
    const char* message;
};
constexpr KindText kKindTexts[] = {
    {NetErrorKind::TimedOut, "TimedOut", "Read timed out."},
    {NetErrorKind::Refused, "Refused", "Connection refused."},
    {NetErrorKind::Resolve, "Resolve", "Host not found."},
    {NetErrorKind::Closed, "Closed", "Connection Closed Gracefully."},
    {NetErrorKind::TooLarge, "TooLarge", "Response body too large."},
    {NetErrorKind::Malformed, "Malformed", "Invalid answer."},
    {NetErrorKind::Cancelled, "Cancelled", "Operation cancelled."},
    {NetErrorKind::Unsupported, "Unsupported", "Unsupported address."},
    {NetErrorKind::HttpStatus, "HttpStatus", "HTTP error."},
    {NetErrorKind::Socket, "Socket", "Socket error."},
    {NetErrorKind::Usage, "Usage", "Connection used out of order."},
    {NetErrorKind::Tls, "Tls", "TLS handshake failed."},
    {NetErrorKind::NoLocalPort, "NoLocalPort", "No local port free."},
};
constexpr bool InEnumOrder() {
    for (size_t i = 0; i < std::size(kKindTexts); ++i)
        if (static_cast<size_t>(kKindTexts[i].kind) != i) return false;
    return true;
}
static_assert(InEnumOrder(), "one entry per kind, in the enum's order");

const KindText* TextOf(NetErrorKind kind) {
    const auto i = static_cast<size_t>(kind);
    return i < std::size(kKindTexts) ? &kKindTexts[i] : nullptr;
}
}  // namespace

const char* DefaultMessage(NetErrorKind kind) {
    const KindText* t = TextOf(kind);
    return t ? t->message : "Network error.";
}

const char* ToString(NetErrorKind kind) {
    const KindText* t = TextOf(kind);
    return t ? t->name : "Unknown";
}

std::ostream& operator<<(std::ostream& out, NetErrorKind kind) {
    return out << ToString(kind);
}

NetError SocketError(int error) {
    return NetError(KindOfErrno(error),
                    "Socket Error # " + std::to_string(error) + "\r\n" + std::strerror(error));
}

std::string HostCache::Find(const std::string& host) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = addresses_.find(LowerAscii(host));
    return it == addresses_.end() ? std::string() : it->second;
}

void HostCache::Remember(const std::string& host, const std::string& address) {
    std::lock_guard<std::mutex> lock(mutex_);
    addresses_[LowerAscii(host)] = address;
}

TcpConnection::TcpConnection() {
    SocketLayer::Acquire();
}

TcpConnection::~TcpConnection() {
    // A kept-alive exchange ends here: over TLS with close_notify.
    if (fd_ >= 0) CloseSocket();
    SocketLayer::Release();
}

std::string TcpConnection::DottedQuad(const std::string& host) {
    std::string out;
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t digits = 0;
        int value = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9') {
            if (value <= 255) value = value * 10 + (host[i] - '0');
            ++i, ++digits;
        }
        if (digits == 0 || value > 255) return {};
        out += std::to_string(value);
        ++parts;
        if (i == host.size()) return parts == 4 ? out : std::string();
        if (host[i] != '.' || parts == 4) return {};
        out += '.';
        ++i;
    }
}

namespace {
bool LooksNumeric(std::string_view name) {
    if (!name.empty() && name.back() == '.') name.remove_suffix(1);
    std::string_view last = name.substr(name.rfind('.') + 1);
    if (last.size() > 2 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X'))
        return last.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string_view::npos;
    return !last.empty() && last.find_first_not_of("0123456789") == std::string_view::npos;
}
}  // namespace

std::string TcpConnection::ResolveHost(const std::string& name, int timeoutMs,
                                       const CancelSignal* cancel) {
    if (LowerAscii(name) == "localhost") return "127.0.0.1";
    if (std::string quad = DottedQuad(name); !quad.empty()) return quad;
    // A name whose last part is a number (decimal, or hex after "0x") is an
    // address, and only our dotted quad is one: the resolver would read
    // "0127.1", "0x7f.0.0.010" or "0x7f000001" its own way, octal included.
    if (LooksNumeric(name)) throw NetError(NetErrorKind::Resolve, "Invalid IPv4 address: " + name);
    if (++gLookupsRunning > kMaxLookupsRunning) {
        --gLookupsRunning;
        throw NetError(NetErrorKind::TimedOut, "Host name lookups are not answering.");
    }
    auto job = std::make_shared<ResolveJob>();
    std::thread([job, name, r = CurrentResolver()] { RunResolve(job, name, r); }).detach();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock<std::mutex> lock(job->mutex);
    while (!job->finished) {
        if (cancel && cancel->Cancelled()) throw NetError(NetErrorKind::Cancelled);
        if (std::chrono::steady_clock::now() >= until)
            throw NetError(NetErrorKind::TimedOut, "Host name lookup timed out.");
        job->done.wait_for(lock, std::chrono::milliseconds(20));
    }
    if (job->rc != 0)
        throw NetError(NetErrorKind::Resolve, "Socket Error # " + std::to_string(job->rc) + "\r\n" +
                                                  ::gai_strerror(job->rc));
    return job->address;
}

namespace {
// A body past 1 MiB that really arrived gets address space up to our own cap
// at once, marked for huge pages before it is touched: growing by doubling
// would copy it again and again and fault every 4 KiB page. Only pages that
// bytes land in take memory.
void GrowFor(std::string& dest, size_t more, size_t cap) {
    // Never past the cap and one read: a reserve just beyond the capacity
    // would double it.
    const size_t need =
        std::min(dest.size() + more, std::max(cap + TcpConnection::RecvBufferSize, dest.size()));
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

int TcpConnection::MsLeft(int limitMs) const {
    if (deadline_ == std::chrono::steady_clock::time_point::max()) return limitMs;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline_ - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>(left, limitMs));
}

void TcpConnection::ThrowIfCancelled() const {
    if (cancel_ && cancel_->Cancelled()) throw NetError(NetErrorKind::Cancelled);
}

void TcpConnection::ThrowIfPastDeadline() const {
    if (deadline_ != std::chrono::steady_clock::time_point::max() &&
        std::chrono::steady_clock::now() >= deadline_)
        throw NetError(NetErrorKind::TimedOut);
}

bool TcpConnection::PollFor(short events, int limitMs) {
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(MsLeft(limitMs));
    const int wake = cancel_ ? cancel_->WakeFd() : -1;
    while (true) {
        ThrowIfCancelled();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd p[2] = {{fd_, events, 0}, {wake, POLLIN, 0}};
        // Without a wake descriptor a cancel is seen at the next tick.
        const int ms = static_cast<int>(cancel_ && wake < 0 ? std::min<long long>(left, 50) : left);
        const int rc = ::poll(p, wake >= 0 ? 2 : 1, ms);
        if (rc < 0) {
            if (errno == EINTR) continue;
            throw SocketError(errno);
        }
        if (rc > 0 && p[0].revents != 0) return true;
    }
}

void TcpConnection::ResetForConnect() {
    if (fd_ >= 0) throw NetError(NetErrorKind::Usage, "Already connected.");
    inbound_.clear();
    inStart_ = 0;
    peerClosed_ = false;
    tlsTruncated_ = false;
}

void TcpConnection::Connect() {
    ResetForConnect();
    ThrowIfCancelled();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd_ < 0) throw NetError(NetErrorKind::Socket, "Cannot allocate socket.");
    // No bind to port 0 first: that makes the kernel look for a port no
    // socket holds, TIME_WAIT ones included, and runs dry under many short
    // connections; connect picks one per peer instead.
    try {
        // One connect limit for the name lookup and the connect together.
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(limits_.connectTimeoutMs);
        auto left = [&until] {
            return static_cast<int>(
                std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                           until - std::chrono::steady_clock::now())
                                           .count()));
        };
        std::string address = hosts_ ? hosts_->Find(host) : std::string();
        if (address.empty()) {
            address = ResolveHost(host, MsLeft(left()), cancel_.get());
            if (hosts_) hosts_->Remember(host, address);
        }
        if (port < 0 || port > 65535) throw SocketError(EINVAL);
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) throw SocketError(EINVAL);
        // The socket stays non-blocking: every wait is a poll of ours.
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
            if (errno != EINPROGRESS) throw SocketError(errno);
            if (!PollFor(POLLOUT, left())) throw SocketError(ETIMEDOUT);
            int err = 0;
            socklen_t len = sizeof err;
            if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) throw SocketError(errno);
            if (err != 0) throw SocketError(err);
        }
        // The handshake shares the connect limit.
        if (useTls) StartTls(left());
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
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) throw SocketError(errno);
    fd_ = fd;
}

void TcpConnection::StartTls(int limitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    // The handshake's small flights must not wait on each other's
    // acknowledgements (Nagle's rule against a delayed ACK: 40 ms each).
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    tls_ = std::make_unique<TlsSession>(fd_, host, port, tlsContext_);
    resumed_ = false;
    // Whatever ends the handshake early drops the session it may resume.
    struct Forget {
        TlsSession* tls;
        ~Forget() {
            if (tls) tls->HandshakeFailed();
        }
    } forget{tls_.get()};
    while (true) {
        const TlsIo io = tls_->Handshake();
        if (io.bytes > 0) {
            resumed_ = tls_->Resumed();
            forget.tls = nullptr;
            return;
        }
        // The transport failing under the handshake is a network failure
        // like any other (and may pass when asked again); Tls is kept for
        // what the peer's certificate or protocol says.
        if (io.closed)
            throw NetError(NetErrorKind::Closed, "TLS handshake: the server closed the connection");
        if (io.transport) {
            const NetError e = SocketError(io.sysError);
            throw NetError(e.kind, std::string("TLS handshake: ") + e.what());
        }
        if (!io.error.empty()) throw NetError(NetErrorKind::Tls, "TLS handshake: " + io.error);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !PollFor(io.waitFor, static_cast<int>(left)))
            throw NetError(NetErrorKind::TimedOut, "TLS handshake: timed out");
    }
}

void TcpConnection::CloseSocket() {
    if (tls_) tls_->Close();
    tls_.reset();
    ::shutdown(fd_, SHUT_WR);
    ::close(fd_);
    fd_ = -1;
    peerClosed_ = true;
}

void TcpConnection::Close() {
    if (fd_ >= 0) CloseSocket();
}

bool TcpConnection::IsOpen() {
    DisconnectCheck(OnClosed::Ignore);
    return fd_ >= 0;
}

void TcpConnection::DisconnectCheck(OnClosed rule) {
    if (!peerClosed_ && fd_ >= 0) return;
    if (fd_ >= 0) Close();
    const bool raise =
        rule == OnClosed::RaiseAlways || (rule == OnClosed::RaiseIfDrained && Buffered() == 0);
    if (raise) throw NetError(NetErrorKind::Closed);
}

void TcpConnection::WriteBytes(std::string_view bytes) {
    if (bytes.empty()) return;
    DisconnectCheck(OnClosed::RaiseAlways);
    size_t sent = 0;
    while (sent < bytes.size()) {
        ThrowIfCancelled();
        if (tls_) {
            const TlsIo io = tls_->Write(bytes.data() + sent, bytes.size() - sent);
            if (io.bytes > 0) {
                sent += static_cast<size_t>(io.bytes);
            } else if (io.waitFor) {
                if (!PollFor(io.waitFor, limits_.silenceTimeoutMs))
                    throw NetError(NetErrorKind::TimedOut, "Write timed out.");
            } else if (io.closed) {
                peerClosed_ = true;
                DisconnectCheck(OnClosed::RaiseAlways);
            } else {
                throw NetError(NetErrorKind::Socket, "TLS: " + io.error);
            }
            continue;
        }
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Sends wait no longer than reads, and never past the deadline.
                if (!PollFor(POLLOUT, limits_.silenceTimeoutMs))
                    throw NetError(NetErrorKind::TimedOut, "Write timed out.");
                continue;
            }
            const int err = errno;
            if (err == EPIPE || err == ESHUTDOWN) Close();
            throw SocketError(err);
        }
        if (n == 0) {
            peerClosed_ = true;
            DisconnectCheck(OnClosed::RaiseIfDrained);
        }
        sent += static_cast<size_t>(n);
    }
}

void TcpConnection::WriteLine(std::string_view text) {
    std::string line(text);
    line += "\r\n";
    WriteBytes(line);
}

size_t TcpConnection::ReadStep(OnClosed rule, Wait wait, std::string* dest, size_t maxBytes) {
    DisconnectCheck(rule);
    if (fd_ < 0) return 0;
    const bool bounded = wait.ms < 0;
    // The whole-exchange bound holds while bytes keep coming, too.
    if (bounded) ThrowIfPastDeadline();
    ThrowIfCancelled();
    GrowFor(*dest, maxBytes, limits_.maxBodyBytes);
    const size_t old = dest->size();
    dest->resize(old + maxBytes);
    ssize_t n;
    while (true) {
        short waitFor = POLLIN;
        if (tls_) {
            const TlsIo io = tls_->Read(dest->data() + old, maxBytes);
            if (!io.error.empty()) {
                dest->resize(old);
                throw NetError(NetErrorKind::Socket, "TLS: " + io.error);
            }
            n = io.closed ? 0 : io.bytes;
            if (io.truncated) tlsTruncated_ = true;
            if (!io.waitFor) break;
            waitFor = io.waitFor;
        } else {
            // Try the receive first: while a body streams in, data is nearly
            // always waiting, and the readiness wait would be a wasted call.
            do n = ::recv(fd_, dest->data() + old, maxBytes, MSG_DONTWAIT);
            while (n < 0 && errno == EINTR);
            if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
        }
        bool ready;
        try {
            ready = PollFor(waitFor, bounded ? limits_.silenceTimeoutMs : wait.ms);
        } catch (...) {
            dest->resize(old);
            throw;
        }
        if (!ready) {
            dest->resize(old);
            if (bounded) throw NetError(NetErrorKind::TimedOut);
            return 0;
        }
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
    DisconnectCheck(rule);
    return static_cast<size_t>(n);
}

void TcpConnection::Consume(size_t n) {
    inStart_ += n;
    if (inStart_ == inbound_.size()) {
        inbound_.clear();
        inStart_ = 0;
    }
}

std::string_view TcpConnection::Peek() const {
    return std::string_view(inbound_).substr(inStart_);
}

void TcpConnection::ReadMore() {
    if (inStart_ > 0) {
        inbound_.erase(0, inStart_);
        inStart_ = 0;
    }
    DisconnectCheck(OnClosed::RaiseAlways);
    if (ReadStep(OnClosed::RaiseIfDrained, Wait::UntilLimits(), &inbound_, RecvBufferSize) == 0)
        throw NetError(NetErrorKind::Closed);
}

std::string TcpConnection::ReadLine() {
    // A line may hold maxLineBytes bytes before its CR LF; never buffer more
    // of an unfinished one than that.
    const size_t most = limits_.maxLineBytes + 2;
    size_t scanned = inStart_;
    while (true) {
        const size_t lf = inbound_.find('\n', scanned);
        if (lf != std::string::npos) {
            std::string line = inbound_.substr(inStart_, lf - inStart_);
            Consume(lf + 1 - inStart_);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > limits_.maxLineBytes)
                throw NetError(NetErrorKind::TooLarge, kLineTooLong);
            return line;
        }
        if (Buffered() >= most) throw NetError(NetErrorKind::TooLarge, kLineTooLong);
        // Keep the partial line at the front before reading more behind it.
        if (inStart_ > 0) {
            inbound_.erase(0, inStart_);
            inStart_ = 0;
        }
        scanned = inbound_.size();
        DisconnectCheck(OnClosed::RaiseAlways);
        const size_t room = std::min(RecvBufferSize, most - Buffered());
        // Closed before the line's end: an unfinished line is no line.
        if (ReadStep(OnClosed::RaiseIfDrained, Wait::UntilLimits(), &inbound_, room) == 0)
            throw NetError(NetErrorKind::Closed, "Connection closed in the middle of a line.");
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
        if (sink.size() >= cap) throw NetError(NetErrorKind::TooLarge);
        if (fd_ < 0) throw NetError(NetErrorKind::Closed);
        const size_t piece =
            static_cast<size_t>(std::min<uint64_t>({wanted, RecvBufferSize, cap - sink.size()}));
        wanted -= ReadStep(OnClosed::RaiseIfDrained, Wait::UntilLimits(), &sink, piece);
    }
}

void TcpConnection::ReadUntilClose(std::string& sink) {
    const size_t cap = limits_.maxBodyBytes;
    const size_t take = std::min(Buffered(), sink.size() < cap ? cap - sink.size() : 0);
    sink.append(inbound_, inStart_, take);
    Consume(take);
    while (fd_ >= 0) {
        if (sink.size() >= cap) throw NetError(NetErrorKind::TooLarge);
        ReadStep(OnClosed::Ignore, Wait::UntilLimits(), &sink,
                 std::min(RecvBufferSize, cap - sink.size()));
    }
    // Over TLS only close_notify says the close was meant: anyone on the
    // path can cut the TCP stream.
    if (tlsTruncated_)
        throw NetError(
            NetErrorKind::Closed,
            "The secure connection was cut without close_notify before the answer's end.");
}

void TcpConnection::CheckForClose(int waitMs) {
    try {
        ReadStep(OnClosed::Ignore, Wait::AtMost(waitMs), &inbound_, RecvBufferSize);
    } catch (const NetError&) {
    }
}

}  // namespace vx
