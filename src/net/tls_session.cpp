#include "net/tls_session.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "net/tcp_connection.h"
#include "net/tls_context.h"

namespace vx {

struct TlsSession::State {
    std::shared_ptr<TlsContext> context;
    std::string key;        // "host:port", the sessions' key
    TlsContext::Peer peer;  // for the context's new-session callback
    SSL* ssl = nullptr;
    ~State() { SSL_free(ssl); }
};

namespace {
[[noreturn]] void Fail(const std::string& why) {
    throw NetError(NetErrorKind::Tls, why);
}

// Every setter's word is checked: a connection without its rules must not
// speak to anyone.
void Require(bool ok, const char* what) {
    if (!ok) Fail(std::string("cannot set up TLS (") + what + "): " + LastSslError());
}

// RFC 6066: SNI carries host names only, never a literal address.
bool IsAddressLiteral(const std::string& host) {
    return !host.empty() && (host.find(':') != std::string::npos ||
                             host.find_first_not_of("0123456789.") == std::string::npos);
}

}  // namespace

TlsSession::TlsSession(int fd, const std::string& host, int port,
                       std::shared_ptr<TlsContext> context)
    : s_(std::make_unique<State>()) {
    ERR_clear_error();
    s_->context = context ? std::move(context) : std::make_shared<TlsContext>();
    s_->key = host + ":" + std::to_string(port);
    s_->peer = {s_->context.get(), s_->key};
    s_->ssl = SSL_new(s_->context->Handle());
    Require(s_->ssl != nullptr, "connection");
    Require(SSL_set_fd(s_->ssl, fd) == 1, "socket");
    Require(SSL_set_ex_data(s_->ssl, TlsContext::PeerIndex(), &s_->peer) == 1, "state");
    // SNI and the name the certificate must carry (an address is checked
    // as an address).
    if (IsAddressLiteral(host)) {
        Require(X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s_->ssl), host.c_str()) == 1,
                "address check");
    } else {
        // SSL_set_tlsext_host_name is a macro with a C cast in it.
        Require(SSL_ctrl(s_->ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                         const_cast<char*>(host.c_str())) == 1,
                "server name");
        SSL_set_hostflags(s_->ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        Require(SSL_set1_host(s_->ssl, host.c_str()) == 1, "host name check");
    }
    if (SSL_SESSION* session = s_->context->SessionFor(s_->key)) {
        const int set = SSL_set_session(s_->ssl, session);
        SSL_SESSION_free(session);
        Require(set == 1, "session");
    }
    SSL_set_connect_state(s_->ssl);
}

void TlsSession::Close() noexcept {
    // close_notify, once and without waiting for the peer's: a connection
    // dropped without it leaves its session unfit to resume.
    if (SSL_is_init_finished(s_->ssl)) {
        ERR_clear_error();
        SSL_shutdown(s_->ssl);
        ERR_clear_error();
    }
}

bool TlsSession::Resumed() const {
    return SSL_session_reused(s_->ssl) == 1;
}

void TlsSession::HandshakeFailed() {
    // Never resume with a peer that just failed: a full handshake next time.
    s_->context->Forget(s_->key);
}

TlsSession::~TlsSession() = default;

TlsIo TlsSession::Outcome(int rc, const char* doing) {
    TlsIo io;
    if (rc > 0) {
        io.bytes = rc;
        return io;
    }
    switch (SSL_get_error(s_->ssl, rc)) {
        case SSL_ERROR_WANT_READ:
            io.waitFor = POLLIN;
            return io;
        case SSL_ERROR_WANT_WRITE:
            io.waitFor = POLLOUT;
            return io;
        case SSL_ERROR_ZERO_RETURN:
            io.closed = true;
            return io;
        case SSL_ERROR_SYSCALL: {
            // Only here does errno say what failed.
            const int err = errno;
            const std::string ssl = LastSslError();
            if (!ssl.empty()) {
                io.error = ssl;
            } else if (err == 0) {
                io.closed = io.truncated = true;  // the peer went away
            } else {
                io.transport = true;
                io.sysError = err;
                io.error = std::strerror(err);
            }
            return io;
        }
        case SSL_ERROR_SSL:
            if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
                ERR_clear_error();
                io.closed = io.truncated = true;
                return io;
            }
            break;
        default:
            break;
    }
    const long verify = SSL_get_verify_result(s_->ssl);
    if (verify != X509_V_OK) {
        io.error = X509_verify_cert_error_string(verify);
    } else {
        io.error = LastSslError();
        if (io.error.empty()) io.error = std::string(doing) + " failed";
    }
    return io;
}

TlsIo TlsSession::Handshake() {
    ERR_clear_error();
    const int rc = SSL_do_handshake(s_->ssl);
    return Outcome(rc, "the handshake");
}

TlsIo TlsSession::Read(char* buffer, size_t size) {
    ERR_clear_error();
    size_t got = 0;
    const int rc = SSL_read_ex(s_->ssl, buffer, size, &got);
    return Outcome(rc == 1 ? static_cast<int>(got) : (rc == 0 ? 0 : rc), "a read");
}

TlsIo TlsSession::Write(const char* bytes, size_t size) {
    ERR_clear_error();
    size_t sent = 0;
    const int rc = SSL_write_ex(s_->ssl, bytes, size, &sent);
    return Outcome(rc == 1 ? static_cast<int>(sent) : 0, "a write");
}

}  // namespace vx
