// One HTTP/1.1 exchange (GET, or a service's POST) over a new connection, and FetchPage, the
// system's only way to the network.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/service_request.h"
#include "net/connection_pool.h"
#include "net/tcp_connection.h"
#include "net/tls_context.h"

namespace vx {

struct UrlParts {
    std::string protocol, host, port, path, document, fragment;
    std::string userInfo;  // "user:password" before an "@"; never sent
};

UrlParts SplitUrl(const std::string& url);

// path + document with control bytes (0x00-0x1F, 0x7F) percent-encoded, so
// nothing in a URL can add a line to the request.
std::string RequestTarget(const UrlParts& parts);

// Response header lines with first-match-wins lookup by case-insensitive name
// and continuation lines folded into the value.
class HeaderList {
  public:
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    size_t Count() const { return lines_.size(); }
    std::string Value(const std::string& name) const;

  private:
    std::vector<std::string> lines_;
};

enum ProtocolVersion { pv1_0, pv1_1 };

// One exchange's outcome: what the status line and headers said, the body
// bytes that arrived, and why the exchange ended early, if it did.
struct HttpResponse {
    std::string statusLine;
    int32_t statusCode = 0;
    bool answeredHttp10 = false;  // the server answered HTTP/1.0
    HeaderList headers;
    std::string location, connection, transferEncoding;
    std::optional<int64_t> contentLength;  // absent: no Content-Length header
    std::string body;
    std::optional<NetError> error;
};

class HttpClient {
  public:
    explicit HttpClient(const NetLimits& limits = NetLimits{}) : limits_(limits) {}

    // Never raises: a failure is in the response's error, with whatever body
    // bytes had arrived.
    HttpResponse Get(const std::string& url);
    // A service's request: its method, headers and body. A header name or
    // value that could end the line (CR, LF, NUL) is refused, never sent.
    HttpResponse Send(const ServiceRequest& request);

    // Opens the connection; Connect unless a harness supplies its own.
    std::function<void(TcpConnection&)> connector;
    // Watched by every wait of the exchange; may be triggered from any thread.
    std::shared_ptr<const CancelSignal> cancel;
    // Addresses already found (one run's); none: every fetch looks up.
    std::shared_ptr<HostCache> hosts;
    // The run's TLS context and sessions; none: a context for this fetch.
    std::shared_ptr<TlsContext> tls;

    ProtocolVersion protocolVersion = pv1_1;
    // The last secure connection resumed a session of tls's.
    bool Resumed() const { return connection_->Resumed(); }
    // Kept-alive connections to reuse, and to keep this one in; none: one
    // connection for this exchange.
    std::shared_ptr<ConnectionPool> pool;

    static constexpr const char* kAccept = "text/html, */*";
    static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

  private:
    // The steps of one exchange; each raises NetError.
    // Send once more on a new connection, kept in the pool under key after.
    HttpResponse Send(const ServiceRequest& request, const std::string& key);
    // Into the pool after a whole answer.
    void Keep(const HttpResponse& r, const std::string& key);
    void Open(const UrlParts& u);
    // Refuses, before any connection, what cannot be sent as given.
    static void CheckRequest(const ServiceRequest& request);
    void SendRequest(const std::string& target, const std::string& hostHeader,
                     const ServiceRequest* request);
    void ReadStatusLine(HttpResponse& r);
    void ReadHeaders(HttpResponse& r);
    void ReadBody(HttpResponse& r);
    void Finish(const HttpResponse& r);

    NetLimits limits_;
    std::unique_ptr<TcpConnection> connection_ = std::make_unique<TcpConnection>();
};

// The limits every fetch uses: NetLimits' defaults, or the times given in
// VEXORIN_NET_CONNECT_MS, VEXORIN_NET_SILENCE_MS and VEXORIN_NET_FETCH_MS
// (read once; for trying the program against slow or hostile servers).
const NetLimits& DefaultNetLimits();
// base with the times those variables give, where they give one (read now).
NetLimits NetLimitsFromEnvironment(NetLimits base);

// The body bytes that arrived, whatever happened; never raises. A cancelled
// fetch returns what had arrived by then.
std::string FetchPage(const std::string& url);
std::string FetchPage(const std::string& url, const NetLimits& limits,
                      std::shared_ptr<const CancelSignal> cancel = nullptr);

// The same, saying also whether the answer came whole with a 2xx status.
struct PageAnswer {
    std::string body;
    bool complete = false;
    bool answered = false;  // a status line arrived
    // Asking again may succeed: no connection, a time-out, the peer gone
    // before the end, or an answer of 429 or 5xx. Never after a cancel.
    bool transient = false;
    int retryAfterSeconds = -1;  // the answer's Retry-After in seconds, if any
    int status = 0;              // the status code, 0 when none came
    std::string statusLine;
    std::string error;  // why the fetch failed, empty when it did not
    // What the user must hear once: why a secure connection could not be
    // made ("TLS handshake: certificate has expired"), or that an answer was
    // cut short; empty otherwise.
    std::string problem;
    // No local port was free: this computer's shortage, which says nothing
    // of the service.
    bool noLocalPort = false;
    // A JSON answer larger than NetLimits::maxJsonBodyBytes, cut as it came
    // (complete, with no body).
    bool oversized = false;
};
// A Retry-After value as RFC 9110 reads it: decimal seconds, or an
// HTTP-date (seconds from now, 0 when past); none for anything else.
std::optional<int> ReadRetryAfter(std::string_view value, std::time_t now);
// Whether a failed exchange may pass if asked again (see PageAnswer).
bool IsTransient(const HttpResponse& response);
PageAnswer FetchAnswer(const std::string& url, const NetLimits& limits = DefaultNetLimits(),
                       std::shared_ptr<const CancelSignal> cancel = nullptr,
                       std::shared_ptr<HostCache> hosts = nullptr,
                       std::shared_ptr<TlsContext> tls = nullptr);
PageAnswer FetchAnswer(const ServiceRequest& request, const NetLimits& limits,
                       std::shared_ptr<const CancelSignal> cancel = nullptr,
                       std::shared_ptr<HostCache> hosts = nullptr,
                       std::shared_ptr<TlsContext> tls = nullptr,
                       std::shared_ptr<ConnectionPool> pool = nullptr);

}  // namespace vx
