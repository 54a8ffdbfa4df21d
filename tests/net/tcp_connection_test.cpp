#include "net/tcp_connection.h"

#include <gtest/gtest.h>

#include <set>

#include <thread>

#include "loopback/script_server.h"

namespace vx {
namespace {

using testing::ScriptServer;
using testing::Step;

struct Connected {
    explicit Connected(ScriptServer& s) {
        NetLimits l;
        l.silenceTimeoutMs = 2000;
        c.SetLimits(l);
        c.host = "127.0.0.1";
        c.port = s.port();
        c.Connect();
    }
    TcpConnection c;
};

TEST(TcpConnection, LineRule) {
    ScriptServer s({Step::Bytes("crlf\r\nlf\ncrcr\r\r\n\r\nlast\n")}, false);
    Connected k(s);
    EXPECT_EQ(k.c.ReadLine(), "crlf");
    EXPECT_EQ(k.c.ReadLine(), "lf");
    EXPECT_EQ(k.c.ReadLine(), "crcr\r");
    EXPECT_EQ(k.c.ReadLine(), "");
    EXPECT_EQ(k.c.ReadLine(), "last");
    try {
        k.c.ReadLine();
        FAIL() << "read after close";
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind, NetErrorKind::Closed);
    }
}

// A line cut short by the close is no line, but its bytes stay readable.
TEST(TcpConnection, PartialLineStaysBufferedForReadUntilClose) {
    ScriptServer s({Step::Bytes("partial")}, false);
    Connected k(s);
    try {
        k.c.ReadLine();
        ADD_FAILURE() << "an unfinished line was returned";
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind, NetErrorKind::Closed);
    }
    EXPECT_EQ(k.c.Buffered(), 7u);
    std::string sink;
    k.c.ReadUntilClose(sink);
    EXPECT_EQ(sink, "partial");
}

TEST(TcpConnection, ReadBytesLeavesTheRestBuffered) {
    ScriptServer s({Step::Bytes("head\n" + std::string(150, 'x')), Step::StallForever()}, false);
    Connected k(s);
    EXPECT_EQ(k.c.ReadLine(), "head");
    while (k.c.Buffered() < 150) {
        k.c.CheckForClose(50);
    }
    std::string sink;
    k.c.ReadBytes(sink, 100);
    EXPECT_EQ(sink.size(), 100u);
    EXPECT_EQ(k.c.Buffered(), 50u);
}

TEST(TcpConnection, ReadBytesShortByCloseFailsKeepingBytes) {
    ScriptServer s({Step::Bytes("abc")}, false);
    Connected k(s);
    std::string sink;
    EXPECT_THROW(k.c.ReadBytes(sink, 10), NetError);
    EXPECT_EQ(sink, "abc");
}

TEST(TcpConnection, NoReadPastTheDeadlineEvenWithBytesWaiting) {
    ScriptServer s({Step::Bytes("abc"), Step::StallForever()}, false);
    Connected k(s);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the bytes are waiting
    k.c.SetDeadline(std::chrono::steady_clock::now());
    std::string sink;
    try {
        k.c.ReadBytes(sink, 10);
        FAIL() << "read past the deadline";
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind, NetErrorKind::TimedOut);
    }
    EXPECT_EQ(sink, "");
}

TEST(TcpConnection, ConnectRules) {
    ScriptServer s({Step::StallForever()}, false);
    Connected k(s);
    try {
        k.c.Connect();
        FAIL();
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind, NetErrorKind::Usage);
    }
    EXPECT_TRUE(k.c.IsOpen());
    k.c.Close();
    EXPECT_FALSE(k.c.IsOpen());
    EXPECT_THROW(k.c.WriteLine("x"), NetError);
}

TEST(TcpConnection, ResolveRules) {
    EXPECT_EQ(TcpConnection::ResolveHost("LOCALHOST"), "127.0.0.1");
    EXPECT_EQ(TcpConnection::ResolveHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(TcpConnection::ResolveHost("10.0.255.1"), "10.0.255.1");
    EXPECT_EQ(TcpConnection::ResolveHost("0.0.0.0"), "0.0.0.0");
    // Decimal parts only, leading zeros allowed: never the resolver's octal.
    EXPECT_EQ(TcpConnection::ResolveHost("0127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(TcpConnection::ResolveHost("127.0.0.0010"), "127.0.0.10");
    for (const char* bad : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "0127.1", "0x7f.0.0.010",
                            "0x7f000001", "a.0X7F", "1.2.3.4.", "2130706433"}) {
        try {
            TcpConnection::ResolveHost(bad);
            ADD_FAILURE() << bad;
        } catch (const NetError& e) {
            EXPECT_EQ(e.kind, NetErrorKind::Resolve) << bad;
        }
    }
}

TEST(TcpConnection, RefusedConnectRaisesSocketError) {
    const int port = testing::UnusedLoopbackPort();
    TcpConnection c;
    c.host = "localhost";
    c.port = port;
    try {
        c.Connect();
        FAIL();
    } catch (const NetError& e) {
        EXPECT_EQ(e.kind, NetErrorKind::Refused);
        EXPECT_EQ(std::string(e.what()).rfind("Socket Error # 111\r\n", 0), 0u) << e.what();
    }
    EXPECT_FALSE(c.IsOpen());
}

TEST(SocketLayer, CountsLiveConnectionObjects) {
    const int before = SocketLayer::LiveObjects();
    {
        TcpConnection a, b;
        EXPECT_EQ(SocketLayer::LiveObjects(), before + 2);
    }
    EXPECT_EQ(SocketLayer::LiveObjects(), before);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// Failures print by name, so a test that fails says which kind it saw.
TEST(NetErrorKind, PrintsByName) {
    std::set<std::string> names;
    for (int k = 0; k <= static_cast<int>(NetErrorKind::Usage); ++k)
        names.insert(::testing::PrintToString(static_cast<NetErrorKind>(k)));
    EXPECT_EQ(names.size(), static_cast<size_t>(NetErrorKind::Usage) + 1);
    EXPECT_EQ(::testing::PrintToString(NetErrorKind::TimedOut), "TimedOut");
    EXPECT_EQ(std::string(ToString(NetErrorKind::Cancelled)), "Cancelled");
}

}  // namespace
}  // namespace vx
