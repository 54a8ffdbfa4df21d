#include "net/tls_context.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdlib>

#include "net/tcp_connection.h"

namespace vx {

std::string LastSslError() {
    const unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (e == 0) return "";
    const char* reason = ERR_reason_error_string(e);
    return reason ? reason : "error " + std::to_string(e);
}

namespace {

void Require(bool ok, const std::string& what) {
    if (!ok)
        throw NetError(NetErrorKind::Tls, "cannot set up TLS (" + what + "): " + LastSslError());
}
// A session the server gave (a TLS 1.3 ticket, or a TLS 1.2 session) is
// kept for the next fetch of the run, once the peer was verified.
int OnNewSession(SSL* ssl, SSL_SESSION* session) {
    const auto* peer =
        static_cast<const TlsContext::Peer*>(SSL_get_ex_data(ssl, TlsContext::PeerIndex()));
    if (!peer || SSL_get_verify_result(ssl) != X509_V_OK) return 0;
    peer->context->Remember(peer->key, session);
    return 1;  // the reference is the context's now
}

}  // namespace

TlsContext::TlsContext(const std::string& caFile) {
    ERR_clear_error();
    ctx_ = SSL_CTX_new(TLS_client_method());
    Require(ctx_ != nullptr, "context");
    try {
        Require(SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION) == 1, "protocol version");
        // A close without close_notify is told apart (truncated): an answer
        // the close frames is then cut, one its length frames may be whole.
        SSL_CTX_set_options(ctx_, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
        SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
        // Sessions are kept by us, per host and port, not in OpenSSL's cache.
        SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL);
        // Set once here: setting it for each connection, from several
        // threads, wrote the shared context while others read it.
        SSL_CTX_sess_set_new_cb(ctx_, OnNewSession);
        // The system's trusted certificates by their hashed folder, looked
        // up as a chain needs them: reading the whole bundle would cost more
        // than a handshake.
        if (SSL_CTX_set_default_verify_dir(ctx_) != 1)
            throw NetError(NetErrorKind::Tls,
                           "cannot read the system's trusted certificates: " + LastSslError());
        const char* variable = std::getenv("VEXORIN_CA_FILE");
        const std::string ca = variable && *variable ? variable : caFile;
        if (!ca.empty() && SSL_CTX_load_verify_locations(ctx_, ca.c_str(), nullptr) != 1)
            throw NetError(NetErrorKind::Tls,
                           std::string("cannot read the CA file ") + ca + ": " + LastSslError());
    } catch (...) {
        SSL_CTX_free(ctx_);
        throw;
    }
}

std::shared_ptr<TlsContext> TlsContext::ForRun(const std::string& caFile) {
    try {
        return std::make_shared<TlsContext>(caFile);
    } catch (const NetError&) {
        return nullptr;
    }
}

TlsContext::~TlsContext() {
    for (auto& [key, kept] : sessions_)
        for (SSL_SESSION* session : kept) SSL_SESSION_free(session);
    SSL_CTX_free(ctx_);
}

int TlsContext::PeerIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

SSL_SESSION* TlsContext::SessionFor(const std::string& key) {
    const std::lock_guard lock(mutex_);
    const auto it = sessions_.find(key);
    if (it == sessions_.end()) return nullptr;
    std::deque<SSL_SESSION*>& kept = it->second;
    while (!kept.empty()) {
        SSL_SESSION* session = kept.back();
        if (SSL_SESSION_is_resumable(session) != 1) {
            SSL_SESSION_free(session);
            kept.pop_back();
            continue;
        }
        if (SSL_SESSION_get_protocol_version(session) >= TLS1_3_VERSION) {
            kept.pop_back();  // the caller's reference now, and no one else's
        } else {
            SSL_SESSION_up_ref(session);
        }
        return session;
    }
    return nullptr;
}

void TlsContext::Remember(const std::string& key, SSL_SESSION* session) {
    constexpr size_t kMostKept = 8;
    const std::lock_guard lock(mutex_);
    std::deque<SSL_SESSION*>& kept = sessions_[key];
    kept.push_back(session);
    while (kept.size() > kMostKept) {
        SSL_SESSION_free(kept.front());
        kept.pop_front();
    }
}

void TlsContext::Forget(const std::string& key) {
    const std::lock_guard lock(mutex_);
    if (const auto it = sessions_.find(key); it != sessions_.end()) {
        for (SSL_SESSION* session : it->second) SSL_SESSION_free(session);
        sessions_.erase(it);
    }
}

}  // namespace vx
