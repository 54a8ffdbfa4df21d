// One HTTP/1.1 GET exchange over a new connection, and FetchPage, the
// system's only way to the network.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/tcp_connection.h"

namespace vx {

struct UrlParts {
    std::string protocol, host, port, path, document, fragment;
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

class HttpClient {
  public:
    explicit HttpClient(const NetLimits& limits = NetLimits{}) : limits_(limits) {}

    // Appends the response body to sink; raises NetError on failure after
    // appending whatever body bytes were read.
    void Get(const std::string& url, std::string& sink);

    // Opens the connection; Connect unless a harness supplies its own.
    std::function<void(TcpConnection&)> connector;

    ProtocolVersion protocolVersion = pv1_1;
    std::string statusLine;
    int32_t statusCode = 0;
    bool responseIs10 = false;
    HeaderList headers;
    std::string location, connectionValue, transferEncoding;
    int32_t contentLength = 0;

    static constexpr const char* kAccept = "text/html, */*";
    static constexpr const char* kUserAgent = "Mozilla/3.0 (compatible; Indy Library)";

  private:
    void ReadBody(std::string& sink);

    NetLimits limits_;
    TcpConnection connection_;
};

// The limits every fetch uses: NetLimits' defaults, or the times given in
// VEXORIN_NET_CONNECT_MS, VEXORIN_NET_SILENCE_MS and VEXORIN_NET_FETCH_MS
// (read once; for trying the program against slow or hostile servers).
const NetLimits& DefaultNetLimits();

// The body bytes that arrived, whatever happened; never raises.
std::string FetchPage(const std::string& url);
std::string FetchPage(const std::string& url, const NetLimits& limits);

}  // namespace vx
