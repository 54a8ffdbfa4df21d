// What the secure fetches of one run share: one OpenSSL context, so the
// trusted certificates are loaded once, and the sessions to resume, by host
// and port. A session is kept only from a verified handshake and dropped
// when a handshake with its peer fails. Any thread.
#pragma once

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
    // The session to resume at key ("host:port"), a reference of the
    // caller's own; nullptr when there is none.
    ssl_session_st* SessionFor(const std::string& key) const;
    // Takes the reference.
    void Remember(const std::string& key, ssl_session_st* session);
    void Forget(const std::string& key);

  private:
    ssl_ctx_st* ctx_ = nullptr;
    mutable std::mutex mutex_;
    std::map<std::string, ssl_session_st*> sessions_;
};

}  // namespace vx
