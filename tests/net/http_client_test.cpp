#include "net/http_client.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "loopback/loopback.h"
#include "loopback/script_server.h"
#include "net/connection_pool.h"

namespace vx {
namespace {

using testing::ScriptServer;
using testing::Step;
using Clock = std::chrono::steady_clock;

NetLimits Quick() {
    NetLimits l;
    l.connectTimeoutMs = 2000;
    l.silenceTimeoutMs = 400;
    l.fetchTimeoutMs = 3000;
    return l;
}

std::string Fetch(ScriptServer& s, const std::string& path = "/") {
    return FetchPage(s.Url(path), Quick());
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

TEST(SplitUrl, Pieces) {
    struct Case {
        const char *url, *protocol, *host, *port, *path, *document, *fragment;
    } cases[] = {
        {"http://h/search?p=%22a+b%22&b=21", "http", "h", "", "/", "search?p=%22a+b%22&b=21", ""},
        {"http://h/d/searchinventory/suggestion/?term=red%20shoes&mkt=us&lang=en_US", "http", "h",
         "", "/d/searchinventory/suggestion/", "?term=red%20shoes&mkt=us&lang=en_US", ""},
        {"http://h:8080/a/b.html#frag", "http", "h", "8080", "/a/", "b.html", "frag"},
        {"http:\\\\h\\x\\y", "http", "h", "", "/x/", "y", ""},
        {"http://h", "http", "h", "", "/", "", ""},
        {"no-scheme/path/doc", "", "", "", "/no-scheme/path/", "doc", ""},
        {"http://h/?term=a#b&mkt=us", "http", "h", "", "/", "?term=a", "b&mkt=us"},
        {"http://h/a#b/c", "http", "h", "", "/", "a", "b/c"},
        {"http://h#x/y", "http", "h", "", "/", "", "x/y"},
    };
    for (const auto& c : cases) {
        const UrlParts u = SplitUrl(c.url);
        EXPECT_EQ(u.protocol, c.protocol) << c.url;
        EXPECT_EQ(u.host, c.host) << c.url;
        EXPECT_EQ(u.port, c.port) << c.url;
        EXPECT_EQ(u.path, c.path) << c.url;
        EXPECT_EQ(u.document, c.document) << c.url;
        EXPECT_EQ(u.fragment, c.fragment) << c.url;
    }
}

TEST(HeaderList, LookupRules) {
    HeaderList h;
    for (const char* line : {"Content-Length: 10", "content-length: 20", "Location : nowhere",
                             "Transfer-Encoding: gzip", " chunked", "X-Tabbed:\tv \t", "\tmore",
                             "X-Space: a ", "  b", "NoColonLine", "Empty:"})
        h.Add(line);
    EXPECT_EQ(h.Value("CONTENT-LENGTH"), "10");  // first match wins
    EXPECT_EQ(h.Value("Location"), "");          // a blank before ":" is part of the name
    EXPECT_EQ(h.Value("Transfer-Encoding"), "gzip chunked");
    EXPECT_EQ(h.Value("X-Tabbed"), "v \tmore");  // joined directly after a blank
    EXPECT_EQ(h.Value("X-Space"), "a b");
    EXPECT_EQ(h.Value("Empty"), "");
    EXPECT_EQ(h.Value("Missing"), "");
}

TEST(HttpExchange, RequestBytesAreExact) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    const std::string url = "http://127.0.0.1:" + std::to_string(s.port()) +
                            "/search?p=%22red+shoes%22&ei=UTF-8&n=20&fl=0&b=21";
    EXPECT_EQ(FetchPage(url, Quick()), "ok");
    ASSERT_EQ(s.Requests().size(), 1u);
    EXPECT_EQ(s.Requests()[0],
              "GET /search?p=%22red+shoes%22&ei=UTF-8&n=20&fl=0&b=21 HTTP/1.1\r\n"
              "Host: 127.0.0.1\r\n"
              "Accept: text/html, */*\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n");
}

// A service's request: its method, headers, JSON accepted, and the body
// framed by its length; a header that could end its line is never sent.
TEST(HttpExchange, AServiceRequestIsSentAsDescribed) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}")});
    ServiceRequest r;
    r.method = "POST";
    r.url =
        "http://127.0.0.1:" + std::to_string(s.port()) + "/v17/customers/1:generateKeywordIdeas";
    r.headers = {{"developer-token", "made-up"}};
    r.contentType = "application/json";
    r.body = R"({"a":1})";
    r.json = true;
    EXPECT_EQ(FetchAnswer(r, Quick()).body, "{}");
    ASSERT_EQ(s.Requests().size(), 1u);
    EXPECT_EQ(s.Requests()[0].substr(0, s.Requests()[0].find("\r\n\r\n") + 4),
              "POST /v17/customers/1:generateKeywordIdeas HTTP/1.1\r\n"
              "Host: 127.0.0.1\r\n"
              "Accept: application/json\r\n"
              "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n"
              "developer-token: made-up\r\n"
              "Content-Type: application/json\r\n"
              "Content-Length: 7\r\n\r\n");
    for (auto header : {std::pair<std::string, std::string>{"X", "a\r\nInjected: yes"},
                        {"X\nY", "b"},
                        {"X:Y", "c"},
                        {"", "d"}}) {
        ServiceRequest bad = r;
        bad.headers = {header};
        const PageAnswer answer = FetchAnswer(bad, Quick());
        EXPECT_FALSE(answer.complete);
        EXPECT_EQ(answer.error, "A request header cannot be sent as given.");
    }
    EXPECT_EQ(s.Connections(), 1);  // refused before connecting
}

// A JSON answer is bounded as it arrives: one announced at 63 MiB is given
// up on past 8 MiB, and says so, while the server still has most to send
// (it stalls after 9 MiB: reading on would wait for ever). A page may be larger.
TEST(HttpExchange, AJsonAnswerIsBoundedAsItArrives) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 66060288\r\n\r\n"),
                    Step::Bytes(std::string(9u << 20, ' ')), Step::StallForever()});
    ServiceRequest r;
    r.url = s.Url("/search");
    r.json = true;
    NetLimits limits = Quick();
    limits.silenceTimeoutMs = 2000;
    const PageAnswer answer = FetchAnswer(r, limits);
    EXPECT_TRUE(answer.oversized);
    EXPECT_TRUE(answer.complete);
    EXPECT_EQ(answer.body.capacity(), std::string().capacity());
    r.json = false;
    const PageAnswer page = FetchAnswer(r, limits);
    EXPECT_FALSE(page.oversized);
    EXPECT_FALSE(page.complete);  // waited for the rest, then timed out
}

// A profile service's requests share kept-alive connections: the next
// request to the host goes on the same one; one the server closed meanwhile
// is replaced, the request sent once more; one idle past the limit is not used.
TEST(HttpExchange, KeptAliveConnectionsAreReusedOrReplaced) {
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    struct Case {
        const char* name;
        std::vector<Step> script;
        int pauseMs;
        std::chrono::milliseconds idleLimit;
        int connections;
    } cases[] = {
        {"reused",
         {Step::Bytes(ok), Step::Pause(300), Step::Bytes(ok)},
         0,
         std::chrono::seconds(30),
         1},
        {"closed by the server",
         {Step::Bytes(ok), Step::Pause(20), Step::HalfClose()},
         80,
         std::chrono::seconds(30),
         2},
        // Its close comes after the request went: no byte of an answer.
        {"closed as the request came",
         {Step::Bytes(ok), Step::Pause(150)},
         60,
         std::chrono::seconds(30),
         2},
        {"idle too long",
         {Step::Bytes(ok), Step::Pause(300), Step::Bytes(ok)},
         60,
         std::chrono::milliseconds(20),
         2},
    };
    for (const Case& c : cases) {
        ScriptServer s(c.script);
        const auto pool = std::make_shared<ConnectionPool>(4, c.idleLimit);
        ServiceRequest r;
        r.url = s.Url("/search?q=a");
        r.json = true;
        EXPECT_EQ(FetchAnswer(r, Quick(), nullptr, nullptr, nullptr, pool).body, "ok") << c.name;
        EXPECT_EQ(pool->Idle(), 1) << c.name;
        std::this_thread::sleep_for(std::chrono::milliseconds(c.pauseMs));
        const PageAnswer second = FetchAnswer(r, Quick(), nullptr, nullptr, nullptr, pool);
        EXPECT_TRUE(second.complete) << c.name << ": " << second.error;
        EXPECT_EQ(second.body, "ok") << c.name;
        EXPECT_EQ(s.Connections(), c.connections) << c.name;
    }
}

TEST(HttpExchange, RequestTargets) {
    struct Case {
        const char *path, *target;
    } cases[] = {
        {"/d/searchinventory/suggestion/?term=red%20shoes&mkt=us&lang=en_US",
         "/d/searchinventory/suggestion/?term=red%20shoes&mkt=us&lang=en_US"},
        {"\\a\\b?x=1", "/a/b?x=1"},
        {"/?term=a#b&mkt=us", "/?term=a"},
        {"", "/"},
        {"/x\r\nInjected: yes\r\n", "/x%0D%0AInjected: yes%0D%0A"},
        {"/\x01\x7f\xe4", "/%01%7F\xe4"},
    };
    for (const auto& c : cases) {
        ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")});
        FetchPage("http://127.0.0.1:" + std::to_string(s.port()) + c.path, Quick());
        ASSERT_EQ(s.Requests().size(), 1u) << c.path;
        const std::string req = s.Requests()[0];
        EXPECT_EQ(req.substr(0, req.find("\r\n")), std::string("GET ") + c.target + " HTTP/1.1");
        EXPECT_EQ(req.find("Injected"), req.find("Injected: yes%0D%0A"));
    }
}

TEST(HttpExchange, HostWithControlBytesFailsBeforeConnecting) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx")});
    const std::string port = std::to_string(s.port());
    for (std::string host : {"127.0.0.1\r\nX: y", "bad host", "h\x01", ""}) {
        EXPECT_EQ(FetchPage("http://" + host + ":" + port + "/", Quick()), "");
    }
    EXPECT_EQ(s.Connections(), 0);
}

TEST(HttpExchange, BodyFramings) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        std::string want;
        // Whole only with a 2xx status and every byte its framing promised.
        bool whole = true;
    } cases[] = {
        {"length",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA")},
         "hello"},
        {"length split",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Le"), Step::Pause(30),
          Step::Bytes("ngth: 6\r\n\r\nab"), Step::Pause(30), Step::Bytes("cdef")},
         "abcdef"},
        {"chunked",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n"
                      "abcdefghijklmnopqrstuvwxyz\r\n3 ext\r\n123\r\n0\r\n\r\n")},
         "abcdefghijklmnopqrstuvwxyz123"},
        {"an unreadable chunk size is no end",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n")},
         "",
         false},
        {"chunk size ends at its extension",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=val\r\n"
                      "hello\r\n0\r\n\r\n")},
         "hello"},
        {"capital Chunked is read until close",
         {Step::Bytes(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n")},
         "3\r\nabc\r\n0\r\n\r\n"},
        {"continuation makes chunked",
         {Step::Bytes(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n chunked\r\n\r\n2\r\nhi\r\n0\r\n\r\n")},
         "hi"},
        {"until close",
         {Step::Bytes("HTTP/1.1 200 OK\r\n\r\nall of "), Step::Pause(30), Step::Bytes("it")},
         "all of it"},
        {"length 0 has no body",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nrest")},
         ""},
        {"length with blanks around",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2 \r\n\r\nabcd")},
         "ab"},
        {"negative length is malformed",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabcd")},
         "",
         false},
        {"hex length is malformed",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 0x5\r\n\r\nabcdef")},
         "",
         false},
        {"first Content-Length counts",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 4\r\n\r\nabcd")},
         "ab"},
        {"partial length body",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly")},
         "only",
         false},
        {"partial chunk",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\na\r\nabc")},
         "abc",
         false},
        {"404 page",
         {Step::Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")},
         "not found",
         false},
        {"301 body",
         {Step::Bytes("HTTP/1.1 301 Moved\r\nLocation: /x\r\nContent-Length: 5\r\n\r\nmoved")},
         "moved",
         false},
        {"200 with Location",
         {Step::Bytes("HTTP/1.1 200 OK\r\nLocation: /x\r\n\r\nbody")},
         "body",
         false},
        {"interim answers are skipped",
         {Step::Bytes("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n"
                      "\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")},
         "ok"},
        {"valid Content-Range",
         {Step::Bytes(
             "HTTP/1.1 200 OK\r\nContent-Range: bytes 0-3/10\r\nContent-Length: 4\r\n\r\nabcd")},
         "abcd"},
        {"malformed Content-Range",
         {Step::Bytes(
             "HTTP/1.1 200 OK\r\nContent-Range: bytes x-3/10\r\nContent-Length: 4\r\n\r\nabcd")},
         "",
         false},
        {"Content-Range without space",
         {Step::Bytes("HTTP/1.1 206 OK\r\nContent-Range: 0-3\r\nContent-Length: 4\r\n\r\nabcd")},
         "",
         false},
        {"malformed status", {Step::Bytes("HTTP/1.1 OK fine\r\n\r\nbody")}, "", false},
        {"status line only", {Step::Bytes("HTTP/1.1\r\n\r\nbody")}, "", false},
        {"close before status", {Step::Bytes("HTTP/1.1 20")}, "", false},
        {"close between headers", {Step::Bytes("HTTP/1.1 200 OK\r\nA: b\r\n")}, "", false},
        {"close inside a header", {Step::Bytes("HTTP/1.1 200 OK\r\nA: partial")}, "", false},
        {"chunk size beyond 64 bits",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n"
                      "10000000000000000\r\nabc\r\n0\r\n\r\n")},
         "ok",
         false},
        {"HTTP/2 frames fail at once",
         {Step::Bytes(std::string("\0\0\x12\x04\0\0\0\0\0", 9)), Step::StallForever()},
         "",
         false},
        {"another protocol fails at once",
         {Step::Bytes("SSH-2.0-OpenSSH_9.2\r\n"), Step::StallForever()},
         "",
         false},
        {"reset mid body",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\nabc"), Step::Pause(50),
          Step::Abort()},
         "abc",
         false},
    };
    for (auto& c : cases) {
        ScriptServer s(c.script);
        const auto t0 = Clock::now();
        // A silence bound far above the answer's time, with room for a
        // loaded machine.
        NetLimits l = Quick();
        l.silenceTimeoutMs = 3000;
        l.fetchTimeoutMs = 6000;
        const PageAnswer a = FetchAnswer(s.Url(), l);
        EXPECT_EQ(a.body, c.want) << c.name;
        EXPECT_EQ(a.complete, c.whole) << c.name;
        EXPECT_LT(Seconds(t0), 1.5) << c.name << " waited for the silence bound";
    }
}

// A server that keeps the connection alive and then closes it: the client
// notices the close, so the same client can fetch again.
TEST(HttpExchange, AClientSeesAKeptAliveConnectionClose) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    HttpClient client(Quick());
    for (int i = 0; i < 2; ++i) {
        const HttpResponse r = client.Get(s.Url());
        EXPECT_FALSE(r.error.has_value()) << i << ": " << (r.error ? r.error->what() : "");
        EXPECT_EQ(r.body, "ok") << i;
    }
}

TEST(HttpExchange, ExchangeEndsWithoutWaitingForKeepAliveServers) {
    const char* responses[] = {
        "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.1 200 OK\r\nConnection:  Close \r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.1 204 No Content\r\n\r\n",
        "HTTP/1.1 304 Not Modified\r\nContent-Length: 50\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
    };
    NetLimits l = Quick();
    l.silenceTimeoutMs = 3000;
    l.fetchTimeoutMs = 6000;
    for (const char* r : responses) {
        ScriptServer s({Step::Bytes(r), Step::StallForever()});
        const auto t0 = Clock::now();
        EXPECT_EQ(FetchPage(s.Url(), l),
                  std::string_view(r).find(" 200 ") != std::string_view::npos &&
                          std::string_view(r).find("Length: 2") != std::string_view::npos
                      ? "ok"
                      : "");
        EXPECT_LT(Seconds(t0), 1.5) << r;  // well inside the 3 s silence bound
    }
}

TEST(HttpExchange, FailuresBeforeAnyBodyGiveEmptyText) {
    EXPECT_EQ(FetchPage("https://127.0.0.1/", Quick()), "");
    EXPECT_EQ(FetchPage("HTTPS://127.0.0.1/", Quick()), "");
    const int port = testing::UnusedLoopbackPort();
    EXPECT_EQ(FetchPage("http://127.0.0.1:" + std::to_string(port) + "/", Quick()), "");
    EXPECT_EQ(SocketLayer::LiveObjects(), 0);
}

TEST(HttpSafety, EveryWaitIsBounded) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        std::string want;
    } cases[] = {
        {"never answers", {Step::StallForever()}, ""},
        {"headers then stall",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"), Step::StallForever()},
         "part"},
        {"close-delimited body stalls",
         {Step::Bytes("HTTP/1.1 200 OK\r\n\r\nsome"), Step::StallForever()},
         "some"},
    };
    for (auto& c : cases) {
        ScriptServer s(c.script);
        const auto t0 = Clock::now();
        EXPECT_EQ(Fetch(s), c.want) << c.name;
        EXPECT_LT(Seconds(t0), 2.0) << c.name;
    }
}

TEST(HttpSafety, TrickleIsCutByTheWholeFetchBound) {
    std::vector<Step> script{Step::Bytes("HTTP/1.1 200 OK\r\n\r\n")};
    for (int i = 0; i < 100; ++i)
        script.push_back(Step::Bytes("x")), script.push_back(Step::Pause(50));
    ScriptServer s(script);
    NetLimits l = Quick();
    l.fetchTimeoutMs = 600;
    const auto t0 = Clock::now();
    const std::string body = FetchPage(s.Url(), l);
    EXPECT_LT(Seconds(t0), 1.5);
    EXPECT_GT(body.size(), 3u);
    EXPECT_LT(body.size(), 30u);
}

// Retry-After as RFC 9110 has it: decimal digits, or an HTTP-date in any of
// its three forms; anything else is no value.
TEST(HttpExchange, RetryAfterReadsSecondsOrADate) {
    const std::time_t now = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
    struct Case {
        const char* value;
        std::optional<int> want;
    } cases[] = {
        {"0", 0},
        {" 120 ", 120},
        {"99999999999999999999", 1 << 30},
        {"Sun, 06 Nov 1994 08:50:07 GMT", 30},
        {"Sunday, 06-Nov-94 08:49:47 GMT", 10},
        {"Sun Nov  6 08:49:42 1994", 5},
        {"Sun, 06 Nov 1994 08:00:00 GMT", 0},
        {"+5", std::nullopt},
        {"-1", std::nullopt},
        {"1.5", std::nullopt},
        {"5 s", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
        {"Sun, 06 Nov 1994 08:50:07 CET", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadRetryAfter(c.value, now), c.want) << c.value;
}

TEST(HttpSafety, CapsKeepWhatArrivedUpToTheCap) {
    NetLimits l = Quick();
    l.maxBodyBytes = 256 * 1024;
    l.fetchTimeoutMs = 10000;
    struct Case {
        const char* name;
        std::vector<Step> script;
        size_t want;
    } cases[] = {
        {"endless body",
         {Step::Bytes("HTTP/1.1 200 OK\r\n\r\n"), Step::Flood(std::string(8192, 'b'))},
         l.maxBodyBytes},
        {"2 GB Content-Length",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\n"),
          Step::Flood(std::string(8192, 'b'))},
         l.maxBodyBytes},
        {"chunk 7fffffff",
         {Step::Bytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffff\r\n"),
          Step::Flood(std::string(8192, 'b'))},
         l.maxBodyBytes},
        {"chunk ffffffff is no end: read to the cap",
         {Step::Bytes(
              "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\nffffffff\r\n"),
          Step::Flood(std::string(8192, 'b'))},
         l.maxBodyBytes},
    };
    for (auto& c : cases) {
        ScriptServer s(c.script);
        const auto t0 = Clock::now();
        const PageAnswer a = FetchAnswer(s.Url(), l);
        EXPECT_EQ(a.body.size(), c.want) << c.name;
        EXPECT_FALSE(a.complete) << c.name;
        EXPECT_LT(Seconds(t0), 5.0) << c.name;
    }
}

TEST(HttpSafety, EndlessHeaderLinesFail) {
    NetLimits l = Quick();
    l.fetchTimeoutMs = 10000;
    std::string many = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 100000; ++i) many += "X-H: v\r\n";
    many += "\r\nbody";
    struct Case {
        const char* name;
        std::vector<Step> script;
    } cases[] = {
        {"endless header line",
         {Step::Bytes("HTTP/1.1 200 OK\r\nX: "), Step::Flood(std::string(8192, 'h'))}},
        {"endless status line", {Step::Flood(std::string(8192, 'H'))}},
        {"100000 header lines", {Step::Bytes(many)}},
    };
    for (auto& c : cases) {
        ScriptServer s(c.script);
        const auto t0 = Clock::now();
        EXPECT_EQ(FetchPage(s.Url(), l), "") << c.name;
        EXPECT_LT(Seconds(t0), 5.0) << c.name;
    }
}

HttpResponse Get(const std::string& url, const NetLimits& limits,
                 std::shared_ptr<const CancelSignal> cancel = nullptr) {
    HttpClient client(limits);
    client.cancel = std::move(cancel);
    return client.Get(url);
}

// URLs that cannot mean what they say fail without connecting.
TEST(HttpExchange, UrlsThatCannotBeFetchedFailWithoutConnecting) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    const std::string port = std::to_string(s.port());
    for (const std::string& url :
         {std::string("http://127.0.0.1:4294967376/"), std::string("http://127.0.0.1:80abc/"),
          std::string("http://127.0.0.1:0/"), std::string("http://127.0.0.1:65536/"),
          "http://user:pw@127.0.0.1:" + port + "/", std::string("http://0x7f.0.0.1/"),
          std::string("http://0x7f000001/")}) {
        const HttpResponse r = Get(url, Quick());
        ASSERT_TRUE(r.error.has_value()) << url;
        EXPECT_TRUE(r.error->kind == NetErrorKind::Unsupported ||
                    r.error->kind == NetErrorKind::Resolve)
            << url << ": " << r.error->what();
    }
    EXPECT_NE(std::string(Get("http://a:b@h/", Quick()).error->what()).find("not supported"),
              std::string::npos);
    EXPECT_EQ(s.Connections(), 0);
    // The fragment is never sent.
    EXPECT_EQ(Get("http://127.0.0.1:" + port + "/x#frag", Quick()).body, "ok");
    EXPECT_EQ(s.Requests().at(0).substr(0, 16), "GET /x HTTP/1.1\r");
}

// A connect that finds no local port free is this computer's shortage,
// told apart from a service that does not answer, and worth asking again.
TEST(HttpErrors, NoLocalPortIsToldAsSuch) {
    HttpClient client(Quick());
    client.connector = [](TcpConnection&) { throw SocketError(EADDRNOTAVAIL); };
    const HttpResponse r = client.Get("http://127.0.0.1:9/");
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->kind, NetErrorKind::NoLocalPort);
    EXPECT_TRUE(IsTransient(r));
}

TEST(HttpErrors, EachFailureHasItsKindAndKeepsWhatArrived) {
    NetLimits l = Quick();
    l.maxBodyBytes = 64 * 1024;
    l.maxLineBytes = 100;
    l.maxHeaderBytes = 1000;
    l.maxHeaderLines = 30;
    l.fetchTimeoutMs = 600;
    const std::string ok = "Content-Length: 2\r\n\r\nok";
    std::vector<Step> dripped{Step::Bytes("HTTP/1.1 200 OK\r\nX: ")};
    for (int i = 0; i < 98; ++i) dripped.push_back(Step::Bytes("h"));
    dripped.push_back(Step::Bytes("\r\n" + ok));
    std::string lines29 = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 29; ++i) lines29 += "A: 1\r\n";
    std::string block = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < 20; ++i) block += "X-Filler: " + std::string(50, 'f') + "\r\n";
    struct Case {
        const char* name;
        std::vector<Step> script;
        std::optional<NetErrorKind> kind;
        std::string body;
    } cases[] = {
        {"never answers", {Step::StallForever()}, NetErrorKind::TimedOut, ""},
        {"body past the cap",
         {Step::Bytes("HTTP/1.1 200 OK\r\n\r\n"), Step::Flood(std::string(8192, 'b'))},
         NetErrorKind::TooLarge,
         std::string(64 * 1024, 'b')},
        {"closed early",
         {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc")},
         NetErrorKind::Closed,
         "abc"},
        {"bad status line", {Step::Bytes("garbage\r\n\r\n")}, NetErrorKind::Malformed, ""},
        {"not found",
         {Step::Bytes("HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nno")},
         NetErrorKind::HttpStatus,
         "no"},
        {"line of exactly the cap",
         {Step::Bytes("HTTP/1.1 200 OK\r\nX: " + std::string(97, 'h') + "\r\n" + ok)},
         std::nullopt,
         "ok"},
        {"line one past the cap",
         {Step::Bytes("HTTP/1.1 200 OK\r\nX: " + std::string(98, 'h') + "\r\n" + ok)},
         NetErrorKind::TooLarge,
         ""},
        {"line one past the cap, byte by byte", dripped, NetErrorKind::TooLarge, ""},
        {"line one past the cap, ended by LF alone",
         {Step::Bytes("HTTP/1.1 200 OK\nX: " + std::string(98, 'h') + "\n" + ok)},
         NetErrorKind::TooLarge,
         ""},
        {"header block past its cap", {Step::Bytes(block + ok)}, NetErrorKind::TooLarge, ""},
        {"header lines at their cap", {Step::Bytes(lines29 + ok)}, std::nullopt, "ok"},
        {"one header line past the cap",
         {Step::Bytes(lines29 + "A: 1\r\n" + ok)},
         NetErrorKind::TooLarge,
         ""},
        // Refused as soon as the cap is passed, not after waiting for an LF.
        {"unfinished line past the cap",
         {Step::Bytes("HTTP/1.1 200 OK\r\nX: " + std::string(200, 'h')), Step::StallForever()},
         NetErrorKind::TooLarge,
         ""},
    };
    for (auto& c : cases) {
        ScriptServer s(c.script);
        const auto t0 = Clock::now();
        const HttpResponse r = Get(s.Url(), l);
        EXPECT_LT(Seconds(t0), 1.0) << c.name;
        if (c.kind) {
            ASSERT_TRUE(r.error.has_value()) << c.name;
            EXPECT_EQ(r.error->kind, *c.kind) << c.name << ": " << r.error->what();
        } else {
            EXPECT_FALSE(r.error.has_value()) << c.name << ": " << r.error->what();
        }
        EXPECT_EQ(r.body, c.body) << c.name;
    }
    // Bytes that never stop coming do not stretch the whole-fetch bound.
    NetLimits roomy = l;
    roomy.maxBodyBytes = 1u << 30;
    ScriptServer endless({Step::Bytes("HTTP/1.1 200 OK\r\n\r\n"), Step::Flood("x")});
    const auto t0 = Clock::now();
    EXPECT_EQ(Get(endless.Url(), roomy).error->kind, NetErrorKind::TimedOut);
    EXPECT_LT(Seconds(t0), 0.8);
    EXPECT_EQ(Get("ftp://127.0.0.1/", l).error->kind, NetErrorKind::Unsupported);
    const int port = testing::UnusedLoopbackPort();
    EXPECT_EQ(Get("http://127.0.0.1:" + std::to_string(port) + "/", l).error->kind,
              NetErrorKind::Refused);
}

// A listener whose accept queue is full and never served: a connect to it
// waits for ever.
struct FullBacklog {
    FullBacklog() {
        listenFd = ListenOnLoopback(0, 0, &port);
        for (int& fd : fillers) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(static_cast<uint16_t>(port));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~FullBacklog() {
        for (int fd : fillers) ::close(fd);
        ::close(listenFd);
    }
    int listenFd = -1, port = 0;
    int fillers[3] = {-1, -1, -1};
};

TEST(HttpCancel, EveryWaitEndsPromptlyWithWhatArrived) {
    NetLimits l;
    l.connectTimeoutMs = l.silenceTimeoutMs = 10000;
    l.fetchTimeoutMs = 20000;
    ResolverOverride slowResolver([](const std::string&, std::string* address) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        *address = "127.0.0.1";
        return 0;
    });
    ScriptServer headers({Step::Bytes("HTTP/1.1 200 OK\r\n"), Step::StallForever()});
    ScriptServer body(
        {Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart"), Step::StallForever()});
    FullBacklog backlog;
    struct Case {
        const char* stage;
        std::string url;
        std::string want;
    } cases[] = {
        {"resolving", "http://never-answers.test/", ""},
        {"connecting", "http://127.0.0.1:" + std::to_string(backlog.port) + "/", ""},
        {"reading headers", headers.Url(), ""},
        {"reading the body", body.Url(), "part"},
    };
    for (auto& c : cases) {
        auto cancel = std::make_shared<CancelSignal>();
        Clock::time_point cancelledAt;
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancelledAt = Clock::now();
            cancel->Cancel();
        });
        const HttpResponse r = Get(c.url, l, cancel);
        const auto ended = Clock::now();
        canceller.join();
        ASSERT_TRUE(r.error.has_value()) << c.stage;
        EXPECT_EQ(r.error->kind, NetErrorKind::Cancelled) << c.stage << ": " << r.error->what();
        EXPECT_EQ(r.body, c.want) << c.stage;
        EXPECT_LT(std::chrono::duration<double>(ended - cancelledAt).count(), 0.1) << c.stage;
    }
}

TEST(HttpCancel, AFetchStartedAfterTheCancelNeverConnects) {
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    auto cancel = std::make_shared<CancelSignal>();
    cancel->Cancel();
    const auto t0 = Clock::now();
    EXPECT_EQ(FetchPage(s.Url(), Quick(), cancel), "");
    EXPECT_LT(Seconds(t0), 0.5);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(s.Connections(), 0);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// One connect limit covers the name lookup and the connect together; a
// run's host cache looks each name up once; lookups left running by time-
// outs are capped.
TEST(HttpBounds, LookupAndConnectShareOneLimitAndLookupsAreBounded) {
    std::mutex m;
    std::condition_variable released;
    bool release = false;
    std::atomic<int> calls{0}, running{0}, mostRunning{0};
    int slowMs = 300;
    ResolverOverride resolver([&](const std::string& name, std::string* address) {
        ++calls;
        const int now = ++running;
        for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {
        }
        std::unique_lock<std::mutex> lock(m);
        if (name == "stuck.test")
            released.wait(lock, [&] { return release; });
        else
            released.wait_for(lock, std::chrono::milliseconds(slowMs), [&] { return release; });
        --running;
        *address = "127.0.0.1";
        return 0;
    });
    NetLimits l = Quick();
    l.connectTimeoutMs = 500;
    {
        FullBacklog backlog;
        const auto t0 = Clock::now();
        const HttpResponse r = Get("http://slow.test:" + std::to_string(backlog.port) + "/", l);
        ASSERT_TRUE(r.error.has_value());
        EXPECT_LT(Seconds(t0), 0.7);  // 0.3 s lookup + at most 0.2 s connect, not 0.3 + 0.5
    }
    slowMs = 0;
    ScriptServer s({Step::Bytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")});
    auto hosts = std::make_shared<HostCache>();
    calls = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(
            FetchAnswer("http://svc.test:" + std::to_string(s.port()) + "/", l, nullptr, hosts)
                .body,
            "ok");
    EXPECT_EQ(calls.load(), 1);

    l.connectTimeoutMs = 30;
    for (int i = 0; i < 12; ++i) Get("http://stuck.test/", l);
    EXPECT_LE(mostRunning.load(), TcpConnection::kMaxLookupsRunning + 1);
    EXPECT_LE(running.load(), TcpConnection::kMaxLookupsRunning);
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    released.notify_all();
    for (int i = 0; i < 100 && running.load() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace
}  // namespace vx
