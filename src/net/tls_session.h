// TLS over one of our non-blocking sockets, through OpenSSL: TLS 1.2 or
// newer, SNI and the host name checked against the certificate, the chain
// verified against the system's trusted certificates plus the PEM file
// VEXORIN_CA_FILE names; no renegotiation, no compression. Every call does
// what it can without waiting and says what to wait for; the connection's
// own polls do the waiting, so its bounds and cancel hold.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

namespace vx {

// One step's outcome: bytes moved; else the poll event to wait for; else
// the peer's close (truncated when it came without close_notify); else a
// failure in words, transport when the socket itself failed (errno's words)
// rather than TLS.
struct TlsIo {
    ssize_t bytes = 0;
    short waitFor = 0;
    bool closed = false;
    bool truncated = false;
    bool transport = false;
    int sysError = 0;
    std::string error;
};

class TlsContext;

class TlsSession {
  public:
    // Over context (one of its own when none is given), resuming the
    // context's session with host:port if it has one. Raises NetError (Tls)
    // when OpenSSL cannot be set up or the CA file cannot be read.
    TlsSession(int fd, const std::string& host, int port,
               std::shared_ptr<TlsContext> context = nullptr);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // One step of the handshake: bytes 1 when it is complete.
    TlsIo Handshake();
    TlsIo Read(char* buffer, size_t size);
    TlsIo Write(const char* bytes, size_t size);
    // Says close_notify (without waiting for the peer's), keeping the
    // session fit to resume.
    void Close() noexcept;
    // The handshake resumed a session of the context's.
    bool Resumed() const;
    // Drops the context's session with this peer.
    void HandshakeFailed();

    struct State;

  private:
    TlsIo Outcome(int rc, const char* doing);
    std::unique_ptr<State> s_;
};

}  // namespace vx
