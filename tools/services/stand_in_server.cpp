#include "stand_in_server.h"

#include "loopback/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>
#include <vector>

#include "demo_data.h"

namespace vx::services {

namespace {

std::string Decode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%' && i + 2 < s.size() &&
                   isxdigit(static_cast<unsigned char>(s[i + 1])) &&
                   isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));  // 2 hex digits
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::map<std::string, std::string> Query(const std::string& q) {
    std::map<std::string, std::string> out;
    size_t pos = 0;
    while (pos <= q.size()) {
        size_t amp = q.find('&', pos);
        if (amp == std::string::npos) amp = q.size();
        const std::string pair = q.substr(pos, amp - pos);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos) out[pair.substr(0, eq)] = Decode(pair.substr(eq + 1));
        pos = amp + 1;
    }
    return out;
}

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
    const auto query = Query(q == std::string::npos ? "" : target.substr(q + 1));
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

StandInServer::StandInServer(int port, int latencyMs) : latencyMs_(latencyMs) {
    listenFd_ = ListenOnLoopback(port, 64, &port_);
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

std::string Answer(const std::string& head) {
    const size_t sp1 = head.find(' ');
    std::string status = "200 OK", body;
    if (sp1 == std::string::npos || head.compare(0, sp1, "GET") != 0) {
        status = "405 Method Not Allowed";
        body = "<html><body>Method not allowed</body></html>\n";
    } else if (!PageFor(RequestTargetOf(head), &body)) {
        status = "404 Not Found";
        body = "<html><body>Not found</body></html>\n";
    }
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

// One client: bytes of its unfinished request, answers not yet sent, and
// when it last made progress (read from or written to).
struct StandInServer::Client {
    std::string in, out;
    size_t sent = 0;
    Clock::time_point lastProgress = Clock::now();
    Clock::time_point sendAfter = Clock::now();
};

void StandInServer::AcceptClients(std::map<int, Client>& clients,
                                  std::chrono::steady_clock::time_point& backoffUntil) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        clients[fd] = Client{};
    } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // Out of descriptors: the pending connection stays queued; try again
        // a little later instead of spinning on it.
        backoffUntil = Clock::now() + std::chrono::milliseconds(100);
    }
}

bool StandInServer::ReadRequests(int fd, Client& c) {
    char buf[8192];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (n < 0) return true;
    c.in.append(buf, static_cast<size_t>(n));
    c.lastProgress = Clock::now();
    size_t end;
    while (c.out.size() - c.sent < kMaxPendingOut &&
           (end = c.in.find("\r\n\r\n")) != std::string::npos) {
        c.out += Answer(c.in.substr(0, end));
        c.in.erase(0, end + 4);
        c.sendAfter = Clock::now() + std::chrono::milliseconds(latencyMs_);
    }
    return c.in.size() <= kMaxRequest;
}

bool StandInServer::WriteAnswers(int fd, Client& c) {
    while (c.sent < c.out.size()) {
        const ssize_t w = ::send(fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (w <= 0) return false;
        c.sent += static_cast<size_t>(w);
        c.lastProgress = Clock::now();
    }
    if (c.sent == c.out.size()) {
        c.out.clear();
        c.sent = 0;
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
            if (c.out.size() - c.sent < kMaxPendingOut) events |= POLLIN;
            if (c.sent < c.out.size()) {
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
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) keep = ReadRequests(fd, c);
            if (keep && (fds[i].revents & POLLOUT)) keep = WriteAnswers(fd, c);
            // Idle keep-alive connections, and clients that stopped reading
            // their answers, are closed, as real servers do.
            if (Clock::now() - c.lastProgress > kIdleLimit) keep = false;
            if (!keep) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (auto& [fd, c] : clients) ::close(fd);
}

}  // namespace vx::services
