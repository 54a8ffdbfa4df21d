// HTTPS through our client against loopback TLS servers whose certificates
// are made here, at test time: a trusted chain, and each way it can fail.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "loopback/loopback.h"
#include "loopback/script_server.h"
#include "net/http_client.h"
#include "net/tls_context.h"
#include "stand_in_server.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace vx {
namespace {

using Clock = std::chrono::steady_clock;

// A key and a certificate for names, signed by issuer (itself when none),
// valid from fromDays to toDays around now.
struct Credential {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    Credential() = default;
    Credential(const char* name, const Credential* issuer, bool ca, long fromDays, long toDays,
               const char* altNames = "DNS:localhost,IP:127.0.0.1") {
        key = EVP_RSA_gen(2048);
        cert = X509_new();
        X509_set_version(cert, 2);
        static long serial = 1;
        ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
        X509_gmtime_adj(X509_getm_notBefore(cert), fromDays * 86400);
        X509_gmtime_adj(X509_getm_notAfter(cert), toDays * 86400);
        X509_set_pubkey(cert, key);
        X509_NAME* subject = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(name), -1, -1, 0);
        X509_set_issuer_name(cert, issuer ? X509_get_subject_name(issuer->cert) : subject);
        X509V3_CTX v3;
        X509V3_set_ctx(&v3, issuer ? issuer->cert : cert, cert, nullptr, nullptr, 0);
        auto add = [&](int nid, const char* value) {
            X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
            X509_add_ext(cert, e, -1);
            X509_EXTENSION_free(e);
        };
        add(NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
        if (ca) add(NID_key_usage, "critical,keyCertSign,cRLSign");
        if (!ca && altNames) add(NID_subject_alt_name, altNames);
        X509_sign(cert, issuer ? issuer->key : key, EVP_sha256());
    }
    ~Credential() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
    Credential(const Credential&) = delete;
    Credential& operator=(const Credential&) = delete;
    void WriteCert(const std::string& path) const {
        std::FILE* f = std::fopen(path.c_str(), "w");
        PEM_write_X509(f, cert);
        std::fclose(f);
    }
    void WriteKey(const std::string& path) const {
        std::FILE* f = std::fopen(path.c_str(), "w");
        PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
        std::fclose(f);
    }
};

// Serves TLS on loopback, one connection after another, each answered by
// answer (given the request head) on a thread of its own.
class TlsServer {
  public:
    struct Options {
        int maxVersion = 0;           // 0: the library's newest
        bool neverHandshake = false;  // accept, then say nothing
        bool closeNotify = true;      // end with close_notify, or just close
    };
    TlsServer(const Credential& leaf, std::function<std::string(const std::string&)> answer,
              Options options)
        : answer_(std::move(answer)), options_(options) {
        ctx_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(ctx_, leaf.cert);
        SSL_CTX_use_PrivateKey(ctx_, leaf.key);
        if (options_.maxVersion) {
            SSL_CTX_set_security_level(ctx_, 0);
            SSL_CTX_set_cipher_list(ctx_, "DEFAULT:@SECLEVEL=0");
            SSL_CTX_set_min_proto_version(ctx_, 0);
            SSL_CTX_set_max_proto_version(ctx_, options_.maxVersion);
        }
        fd_ = ListenOnLoopback(0, 16, &port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TlsServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
        SSL_CTX_free(ctx_);
    }
    int Port() const { return port_; }
    std::string Url(const std::string& host = "localhost") const {
        return "https://" + host + ":" + std::to_string(port_) + "/page";
    }

  private:
    void Serve() {
        while (!stop_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            if (options_.neverHandshake) {
                while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ::close(c);
                return;
            }
            SSL* ssl = SSL_new(ctx_);
            SSL_set_fd(ssl, c);
            if (SSL_accept(ssl) == 1) {
                std::string head;
                char buf[4096];
                int n;
                while (head.find("\r\n\r\n") == std::string::npos &&
                       (n = SSL_read(ssl, buf, sizeof buf)) > 0)
                    head.append(buf, static_cast<size_t>(n));
                const std::string out = answer_(head);
                SSL_write(ssl, out.data(), static_cast<int>(out.size()));
                if (options_.closeNotify) SSL_shutdown(ssl);
            }
            SSL_free(ssl);
            ::close(c);
        }
    }

    std::function<std::string(const std::string&)> answer_;
    Options options_;
    SSL_CTX* ctx_ = nullptr;
    int fd_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The test CA, trusted through VEXORIN_CA_FILE, and its leaves.
class Tls : public ::testing::Test {
  protected:
    Tls() { ca_.WriteCert(caFile_); }
    vx::testing::TempDir dir_;
    std::string caFile_ = dir_.File("ca.pem");
    Credential ca_{"Vexorin Test CA", nullptr, true, -1, 30};
    Credential leaf_{"localhost", &ca_, false, -1, 30};
    vx::testing::ScopedEnv trust_{"VEXORIN_CA_FILE", caFile_};
};

std::string Body(const std::string& framing) {
    const std::string body(20000, 'b');
    if (framing == "length")
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
               body;
    if (framing == "chunked")
        return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4e20\r\n" + body +
               "\r\n0\r\n\r\n";
    return "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body;
}

// A trusted chain fetches the same bytes whatever the framing, with or
// without close_notify at the end; the name in the Host header and SNI.
TEST_F(Tls, ATrustedChainFetchesWholeBodies) {
    for (const char* framing : {"length", "chunked", "close"}) {
        for (const bool notify : {true, false}) {
            std::string head;
            TlsServer server(leaf_,
                             [&](const std::string& h) {
                                 head = h;
                                 return Body(framing);
                             },
                             {.closeNotify = notify});
            HttpClient client;
            const HttpResponse r = client.Get(server.Url());
            // Only a close that close_notify confirms ends a body the close
            // frames: anyone on the path can cut the TCP stream.
            const bool cut = !notify && std::string_view(framing) == "close";
            EXPECT_EQ(r.error.has_value(), cut) << framing << notify;
            if (cut) {
                EXPECT_EQ(r.error->kind, NetErrorKind::Closed);
            }
            EXPECT_EQ(r.body, std::string(20000, 'b')) << framing << notify;
            EXPECT_NE(head.find("Host: localhost\r\n"), std::string::npos) << head;
        }
    }
    // A body cut short before its length is a truncated body, TLS or not.
    TlsServer cut(leaf_, [](const std::string&) { return Body("length").substr(0, 5000); },
                  {.closeNotify = false});
    EXPECT_EQ(HttpClient().Get(cut.Url()).error->kind, NetErrorKind::Closed);
}

// Each broken chain fails with its reason, a net error of its own kind.
TEST_F(Tls, UntrustedExpiredWrongNameAndOldProtocolFailWithTheirReason) {
    const Credential stranger("Someone Else CA", nullptr, true, -1, 30);
    const Credential untrusted("localhost", &stranger, false, -1, 30);
    const Credential self("localhost", nullptr, false, -1, 30);
    const Credential expired("localhost", &ca_, false, -30, -1);
    const Credential elsewhere("localhost", &ca_, false, -1, 30, "DNS:example.org");
    struct Case {
        const Credential* leaf;
        int maxVersion;
        const char* reason;
    } cases[] = {
        {&untrusted, 0, "unable to get local issuer certificate"},
        {&self, 0, "self-signed certificate"},
        {&expired, 0, "certificate has expired"},
        {&elsewhere, 0, "hostname mismatch"},
        {&leaf_, TLS1_VERSION, "protocol"},
    };
    // The reasons, never the clock: on a loaded machine (the sanitized suite
    // beside another) a handshake may take seconds, and a time-out would
    // hide the reason this test is about.
    NetLimits patient;
    patient.connectTimeoutMs = patient.silenceTimeoutMs = patient.fetchTimeoutMs = 60000;
    for (const Case& c : cases) {
        TlsServer server(*c.leaf, [](const std::string&) { return Body("length"); },
                         {.maxVersion = c.maxVersion});
        const HttpResponse r = HttpClient(patient).Get(server.Url());
        ASSERT_TRUE(r.error) << c.reason;
        EXPECT_EQ(r.error->kind, NetErrorKind::Tls) << c.reason;
        EXPECT_NE(std::string(r.error->what()).find(c.reason), std::string::npos)
            << r.error->what();
        EXPECT_EQ(r.body, "");
    }
    // Trusted by nobody without the test CA; by a run whose Preferences
    // name its file (a context of its own), or whose environment does.
    vx::testing::ScopedEnv none("VEXORIN_CA_FILE", "");
    TlsServer server(leaf_, [](const std::string&) { return Body("length"); }, {});
    EXPECT_EQ(HttpClient().Get(server.Url()).error->kind, NetErrorKind::Tls);
    HttpClient preferred;
    preferred.tls = TlsContext::ForRun(caFile_);
    const HttpResponse trusted = preferred.Get(server.Url());
    EXPECT_FALSE(trusted.error) << trusted.error->what();
    ASSERT_FALSE(TlsContext::ForRun(dir_.File("missing.pem")));  // said by each fetch instead
}

// A server that never completes the handshake is bounded by the connect
// limit, and a cancel ends the wait at once.
TEST_F(Tls, AStalledHandshakeIsBoundedAndCancelled) {
    TlsServer server(leaf_, nullptr, {.neverHandshake = true});
    NetLimits limits;
    limits.connectTimeoutMs = 300;
    auto t0 = Clock::now();
    HttpResponse r = HttpClient(limits).Get(server.Url());
    // A time-out, retried like any other; Tls is for what the peer says.
    EXPECT_EQ(r.error->kind, NetErrorKind::TimedOut);
    EXPECT_NE(std::string(r.error->what()).find("timed out"), std::string::npos);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));

    TlsServer again(leaf_, nullptr, {.neverHandshake = true});
    auto cancel = std::make_shared<CancelSignal>();
    HttpClient client;  // the 5 s connect limit
    client.cancel = cancel;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel->Cancel();
    });
    t0 = Clock::now();
    r = client.Get(again.Url());
    stopper.join();
    EXPECT_EQ(r.error->kind, NetErrorKind::Cancelled);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1500));  // not the 5 s limit
}

// An address is checked as an address (and never sent as SNI); a peer
// that closes during the handshake is a closed connection, retried like
// one, not a TLS failure.
TEST_F(Tls, AddressesAndTransportFailuresDuringTheHandshake) {
    const Credential named("localhost", &ca_, false, -1, 30, "DNS:localhost");
    struct Case {
        const Credential* leaf;
        const char* host;
        std::optional<NetErrorKind> want;
    } cases[] = {
        {&leaf_, "127.0.0.1", std::nullopt},
        {&named, "127.0.0.1", NetErrorKind::Tls},
        {&named, "localhost", std::nullopt},
    };
    for (const Case& c : cases) {
        TlsServer server(*c.leaf, [](const std::string&) { return Body("length"); }, {});
        const HttpResponse r = HttpClient().Get(server.Url(c.host));
        EXPECT_EQ(r.error ? std::optional(r.error->kind) : std::nullopt, c.want)
            << c.host << (r.error ? r.error->what() : "");
    }
    testing::ScriptServer hangsUp({testing::Step::Bytes("")}, false);
    const HttpResponse r =
        HttpClient().Get("https://localhost:" + std::to_string(hangsUp.port()) + "/");
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->kind, NetErrorKind::Closed) << r.error->what();
    EXPECT_TRUE(IsTransient(r));
}

// A run's fetches share one context: after a verified handshake the next
// connection to the same host and port resumes; another host never gets
// A TLS 1.3 ticket goes to one connection only (RFC 8446, C.4), the newest
// first; a TLS 1.2 session may serve several.
TEST(TlsSessions, ATicketIsHandedOutOnce) {
    TlsContext context;
    const auto made = [](int version, unsigned char id) {
        SSL_SESSION* s = SSL_SESSION_new();
        SSL_SESSION_set_protocol_version(s, version);
        const unsigned char bytes[] = {id, 1, 2, 3};
        SSL_SESSION_set1_id(s, bytes, sizeof bytes);
        return s;
    };
    SSL_SESSION* first = made(TLS1_3_VERSION, 1);
    SSL_SESSION* second = made(TLS1_3_VERSION, 2);
    context.Remember("h:443", first);
    context.Remember("h:443", second);
    SSL_SESSION* a = context.SessionFor("h:443");
    SSL_SESSION* b = context.SessionFor("h:443");
    EXPECT_EQ(a, second);
    EXPECT_EQ(b, first);
    EXPECT_EQ(context.SessionFor("h:443"), nullptr);
    SSL_SESSION_free(a);
    SSL_SESSION_free(b);
    context.Remember("old:443", made(TLS1_2_VERSION, 3));
    SSL_SESSION* c = context.SessionFor("old:443");
    SSL_SESSION* d = context.SessionFor("old:443");
    EXPECT_NE(c, nullptr);
    EXPECT_EQ(c, d);
    SSL_SESSION_free(c);
    SSL_SESSION_free(d);
    EXPECT_EQ(context.SessionFor("other:443"), nullptr);
}

// the session.
TEST_F(Tls, SessionsAreResumedOnlyAfterAVerifiedHandshake) {
    TlsServer server(leaf_, [](const std::string&) { return Body("length"); }, {});
    const auto context = TlsContext::ForRun();
    ASSERT_TRUE(context);
    auto fetch = [&](const std::string& url) {
        HttpClient client;
        client.tls = context;
        const HttpResponse r = client.Get(url);
        EXPECT_FALSE(r.error) << (r.error ? r.error->what() : "");
        return client.Resumed();
    };
    EXPECT_FALSE(fetch(server.Url()));
    EXPECT_TRUE(fetch(server.Url()));
    EXPECT_TRUE(fetch(server.Url()));
    EXPECT_FALSE(fetch(server.Url("127.0.0.1")));  // another peer by name
}

// The stand-in services serve the same pages over TLS on their one port.
TEST_F(Tls, TheStandInServicesServeHttps) {
    leaf_.WriteCert(dir_.File("leaf.pem"));
    leaf_.WriteKey(dir_.File("leaf.key"));
    std::string bodies[2];
    for (const bool tls : {false, true}) {
        services::StandInServer server(0);
        std::string why;
        if (tls) {
            ASSERT_TRUE(server.EnableTls(dir_.File("leaf.pem"), dir_.File("leaf.key"), &why))
                << why;
        }
        std::atomic<bool> stop{false};
        std::thread serve([&] { server.Run(stop); });
        const std::string url = std::string(tls ? "https" : "http") +
                                "://localhost:" + std::to_string(server.port()) +
                                "/search?p=%22cheap+shoes%22";
        const PageAnswer a = FetchAnswer(url);
        // A head of over 8 KB, which TLS brings in one record.
        NetLimits quick;
        quick.silenceTimeoutMs = 2000;
        const PageAnswer big = FetchAnswer(url + "&pad=" + std::string(12000, 'a'), quick);
        stop = true;
        serve.join();
        EXPECT_TRUE(a.complete) << url;
        EXPECT_TRUE(big.answered) << tls << " " << big.error;
        bodies[tls] = a.body;
    }
    EXPECT_GT(bodies[0].size(), 100u);
    EXPECT_EQ(bodies[1], bodies[0]);
}

}  // namespace
}  // namespace vx
