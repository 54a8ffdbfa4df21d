#include "net/http_client.h"

#include "net/connection_pool.h"

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "core/text.h"

namespace vx {

UrlParts SplitUrl(const std::string& input) {
    UrlParts u;
    std::string url = input;
    // Everything from the first "#" on is the fragment, wherever it stands.
    if (const size_t hash = url.find('#'); hash != std::string::npos) {
        u.fragment = url.substr(hash + 1);
        url.erase(hash);
    }
    std::replace(url.begin(), url.end(), '\\', '/');
    std::string rest;
    const size_t scheme = url.find("://");
    if (scheme != std::string::npos) {
        u.protocol = url.substr(0, scheme);
        rest = url.substr(scheme + 3);
        std::string hostPort;
        const size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            hostPort = rest.substr(0, slash);
            rest.erase(0, slash + 1);
        } else {
            hostPort = rest;
            rest.clear();
        }
        if (const size_t at = hostPort.rfind('@'); at != std::string::npos) {
            u.userInfo = hostPort.substr(0, at);
            hostPort.erase(0, at + 1);
        }
        const size_t colon = hostPort.find(':');
        u.host = hostPort.substr(0, colon);
        if (colon != std::string::npos) u.port = hostPort.substr(colon + 1);
    } else {
        rest = url;
    }
    const size_t last = rest.rfind('/');
    if (last != std::string::npos) {
        u.path = rest.substr(0, last + 1);
        u.document = rest.substr(last + 1);
    } else {
        u.document = rest;
    }
    if (u.path.empty() || u.path[0] != '/') u.path.insert(u.path.begin(), '/');
    return u;
}

std::string RequestTarget(const UrlParts& parts) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : parts.path + parts.document) {
        if (c < 0x20 || c == 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

namespace {

bool IsHostName(const std::string& host) {
    if (host.empty()) return false;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '.' || c == '_';
    });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimLeftBlanks(std::string_view s) {
    return std::string(TrimView(s, " \t", true));
}

// A port as URLs write it: 1 to 65535 in decimal digits.
std::optional<int32_t> ReadPort(std::string_view text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    int32_t port = 0;
    for (const char c : text) port = port * 10 + (c - '0');
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// Decimal digits only, blanks around allowed; anything else is no length.
std::optional<int64_t> ReadContentLength(std::string_view text) {
    text = TrimView(text, " \t");
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != text.npos)
        return std::nullopt;
    int64_t n = 0;
    for (const char c : text) n = n * 10 + (c - '0');
    return n;
}

// Hexadecimal digits only, at most 15 of them (no sign, no prefix).
std::optional<uint64_t> ReadChunkSize(std::string_view text) {
    if (text.empty() || text.size() > 15) return std::nullopt;
    uint64_t n = 0;
    for (const char c : text) {
        const int d = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0) return std::nullopt;
        n = n * 16 + static_cast<uint64_t>(d);
    }
    return n;
}

// Interim answers (100 Continue, 103 Early Hints) a server may send first.
constexpr int kMaxInterimAnswers = 16;

bool HasNoBody(const HttpResponse& r) {
    return r.statusCode == 204 || r.statusCode == 304 || (r.contentLength && *r.contentLength == 0);
}

}  // namespace

std::string HeaderList::Value(const std::string& name) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::string& line = lines_[i];
        const size_t colon = line.find(':');
        if (!EqualsNoCase(colon == std::string::npos ? "" : std::string_view(line).substr(0, colon),
                          name))
            continue;
        std::string value = colon == std::string::npos ? "" : line.substr(colon + 1);
        for (size_t k = i + 1; k < lines_.size(); ++k) {
            const std::string& next = lines_[k];
            if (next.empty() || !IsBlank(next[0])) break;
            if (!value.empty() && IsBlank(value.back())) {
                value += TrimLeftBlanks(next);
            } else {
                value += ' ';
                value += TrimLeftBlanks(next);
            }
        }
        return TrimLeftBlanks(value);
    }
    return {};
}

HttpResponse HttpClient::Get(const std::string& url) {
    ServiceRequest request;
    request.url = url;
    return Send(request);
}

HttpResponse HttpClient::Send(const ServiceRequest& request) {
    const std::string& url = request.url;
    // A kept-alive connection of the run's pool, when there is one to the host.
    std::string key;
    bool reused = false;
    if (pool) {
        const UrlParts parts = SplitUrl(url);
        key = LowerAscii(parts.protocol) + "://" + LowerAscii(parts.host) + ":" + parts.port;
        if (auto kept = pool->Take(key)) {
            connection_ = std::move(kept);
            reused = true;
        }
    }
    HttpResponse r;
    NetLimits limits = limits_;
    if (request.json) limits.maxBodyBytes = std::min(limits.maxBodyBytes, limits.maxJsonBodyBytes);
    connection_->SetLimits(limits);
    connection_->SetDeadline(std::chrono::steady_clock::now() +
                             std::chrono::milliseconds(limits_.fetchTimeoutMs));
    connection_->SetCancel(cancel);
    connection_->SetHostCache(hosts);
    connection_->SetTlsContext(tls);
    // Closed by the server while it was kept, or holding bytes nobody
    // asked for: not to be used.
    if (reused) {
        connection_->CheckForClose(0);
        if (!connection_->IsOpen() || connection_->Buffered() > 0) {
            connection_ = std::make_unique<TcpConnection>();
            return Send(request, key);
        }
    }
    try {
        const UrlParts u = SplitUrl(url);
        CheckRequest(request);
        if (!reused) Open(u);
        SendRequest(RequestTarget(u), u.host, &request);
        for (int interim = 0;; ++interim) {
            r = HttpResponse{};
            ReadStatusLine(r);
            ReadHeaders(r);
            if (r.statusCode < 100 || r.statusCode > 199) break;
            if (interim == kMaxInterimAnswers)
                throw NetError(NetErrorKind::Malformed, "Too many interim answers.");
        }
        const bool redirect = (r.statusCode >= 300 && r.statusCode < 400 && r.statusCode != 304) ||
                              !r.location.empty();
        ReadBody(r);
        if (redirect) throw NetError(NetErrorKind::HttpStatus, "Redirect: " + r.statusLine);
        if (r.statusCode < 200 || r.statusCode > 299)
            throw NetError(NetErrorKind::HttpStatus, r.statusLine);
        Finish(r);
    } catch (const NetError& e) {
        // A kept connection the server had closed fails before any byte of
        // an answer: the request is sent once more, on a new connection.
        if (reused && r.statusLine.empty() && connection_->Buffered() == 0 &&
            e.kind != NetErrorKind::Cancelled && e.kind != NetErrorKind::TimedOut &&
            !(cancel && cancel->Cancelled())) {
            connection_ = std::make_unique<TcpConnection>();
            return Send(request, key);
        }
        r.error = e;
    }
    // A whole answer (an error status's too) leaves the connection for the
    // next request to the host.
    if (pool) Keep(r, key);
    return r;
}

void HttpClient::Keep(const HttpResponse& r, const std::string& key) {
    if (r.error && r.error->kind != NetErrorKind::HttpStatus) return;
    // A whole answer with an error status did not look for the close yet.
    if (r.error) Finish(r);
    pool->Give(key, std::move(connection_));
    connection_ = std::make_unique<TcpConnection>();
}

HttpResponse HttpClient::Send(const ServiceRequest& request, const std::string& key) {
    // Once more on a new connection: the pool is not asked again.
    const std::shared_ptr<ConnectionPool> kept = std::move(pool);
    HttpResponse r = Send(request);
    pool = kept;
    if (pool) Keep(r, key);
    return r;
}

void HttpClient::Open(const UrlParts& u) {
    const std::string scheme = LowerAscii(u.protocol);
    if (!scheme.empty() && scheme != "http" && scheme != "https")
        throw NetError(NetErrorKind::Unsupported, "Unsupported scheme: " + u.protocol);
    const bool secure = scheme == "https";
    if (!u.userInfo.empty())
        throw NetError(NetErrorKind::Unsupported,
                       "User names and passwords in URLs are not supported.");
    // Each exchange without a pool has a connection of its own: one left
    // open by an earlier exchange of this client (its server's close not
    // seen yet) is closed first.
    if (connection_->IsOpen()) connection_->Close();
    if (!u.host.empty()) connection_->host = u.host;
    if (!IsHostName(connection_->host))
        throw NetError(NetErrorKind::Unsupported, "Invalid host name.");
    // 1 to 65535 in decimal, or none at all; never a silent port 80.
    const auto port = u.port.empty() ? std::optional<int32_t>(secure ? 443 : 80) : ReadPort(u.port);
    if (!port) throw NetError(NetErrorKind::Unsupported, "Invalid port: " + u.port);
    connection_->port = *port;
    connection_->useTls = secure;
    if (connector) {
        connector(*connection_);
    } else {
        connection_->Connect();
    }
}

namespace {
bool MayEndALine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}
}  // namespace

void HttpClient::CheckRequest(const ServiceRequest& request) {
    if (request.method != "GET" && request.method != "POST")
        throw NetError(NetErrorKind::Unsupported, "Unsupported method: " + request.method);
    bool sendable = !MayEndALine(request.contentType);
    for (const auto& [name, value] : request.headers)
        sendable = sendable && !name.empty() && !MayEndALine(name) &&
                   name.find(':') == std::string::npos && !MayEndALine(value);
    if (!sendable)
        throw NetError(NetErrorKind::Unsupported, "A request header cannot be sent as given.");
}

void HttpClient::SendRequest(const std::string& target, const std::string& hostHeader,
                             const ServiceRequest* request) {
    const char* version = protocolVersion == pv1_0 ? "1.0" : "1.1";
    // A plain GET is the request every classic page has always had, byte
    // for byte.
    if (!request || (request->method == "GET" && request->headers.empty() && !request->json &&
                     request->body.empty())) {
        connection_->WriteBytes("GET " + target + " HTTP/" + version + "\r\nHost: " + hostHeader +
                                "\r\nAccept: " + kAccept + "\r\nUser-Agent: " + kUserAgent +
                                "\r\n\r\n");
        return;
    }
    std::string head =
        request->method + " " + target + " HTTP/" + version + "\r\nHost: " + hostHeader +
        "\r\nAccept: " + (request->json ? std::string("application/json") : std::string(kAccept)) +
        "\r\nUser-Agent: " + kUserAgent + "\r\n";
    for (const auto& [name, value] : request->headers) head += name + ": " + value + "\r\n";
    if (request->method == "POST") {
        if (!request->contentType.empty()) head += "Content-Type: " + request->contentType + "\r\n";
        head += "Content-Length: " + std::to_string(request->body.size()) + "\r\n";
    }
    connection_->WriteBytes(head + "\r\n" + request->body);
}

void HttpClient::ReadStatusLine(HttpResponse& r) {
    // A peer that does not speak HTTP/1 (HTTP/2's frames, another protocol)
    // is told by its first bytes, not by the silence after them.
    static constexpr std::string_view kStart = "HTTP/";
    while (true) {
        const std::string_view head = connection_->Peek();
        const size_t n = std::min(head.size(), kStart.size());
        if (!EqualsNoCase(head.substr(0, n), kStart.substr(0, n)))
            throw NetError(NetErrorKind::Malformed, "The server did not answer in HTTP/1.");
        if (n == kStart.size()) break;
        connection_->ReadMore();
    }
    r.statusLine = connection_->ReadLine();
    r.answeredHttp10 = LowerAscii(Copy(r.statusLine, 6, 3)) == "1.0";
    std::string rest;
    const size_t space = r.statusLine.find(' ');
    if (space != std::string::npos) rest = r.statusLine.substr(space + 1);
    const auto code = ReadWholeNumber(rest.substr(0, rest.find(' ')));
    if (!code) throw NetError(NetErrorKind::Malformed, "Invalid status line: " + r.statusLine);
    r.statusCode = *code;
}

void HttpClient::ReadHeaders(HttpResponse& r) {
    size_t bytes = 0;
    while (true) {
        std::string line = connection_->ReadLine();
        if (line.empty()) break;
        if (r.headers.Count() >= limits_.maxHeaderLines)
            throw NetError(NetErrorKind::TooLarge, "Too many header lines.");
        bytes += line.size();
        if (bytes > limits_.maxHeaderBytes)
            throw NetError(NetErrorKind::TooLarge, "Header block too large.");
        r.headers.Add(std::move(line));
    }
    r.location = r.headers.Value("Location");
    r.connection = r.headers.Value("Connection");
    r.transferEncoding = r.headers.Value("Transfer-Encoding");
    if (const std::string length = r.headers.Value("Content-Length"); !length.empty()) {
        r.contentLength = ReadContentLength(length);
        if (!r.contentLength)
            throw NetError(NetErrorKind::Malformed, "Invalid Content-Length: " + length);
    }
    const std::string range = r.headers.Value("Content-Range");
    if (range.empty()) return;
    const size_t sp = range.find(' ');
    const std::string span = sp == std::string::npos ? "" : range.substr(sp + 1);
    const size_t dash = span.find('-');
    const std::string first = span.substr(0, dash);
    std::string second;
    if (dash != std::string::npos) {
        second = span.substr(dash + 1);
        second = second.substr(0, second.find('/'));
    }
    if (!ReadWholeNumber(first) || !ReadWholeNumber(second))
        throw NetError(NetErrorKind::Malformed, "Invalid Content-Range: " + range);
}

void HttpClient::ReadBody(HttpResponse& r) {
    if (HasNoBody(r)) return;
    if (r.contentLength) {
        connection_->ReadBytes(r.body, *r.contentLength);
    } else if (r.transferEncoding.find("chunked") != std::string::npos) {
        auto readSize = [&] {
            std::string line = connection_->ReadLine();
            // The size ends at a blank or at its extensions' ";".
            line = line.substr(0, line.find_first_of(" \t;"));
            const auto size = ReadChunkSize(line);
            if (!size) throw NetError(NetErrorKind::Malformed, "Invalid chunk size: " + line);
            // A size past the body cap reads up to the cap, then fails.
            return static_cast<int64_t>(*size);
        };
        for (int64_t size = readSize(); size > 0; size = readSize()) {
            connection_->ReadBytes(r.body, size);
            connection_->ReadLine();
        }
        connection_->ReadLine();
    } else {
        connection_->ReadUntilClose(r.body);
    }
}

void HttpClient::Finish(const HttpResponse& r) {
    if (protocolVersion == pv1_0 || r.answeredHttp10) {
        connection_->Close();
    } else if (LowerAscii(TrimView(r.connection, " ")) == "close" && connection_->IsOpen()) {
        connection_->Close();
    } else {
        connection_->CheckForClose(limits_.closeCheckWaitMs);
    }
}

NetLimits NetLimitsFromEnvironment(NetLimits l) {
    auto read = [](const char* name, int* out) {
        if (const char* v = std::getenv(name)) {
            if (const auto n = ReadWholeNumber(v); n && *n > 0) *out = *n;
        }
    };
    read("VEXORIN_NET_CONNECT_MS", &l.connectTimeoutMs);
    read("VEXORIN_NET_SILENCE_MS", &l.silenceTimeoutMs);
    read("VEXORIN_NET_FETCH_MS", &l.fetchTimeoutMs);
    return l;
}

const NetLimits& DefaultNetLimits() {
    static const NetLimits limits = NetLimitsFromEnvironment(NetLimits{});
    return limits;
}

std::string FetchPage(const std::string& url) {
    return FetchPage(url, DefaultNetLimits());
}

std::string FetchPage(const std::string& url, const NetLimits& limits,
                      std::shared_ptr<const CancelSignal> cancel) {
    return FetchAnswer(url, limits, std::move(cancel)).body;
}

std::optional<int> ReadRetryAfter(std::string_view value, std::time_t now) {
    value = TrimView(value, " \t");
    if (value.empty()) return std::nullopt;
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        // Any number of digits: a huge delay is a huge delay, not an error.
        int64_t seconds = 0;
        for (const char c : value) seconds = std::min<int64_t>(seconds * 10 + (c - '0'), 1 << 30);
        return static_cast<int>(seconds);
    }
    // IMF-fixdate, and the two obsolete forms a recipient must accept.
    const std::string text(value);
    for (const char* format :
         {"%a, %d %b %Y %H:%M:%S GMT", "%A, %d-%b-%y %H:%M:%S GMT", "%a %b %e %H:%M:%S %Y"}) {
        std::tm tm{};
        const char* end = ::strptime(text.c_str(), format, &tm);
        if (!end || *end != '\0') continue;
        const std::time_t at = ::timegm(&tm);
        if (at == static_cast<std::time_t>(-1)) return std::nullopt;
        return static_cast<int>(std::clamp<int64_t>(at - now, 0, 1 << 30));
    }
    return std::nullopt;
}

bool IsTransient(const HttpResponse& response) {
    if (!response.error) return false;
    switch (response.error->kind) {
        case NetErrorKind::Refused:
        case NetErrorKind::TimedOut:
        case NetErrorKind::Closed:
        case NetErrorKind::Socket:
        case NetErrorKind::NoLocalPort:
            return true;
        case NetErrorKind::HttpStatus:
            return response.statusCode == 429 || response.statusCode >= 500;
        default:
            return false;
    }
}

PageAnswer FetchAnswer(const std::string& url, const NetLimits& limits,
                       std::shared_ptr<const CancelSignal> cancel, std::shared_ptr<HostCache> hosts,
                       std::shared_ptr<TlsContext> tls) {
    ServiceRequest request;
    request.url = url;
    return FetchAnswer(request, limits, std::move(cancel), std::move(hosts), std::move(tls));
}

PageAnswer FetchAnswer(const ServiceRequest& request, const NetLimits& limits,
                       std::shared_ptr<const CancelSignal> cancel, std::shared_ptr<HostCache> hosts,
                       std::shared_ptr<TlsContext> tls, std::shared_ptr<ConnectionPool> pool) {
    HttpClient client(limits);
    client.pool = std::move(pool);
    client.cancel = std::move(cancel);
    client.hosts = std::move(hosts);
    client.tls = std::move(tls);
    HttpResponse r = client.Send(request);
    PageAnswer answer;
    answer.body = std::move(r.body);
    answer.complete = !r.error;
    answer.answered = r.statusCode != 0;
    answer.transient = IsTransient(r);
    answer.status = r.statusCode;
    answer.statusLine = r.statusLine;
    if (r.error) {
        answer.error = r.error->what();
        if (r.error->kind == NetErrorKind::Tls) answer.problem = answer.error;
        answer.noLocalPort = r.error->kind == NetErrorKind::NoLocalPort;
        // A JSON answer past its bound is an answer, one that holds too much:
        // the adapter says so, and nothing of it is kept.
        if (request.json && r.error->kind == NetErrorKind::TooLarge) {
            answer.oversized = answer.complete = true;
            answer.body.clear();
            answer.body.shrink_to_fit();
            return answer;
        }
        // An answer that began and did not end whole is worth a word: its
        // body must not pass for the page.
        const bool cut = answer.answered && r.error->kind != NetErrorKind::HttpStatus &&
                         r.error->kind != NetErrorKind::Cancelled;
        if (cut) answer.problem = "an answer was cut short (" + answer.error + ")";
    }
    if (const auto after = ReadRetryAfter(r.headers.Value("Retry-After"), std::time(nullptr)))
        answer.retryAfterSeconds = *after;
    return answer;
}

}  // namespace vx
