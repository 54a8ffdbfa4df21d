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
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
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
        int start = 1;
        try {
            if (!get("b").empty()) start = std::stoi(get("b"));
        } catch (...) {
        }
        *body = SearchPage(get("p"), start);
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

void StandInServer::Run(const std::atomic<bool>& stop) {
    struct Client {
        std::string in;
        std::chrono::steady_clock::time_point last;
    };
    std::map<int, Client> clients;
    constexpr size_t kMaxRequest = 64 * 1024;
    while (!stop) {
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
        for (auto& [fd, c] : clients) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 100) < 0) continue;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients[fd] = {{}, std::chrono::steady_clock::now()};
        }
        const auto now = std::chrono::steady_clock::now();
        for (size_t i = 1; i < fds.size(); ++i) {
            const int fd = fds[i].fd;
            Client& c = clients[fd];
            bool drop = false;
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buf[8192];
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    drop = true;
                else
                    c.in.append(buf, static_cast<size_t>(n)), c.last = now;
                size_t end;
                while (!drop && (end = c.in.find("\r\n\r\n")) != std::string::npos) {
                    const std::string head = c.in.substr(0, end);
                    c.in.erase(0, end + 4);
                    const size_t sp1 = head.find(' '), sp2 = head.find(' ', sp1 + 1);
                    std::string status = "200 OK", body;
                    if (sp1 == std::string::npos || head.compare(0, sp1, "GET") != 0) {
                        status = "405 Method Not Allowed";
                        body = "<html><body>Method not allowed</body></html>\n";
                    } else if (!PageFor(head.substr(sp1 + 1, sp2 - sp1 - 1), &body)) {
                        status = "404 Not Found";
                        body = "<html><body>Not found</body></html>\n";
                    }
                    if (latencyMs_ > 0)
                        std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs_));
                    const std::string resp =
                        "HTTP/1.1 " + status +
                        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body;
                    size_t sent = 0;
                    while (sent < resp.size()) {
                        const ssize_t w =
                            ::send(fd, resp.data() + sent, resp.size() - sent, MSG_NOSIGNAL);
                        if (w <= 0) {
                            drop = true;
                            break;
                        }
                        sent += static_cast<size_t>(w);
                    }
                }
                if (c.in.size() > kMaxRequest) drop = true;
            }
            // Idle keep-alive connections are closed by the server, as real ones do.
            if (now - c.last > std::chrono::seconds(30)) drop = true;
            if (drop) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (auto& [fd, c] : clients) ::close(fd);
}

}  // namespace vx::services
