// The stand-in services in the shapes of real ones, from the same demo
// data as the classic pages: SearXNG's autocompleter and JSON search,
// SerpApi's search JSON, Google's Custom Search JSON, and the Google Ads
// token endpoint and keyword ideas with their paging. Each serves what its
// real service serves today (tests/sources/fixtures/ holds the shapes
// with where they were checked): ten results a SerpApi request whatever
// num says, Custom Search's 100-result limit, SearXNG without counts,
// Google Ads' served versions and its error bodies.
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

// How the stand-in SearXNG is set up: real instances differ.
struct SearxngSetup {
    bool counts = false;       // sends number_of_results (SearXNG dropped it in 2026)
    bool jsonOff = false;      // JSON output not in its formats: 403
    bool enginesDown = false;  // every engine fails: no results, unresponsive_engines
};
void SetSearxngSetup(const SearxngSetup& setup);

// The fields of a query or a form body ("a=1&b=x%20y"), values decoded.
std::map<std::string, std::string> QueryFields(const std::string& text);

// The status ("200 OK") and JSON body for a request to one of these
// services; false when the path is none of theirs.
bool JsonAnswerFor(const JsonRequest& request, std::string* status, std::string* body);

}  // namespace vx::services
