#include "net/tls_session.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "net/tcp_connection.h"

namespace vx {

struct TlsSession::State {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    ~State() {
        SSL_free(ssl);
        SSL_CTX_free(ctx);
    }
};

namespace {
[[noreturn]] void Fail(const std::string& why) {
    throw NetError(NetErrorKind::Tls, why);
}

std::string LastSslError() {
    const unsigned long e = ERR_peek_last_error();
    ERR_clear_error();
    if (e == 0) return "";
    const char* reason = ERR_reason_error_string(e);
    return reason ? reason : "error " + std::to_string(e);
}

// Every setter's word is checked: a context without its rules must not
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

TlsSession::TlsSession(int fd, const std::string& host) : s_(std::make_unique<State>()) {
    ERR_clear_error();
    s_->ctx = SSL_CTX_new(TLS_client_method());
    if (!s_->ctx) Fail("cannot set up TLS: " + LastSslError());
    Require(SSL_CTX_set_min_proto_version(s_->ctx, TLS1_2_VERSION) == 1, "protocol version");
    // A close without close_notify is told apart (truncated): an answer the
    // close frames is then cut, one its length frames may still be whole.
    SSL_CTX_set_options(s_->ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_verify(s_->ctx, SSL_VERIFY_PEER, nullptr);
    // The system's trusted certificates by their hashed folder, looked up
    // as a chain needs them: reading the whole bundle would cost every
    // fetch more than its handshake.
    if (SSL_CTX_set_default_verify_dir(s_->ctx) != 1)
        Fail("cannot read the system's trusted certificates: " + LastSslError());
    if (const char* ca = std::getenv("VEXORIN_CA_FILE"); ca && *ca) {
        if (SSL_CTX_load_verify_locations(s_->ctx, ca, nullptr) != 1)
            Fail(std::string("cannot read VEXORIN_CA_FILE ") + ca + ": " + LastSslError());
    }
    s_->ssl = SSL_new(s_->ctx);
    if (!s_->ssl || SSL_set_fd(s_->ssl, fd) != 1) Fail("cannot set up TLS: " + LastSslError());
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
    SSL_set_connect_state(s_->ssl);
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
