// What the secure fetches of one run share: one OpenSSL context, so the
// trusted certificates are loaded once, and the sessions to resume, by host
// and port. A session is kept only from a verified handshake and dropped
// when a handshake with its peer fails. Any thread.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct ssl_ctx_st;
struct ssl_session_st;

namespace vx {

// OpenSSL's last error in words (its reason), the error queue emptied;
// empty when there is none.
std::string LastSslError();

class TlsContext {
  public:
    // Raises NetError (Tls) when OpenSSL cannot be set up or the CA file
    // VEXORIN_CA_FILE names (else caFile, the Preferences' extra one) cannot
    // be read.
    explicit TlsContext(const std::string& caFile = {});
    ~TlsContext();
    // One for a run; none when it cannot be set up (each secure fetch then
    // tries its own and fails with the reason, as it should).
    static std::shared_ptr<TlsContext> ForRun(const std::string& caFile = {});
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    ssl_ctx_st* Handle() const { return ctx_; }
    // A session to resume at key ("host:port"), a reference of the
    // caller's own; nullptr when there is none. A TLS 1.3 ticket is handed
    // out once, to one connection (RFC 8446, C.4): it leaves the context
    // with it. A TLS 1.2 session may serve several.
    ssl_session_st* SessionFor(const std::string& key);
    // Takes the reference.
    void Remember(const std::string& key, ssl_session_st* session);
    void Forget(const std::string& key);

    // What the context's new-session callback needs of a connection: set as
    // the connection's ex data at PeerIndex() (its owner keeps it alive).
    struct Peer {
        TlsContext* context = nullptr;
        std::string key;
    };
    static int PeerIndex();

  private:
    ssl_ctx_st* ctx_ = nullptr;
    std::mutex mutex_;
    // Newest last; a server gives two or more tickets a connection.
    std::map<std::string, std::deque<ssl_session_st*>> sessions_;
};

}  // namespace vx
