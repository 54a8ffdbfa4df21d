// Blocking IPv4 TCP client connection with one inbound buffer. Every wait is
// bounded by NetLimits so a stalled or endless server cannot hold the caller;
// a cut-short operation raises NetError like any other failure.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vx {

struct NetError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct NetLimits {
    int connectTimeoutMs = 15000;
    int silenceTimeoutMs = 30000;  // longest wait for the next bytes
    int fetchTimeoutMs = 120000;   // one whole exchange
    size_t maxLineBytes = 64 * 1024;
    size_t maxHeaderLines = 1000;
    size_t maxBodyBytes = 64u * 1024 * 1024;
    // The read check after a kept-alive exchange, to notice a server's close.
    int closeCheckWaitMs = 1;
};

// Counts live connection objects. Linux needs no socket library start-up,
// but the count marks where such a start and stop belong.
class SocketLayer {
  public:
    static void Acquire();
    static void Release();
    static int LiveObjects();
};

class TcpConnection {
  public:
    static constexpr size_t RecvBufferSize = 32768;

    TcpConnection();
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    std::string host;
    int32_t port = 0;

    void SetLimits(const NetLimits& limits) { limits_ = limits; }
    // Ends every wait by this time (whole-exchange bound).
    void SetDeadline(std::chrono::steady_clock::time_point deadline) { deadline_ = deadline; }

    void Connect();
    // Takes an already connected stream socket (a socket pair in the fuzz
    // harness) as if Connect had opened it.
    void AdoptSocket(int fd);
    bool IsOpen();
    void Close();
    void WriteBytes(std::string_view bytes);
    void WriteLine(std::string_view text);
    std::string ReadLine();
    void ReadBytes(std::string& sink, int64_t count);
    void ReadUntilClose(std::string& sink);
    void CheckForClose(int waitMs);

    size_t Buffered() const { return inbound_.size() - inStart_; }

    // "LOCALHOST" in any case, dotted quads as they are, else the resolver.
    static std::string ResolveHost(const std::string& host);

  private:
    void DisconnectCheck(bool raise, bool ignoreBuffered);
    // waitMs < 0: wait as long as the limits allow, then raise a time-out.
    size_t ReadStep(bool raise, int waitMs, std::string* dest, size_t maxBytes);
    int BoundedWait(int limitMs) const;
    void CloseSocket();
    void ResetForConnect();
    void Consume(size_t n);

    int fd_ = -1;
    bool peerClosed_ = false;
    std::string peerAddress_;
    int32_t peerPort_ = 0;
    std::string inbound_;  // unread bytes start at inStart_
    size_t inStart_ = 0;
    NetLimits limits_;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
};

// "Socket Error # n" CR LF and the platform's description.
NetError SocketError(int error);

}  // namespace vx
