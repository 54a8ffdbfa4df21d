// The stand-in services in the shapes of real ones, from the same demo
// data as the classic pages: SearXNG's autocompleter and JSON search,
// SerpApi's search JSON, Google's Custom Search JSON, and the Google Ads
// token endpoint and keyword ideas with their paging.
#pragma once

#include <map>
#include <string>

namespace vx::services {

struct JsonRequest {
    std::string method, path;
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers;  // names lowered
    std::string body;
};

// The fields of a query or a form body ("a=1&b=x%20y"), values decoded.
std::map<std::string, std::string> QueryFields(const std::string& text);

// The status ("200 OK") and JSON body for a request to one of these
// services; false when the path is none of theirs.
bool JsonAnswerFor(const JsonRequest& request, std::string* status, std::string* body);

}  // namespace vx::services
