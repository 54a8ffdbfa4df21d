// IPv4 TCP client connection with one inbound buffer. Every wait (resolve,
// connect, send, read) is bounded by NetLimits and the exchange's deadline,
// and ends at once when the connection's Cancel is triggered from another
// thread; a cut-short operation raises NetError like any other failure.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vx {

enum class NetErrorKind {
    TimedOut,     // a wait or the whole exchange ran past its bound
    Refused,      // nobody listens, or the host is unreachable
    Resolve,      // the host name does not resolve
    Closed,       // the peer closed before the exchange was complete
    TooLarge,     // a line, the header block or the body past its cap
    Malformed,    // the peer's bytes are not HTTP as we read it
    Cancelled,    // Cancel was triggered
    Unsupported,  // a URL we do not fetch (https, bad host name)
    HttpStatus,   // a complete answer that is not 2xx (redirects included)
    Socket,       // any other socket failure
    Usage,        // the connection was used out of order
    Tls,          // the TLS handshake failed (untrusted, expired, wrong name, too old)
    NoLocalPort,  // this computer has no local port free for a new connection
};

// The kind's name, as written above ("TimedOut"); tests and logs print it.
const char* ToString(NetErrorKind kind);
std::ostream& operator<<(std::ostream& out, NetErrorKind kind);

// The kind's usual message ("Read timed out."); each kind's text is
// written there once, and a fault with details of its own says them instead.
const char* DefaultMessage(NetErrorKind kind);

struct NetError : std::runtime_error {
    explicit NetError(NetErrorKind k) : std::runtime_error(DefaultMessage(k)), kind(k) {}
    NetError(NetErrorKind k, const std::string& text) : std::runtime_error(text), kind(k) {}
    NetErrorKind kind;
};

struct NetLimits {
    // Bounds that fit a page fetch: a service that does not answer within
    // them is not going to.
    int connectTimeoutMs = 5000;   // resolve and connect
    int silenceTimeoutMs = 10000;  // longest wait for the next bytes
    int fetchTimeoutMs = 30000;    // one whole exchange
    size_t maxLineBytes = 64 * 1024;
    size_t maxHeaderLines = 1000;
    size_t maxHeaderBytes = 1024 * 1024;
    size_t maxBodyBytes = 64u * 1024 * 1024;
    // A JSON answer's (a request that asks for JSON): bounded as it
    // arrives, so that lanes of oversized answers never hold their whole.
    size_t maxJsonBodyBytes = 8u * 1024 * 1024;
    // The read check after a kept-alive exchange, to notice a server's close.
    int closeCheckWaitMs = 1;
    // Certificates trusted for HTTPS besides the system's (Preferences);
    // VEXORIN_CA_FILE wins.
    std::string caFile = {};
};

// A cancel that any thread may trigger and that every wait of the
// connections watching it sees at once (it wakes their poll). Once
// triggered it stays triggered.
class CancelSignal {
  public:
    CancelSignal();
    ~CancelSignal();
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    void Cancel();
    bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Readable once cancelled; -1 when no descriptor could be made (the
    // flag is then seen at the next 50 ms tick of every wait).
    int WakeFd() const { return fd_; }

  private:
    std::atomic<bool> cancelled_{false};
    int fd_ = -1;
};

// Counts live connection objects. Linux needs no socket library start-up,
// but the count marks where such a start and stop belong.
class SocketLayer {
  public:
    static void Acquire();
    static void Release();
    static int LiveObjects();
};

// Addresses found for host names, kept for as long as its owner (one run)
// wants: each service's host is looked up once, not once a fetch. Any thread.
class HostCache {
  public:
    std::string Find(const std::string& host) const;  // empty when unknown
    void Remember(const std::string& host, const std::string& address);

  private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> addresses_;
};

class TlsSession;
class TlsContext;

class TcpConnection {
  public:
    static constexpr size_t RecvBufferSize = 32768;

    TcpConnection();
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    std::string host;
    int32_t port = 0;
    // Speaks TLS once connected, checking the certificate against host.
    bool useTls = false;

    void SetLimits(const NetLimits& limits) { limits_ = limits; }
    // Ends every wait by this time (whole-exchange bound).
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }
    void SetCancel(std::shared_ptr<const CancelSignal> cancel) { cancel_ = std::move(cancel); }
    void SetHostCache(std::shared_ptr<HostCache> hosts) { hosts_ = std::move(hosts); }
    // The run's TLS context and sessions; none: one of the connection's own.
    void SetTlsContext(std::shared_ptr<TlsContext> tls) { tlsContext_ = std::move(tls); }
    // The last handshake resumed a session (tests and benchmarks).
    bool Resumed() const { return resumed_; }

    void Connect();
    // Takes an already connected stream socket (a socket pair in the fuzz
    // harness) as if Connect had opened it.
    void AdoptSocket(int fd);
    bool IsOpen();
    void Close();
    void WriteBytes(std::string_view bytes);
    void WriteLine(std::string_view text);
    // One line without its LF (and CR before it); longer than the line cap
    // raises TooLarge whatever the arrival pattern.
    std::string ReadLine();
    void ReadBytes(std::string& sink, int64_t count);
    // To the peer's close; a TLS close without close_notify raises Closed.
    void ReadUntilClose(std::string& sink);
    // The bytes read and not yet taken; ReadMore waits for more of them
    // (raising as ReadLine does when none come).
    std::string_view Peek() const;
    void ReadMore();
    void CheckForClose(int waitMs);

    size_t Buffered() const { return inbound_.size() - inStart_; }

    // "LOCALHOST" in any case; a dotted quad by our own decimal rule (each
    // part 0..255, leading zeros allowed, never octal); else the resolver,
    // bounded by timeoutMs and cancel. Lookups that a time-out left running
    // are capped (kMaxLookupsRunning): past it a lookup fails at once.
    static constexpr int kMaxLookupsRunning = 4;
    static std::string ResolveHost(const std::string& host,
                                   int timeoutMs = NetLimits{}.connectTimeoutMs,
                                   const CancelSignal* cancel = nullptr);
    // The dotted quad in canonical form, or empty when host is not one.
    static std::string DottedQuad(const std::string& host);

  private:
    // What a read or write does when it finds the peer gone.
    enum class OnClosed {
        Ignore,          // return quietly
        RaiseIfDrained,  // raise once nothing is left buffered
        RaiseAlways,     // raise even with bytes buffered
    };
    // How long a read may wait for bytes.
    struct Wait {
        int ms;  // < 0: as long as the limits allow, then raise TimedOut
        static Wait UntilLimits() { return {-1}; }
        static Wait AtMost(int ms) { return {ms}; }
    };

    void DisconnectCheck(OnClosed rule);
    size_t ReadStep(OnClosed rule, Wait wait, std::string* dest, size_t maxBytes);
    // Polls for events until ready; false on time-out. Raises on cancel.
    bool PollFor(short events, int limitMs);
    int MsLeft(int limitMs) const;
    void ThrowIfPastDeadline() const;
    void ThrowIfCancelled() const;
    void CloseSocket();
    void ResetForConnect();
    // The TLS handshake on the connected socket, within limitMs.
    void StartTls(int limitMs);
    void Consume(size_t n);

    int fd_ = -1;
    std::unique_ptr<TlsSession> tls_;
    bool peerClosed_ = false;
    bool tlsTruncated_ = false;  // the peer's close came without close_notify
    std::string inbound_;        // unread bytes start at inStart_
    size_t inStart_ = 0;
    NetLimits limits_;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    std::shared_ptr<const CancelSignal> cancel_;
    std::shared_ptr<HostCache> hosts_;
    std::shared_ptr<TlsContext> tlsContext_;
    bool resumed_ = false;
};

// The system resolver's call, replaced for as long as one of these lives
// (tests: a resolver that never answers). Returns getaddrinfo's code.
class ResolverOverride {
  public:
    using Resolver = std::function<int(const std::string& name, std::string* address)>;
    explicit ResolverOverride(Resolver resolver);
    ~ResolverOverride();
    ResolverOverride(const ResolverOverride&) = delete;
    ResolverOverride& operator=(const ResolverOverride&) = delete;

  private:
    std::shared_ptr<const Resolver> previous_;
};

// "Socket Error # n" CR LF and the platform's description.
NetError SocketError(int error);

}  // namespace vx
