#include "stand_in_server.h"

#include "loopback/loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <thread>
#include <vector>

#include "demo_data.h"
#include "json_services.h"

namespace vx::services {

namespace {

std::string Html(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '&')
            out += "&amp;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string Grouped(int64_t n) {
    std::string d = std::to_string(n), out;
    for (size_t i = 0; i < d.size(); ++i) {
        if (i > 0 && (d.size() - i) % 3 == 0) out += ',';
        out += d[i];
    }
    return out;
}

std::string SuggestionPage(const std::string& term) {
    const auto list = SuggestionsFor(term);
    std::string b =
        "<html><head><title>Keyword suggestions</title></head><body>\n"
        "<h1>Keyword suggestion tool</h1>\n<p>Searches done in November 2026 for terms related to "
        "<b>" +
        Html(term) +
        "</b>:</p>\n<table class=\"suggestions\">\n<tr><th>Count</th><th>Search term</th></tr>\n";
    for (const auto& s : list)
        b += "<tr><td>&nbsp;" + std::to_string(s.demand) +
             "</td><td><a href=\"/d/searchinventory/suggestion/?term=" + Html(s.phrase) + "\">" +
             Html(s.phrase) + "</a></td></tr>\n";
    b += "</table>\n</body></html>\n";
    return b;
}

std::string SearchPage(const std::string& rawPhrase, int start) {
    std::string phrase = rawPhrase;
    if (phrase.size() >= 2 && phrase.front() == '"' && phrase.back() == '"')
        phrase = phrase.substr(1, phrase.size() - 2);
    const int64_t count = PageCount(phrase);
    const int64_t listed = std::min<int64_t>(count, 1000);
    if (start < 1) start = 1;
    const int64_t last = std::min<int64_t>(listed, start + 19);
    std::string b = "<html><head><title>" + Html(phrase) +
                    " - Search</title></head><body>\n<div class=\"count\">Results <b>" +
                    std::to_string(start) + " - " + std::to_string(last) + "</b> of about <b>" +
                    Grouped(count) + "</b> for <b>" + Html(phrase) + "</b></div>\n<ol start=\"" +
                    std::to_string(start) + "\">\n";
    for (int64_t r = start; r <= last; ++r) {
        const std::string url = ResultUrl(phrase, static_cast<int>(r));
        b += "<li><a href=\"" + url + "\">" + Html(phrase) + " - result " + std::to_string(r) +
             "</a><br><cite>" + url.substr(7) + "</cite></li>\n";
    }
    b += "</ol>\n</body></html>\n";
    return b;
}

// The page start a request asks for, within the result list's reach: no
// number from a request can overflow what we compute from it.
int BoundedStart(const std::string& text) {
    constexpr int64_t kMost = 1000000;
    int64_t v = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = std::min<int64_t>(v * 10 + (text[i] - '0'), kMost);
        ++i;
    }
    if (i == 0 || i != text.size()) return 1;
    return static_cast<int>(std::max<int64_t>(1, v));
}

}  // namespace

bool PageFor(const std::string& target, std::string* body) {
    const size_t q = target.find('?');
    const std::string path = target.substr(0, q);
    const auto query = QueryFields(q == std::string::npos ? "" : target.substr(q + 1));
    auto get = [&](const char* k) {
        const auto it = query.find(k);
        return it == query.end() ? std::string() : it->second;
    };
    if (path == "/d/searchinventory/suggestion/") {
        *body = SuggestionPage(get("term"));
        return true;
    }
    if (path == "/search") {
        *body = SearchPage(get("p"), BoundedStart(get("b")));
        return true;
    }
    return false;
}

StandInServer::StandInServer(int port, ServerLimits limits)
    : limits_(limits), failures_(limits.failSeed) {
    listenFd_ = ListenOnLoopback(port, 64, &port_);
    // Accepting runs until the queue is empty, so it must never block.
    if (listenFd_ >= 0) ::fcntl(listenFd_, F_SETFL, ::fcntl(listenFd_, F_GETFL) | O_NONBLOCK);
}

StandInServer::~StandInServer() {
    if (listenFd_ >= 0) ::close(listenFd_);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxRequest = 64 * 1024;
// Answers waiting for a client that does not read; past this we stop
// reading its requests, so it cannot make us hold more.
constexpr size_t kMaxPendingOut = 4 * 1024 * 1024;
constexpr auto kIdleLimit = std::chrono::seconds(30);

// The head's header fields, names lowered.
std::map<std::string, std::string> HeaderFields(const std::string& head) {
    std::map<std::string, std::string> fields;
    for (size_t at = head.find("\r\n"); at != std::string::npos;) {
        const size_t end = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, end == std::string::npos ? end : end - at - 2);
        if (const size_t colon = line.find(':'); colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const size_t v = line.find_first_not_of(' ', colon + 1);
            fields[name] = v == std::string::npos ? "" : line.substr(v);
        }
        at = end;
    }
    return fields;
}

// The bytes of body a head announces (0 without Content-Length); -1 for
// one that does not read or is beyond a request's bound.
long long BodyLength(const std::string& head) {
    const auto fields = HeaderFields(head);
    const auto it = fields.find("content-length");
    if (it == fields.end()) return 0;
    if (it->second.empty() || it->second.size() > 6 ||
        it->second.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const long long n = std::stoll(it->second);
    return n > 64 * 1024 ? -1 : n;
}

std::string Answer(const std::string& head, const std::string& requestBody) {
    const size_t sp1 = head.find(' ');
    const std::string method = sp1 == std::string::npos ? std::string() : head.substr(0, sp1);
    const std::string target = RequestTargetOf(head);
    std::string status = "200 OK", body, type = "text/html; charset=utf-8";
    const size_t q = target.find('?');
    const JsonRequest json{method, target.substr(0, q),
                           QueryFields(q == std::string::npos ? "" : target.substr(q + 1)),
                           HeaderFields(head), requestBody};
    if (JsonAnswerFor(json, &status, &body)) {
        type = "application/json";
    } else if (method != "GET") {
        status = "405 Method Not Allowed";
        body = "<html><body>Method not allowed</body></html>\n";
    } else if (!PageFor(target, &body)) {
        status = "404 Not Found";
        body = "<html><body>Not found</body></html>\n";
    }
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

// One client: bytes of its requests not yet answered, answers not yet sent,
// and when it last made progress (read from or written to).
struct StandInServer::Client {
    std::string in;
    bool backlog = false;  // `in` holds a complete head not answered yet
    // Answers in order; each leaves the queue as soon as it is sent, so
    // nothing already sent is kept or moved.
    std::deque<std::string> out;
    std::shared_ptr<SSL> ssl;  // over TLS: the session, handshake included
    size_t sent = 0;           // of out.front()
    size_t pending = 0;        // bytes of out not yet sent
    Clock::time_point lastProgress = Clock::now();
    Clock::time_point sendAfter = Clock::now();
    Clock::time_point requestStarted = Clock::now();  // first byte of the head in `in`
};

namespace {
// Work for one client in one turn of the loop, so that no client, however
// much it asks, keeps the others (or a new one) waiting.
constexpr int kAnswersPerTurn = 8;
constexpr size_t kSendPerTurn = 256 * 1024;
}  // namespace

void StandInServer::AcceptClients(std::map<int, Client>& clients,
                                  std::chrono::steady_clock::time_point& backoffUntil) {
    for (int i = 0; i < 16; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            Client c;
            if (tls_) {
                // A handshake is small flights back and forth: no Nagle wait.
                const int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                c.ssl = std::shared_ptr<SSL>(SSL_new(tls_.get()), SSL_free);
                SSL_set_fd(c.ssl.get(), fd);
                SSL_set_accept_state(c.ssl.get());
            }
            clients[fd] = std::move(c);
            continue;
        }
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors: the pending connection stays queued; try
            // again a little later instead of spinning on it.
            backoffUntil = Clock::now() + std::chrono::milliseconds(100);
        }
        return;
    }
}

bool StandInServer::MayAnswer(const Client& c) const {
    // A client waits while it, or all clients together, have too much
    // queued; one with nothing queued always gets its next answer.
    return c.pending < kMaxPendingOut &&
           (c.pending == 0 || pendingTotal_ < limits_.maxPendingTotal);
}

void StandInServer::AnswerRequests(Client& c) {
    // Heads are taken by offset and cut off once: pipelined requests never
    // move the rest of the buffer for each one.
    const auto now = Clock::now();
    size_t start = 0, end = std::string::npos;
    for (int n = 0; n < kAnswersPerTurn && MayAnswer(c) &&
                    (end = c.in.find("\r\n\r\n", start)) != std::string::npos;
         ++n) {
        const std::string head = c.in.substr(start, end - start);
        // A POST's body follows its head; until it is all here, wait.
        const long long bodyLength = BodyLength(head);
        if (bodyLength < 0) {
            c.in.clear();
            c.out.push_back(
                "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            c.pending += c.out.back().size();
            pendingTotal_ += c.out.back().size();
            c.backlog = false;
            return;
        }
        if (c.in.size() < end + 4 + static_cast<size_t>(bodyLength)) break;
        const std::string requestBody = c.in.substr(end + 4, static_cast<size_t>(bodyLength));
        std::string answer =
            limits_.failRate > 0 && RequestTargetOf(head).starts_with("/search") &&
                    std::uniform_real_distribution<double>(0, 1)(failures_) < limits_.failRate
                ? std::string("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n")
                : Answer(head, requestBody);
        pendingTotal_ += answer.size();
        c.pending += answer.size();
        c.out.push_back(std::move(answer));
        ++answered_;
        start = end + 4 + static_cast<size_t>(bodyLength);
        c.requestStarted = now;
        c.sendAfter = now + std::chrono::milliseconds(limits_.latencyMs);
    }
    c.in.erase(0, start);
    // Waiting on a POST's body is no backlog: more must be read.
    const size_t headEnd = c.in.find("\r\n\r\n");
    c.backlog =
        headEnd != std::string::npos &&
        c.in.size() >=
            headEnd + 4 + static_cast<size_t>(std::max(0LL, BodyLength(c.in.substr(0, headEnd))));
}

namespace {
// One TLS read or write's outcome in the plain calls' terms: bytes, 0 for a
// close or failure, -1 (EAGAIN) for nothing to do now.
ssize_t TlsOutcome(SSL* ssl, int rc) {
    if (rc > 0) return rc;
    const int e = SSL_get_error(ssl, rc);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
        errno = EAGAIN;
        return -1;
    }
    return 0;
}
}  // namespace

bool StandInServer::EnableTls(const std::string& certFile, const std::string& keyFile,
                              std::string* why) {
    std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!ctx || SSL_CTX_use_certificate_chain_file(ctx.get(), certFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx.get()) != 1) {
        const unsigned long e = ERR_get_error();
        *why = e ? ERR_reason_error_string(e) : "cannot set up TLS";
        return false;
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    // A client's next connection resumes with a ticket (TLS 1.3), as
    // Vexorin's fetches of one run do; one ticket a connection is enough.
    SSL_CTX_set_num_tickets(ctx.get(), 1);
    SSL_CTX_set_mode(ctx.get(),
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    tls_ = std::move(ctx);
    return true;
}

bool StandInServer::ReadRequests(int fd, Client& c) {
    char buf[8192];
    // Over TLS a record (up to 16 KB) is read from the socket whole: what
    // OpenSSL holds of it is read now, since no poll will say it is there.
    do {
        const ssize_t n = c.ssl ? TlsOutcome(c.ssl.get(), SSL_read(c.ssl.get(), buf, sizeof buf))
                                : ::recv(fd, buf, sizeof buf, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
        if (n < 0) return true;
        const auto now = Clock::now();
        if (c.in.empty()) c.requestStarted = now;
        c.in.append(buf, static_cast<size_t>(n));
        c.lastProgress = now;
        AnswerRequests(c);
        if (c.in.size() > kMaxRequest) return false;
    } while (c.ssl && SSL_pending(c.ssl.get()) > 0);
    return true;
}

bool StandInServer::WriteAnswers(int fd, Client& c) {
    for (size_t turn = 0; !c.out.empty() && turn < kSendPerTurn;) {
        const std::string& front = c.out.front();
        const char* at = front.data() + c.sent;
        const size_t left = front.size() - c.sent;
        const ssize_t w =
            c.ssl ? TlsOutcome(c.ssl.get(), SSL_write(c.ssl.get(), at, static_cast<int>(left)))
                  : ::send(fd, at, left, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (w <= 0) return false;
        const auto bytes = static_cast<size_t>(w);
        turn += bytes;
        c.sent += bytes;
        c.pending -= bytes;
        pendingTotal_ -= bytes;
        c.lastProgress = Clock::now();
        if (c.sent == front.size()) {
            c.out.pop_front();
            c.sent = 0;
        }
    }
    return true;
}

void StandInServer::Run(const std::atomic<bool>& stop) {
    std::map<int, Client> clients;
    Clock::time_point backoffUntil{};
    while (!stop) {
        const auto now = Clock::now();
        std::vector<pollfd> fds;
        fds.push_back({listenFd_, static_cast<short>(now >= backoffUntil ? POLLIN : 0), 0});
        int waitMs = 100;
        for (auto& [fd, c] : clients) {
            short events = 0;
            // Requests already here are answered first; only then is more read.
            if (c.backlog) {
                if (MayAnswer(c)) waitMs = 0;
            } else if (MayAnswer(c)) {
                events |= POLLIN;
            }
            if (c.pending > 0) {
                if (now >= c.sendAfter) {
                    events |= POLLOUT;
                } else {
                    const auto ms =
                        std::chrono::duration_cast<std::chrono::milliseconds>(c.sendAfter - now)
                            .count();
                    waitMs = std::min<int>(waitMs, static_cast<int>(ms) + 1);
                }
            }
            fds.push_back({fd, events, 0});
        }
        if (::poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) AcceptClients(clients, backoffUntil);
        for (size_t i = 1; i < fds.size(); ++i) {
            const int fd = fds[i].fd;
            Client& c = clients[fd];
            bool keep = true;
            if (c.backlog) {
                if (MayAnswer(c)) AnswerRequests(c);
            } else if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                keep = ReadRequests(fd, c);
            }
            if (keep && (fds[i].revents & POLLOUT)) keep = WriteAnswers(fd, c);
            // Idle keep-alive connections, and clients that stopped reading
            // their answers, are closed, as real servers do.
            const auto after = Clock::now();
            if (after - c.lastProgress > kIdleLimit) keep = false;
            // A head that trickles in byte by byte still has its deadline.
            if (!c.in.empty() && !c.backlog && after - c.requestStarted > limits_.headerTimeout)
                keep = false;
            if (!keep) {
                pendingTotal_ -= c.pending;
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (auto& [fd, c] : clients) ::close(fd);
    pendingTotal_ = 0;
}

}  // namespace vx::services
