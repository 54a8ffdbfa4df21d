// What the research asks a service, whatever its kind: suggestions with
// demand for a seed; the count of pages holding a phrase; result URLs in
// order. An adapter builds the requests and reads the answers; fetching,
// retries and giving up stay with the research.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/service_request.h"
#include "core/url.h"
#include "results/keyword_import.h"

namespace vx {

// An answer as the research fetched it.
struct SourceAnswer {
    int status = 0;  // 0: none came
    bool complete = false;
    std::string body;
    bool oversized = false;  // larger than a JSON answer may be, and not kept
};

// Suggestions for one seed, in as many requests as the service needs (a
// token first, pages after). Used by one thread.
class SuggestionSource {
  public:
    virtual ~SuggestionSource() = default;
    virtual void Begin(const std::string& seed, int wanted) = 0;
    // The next request; nothing once the suggestions are all in.
    virtual std::optional<ServiceRequest> Next() = 0;
    // Reads the answer to the last request: empty, or what is wrong with it
    // ("refused the credentials (401 Unauthorized)").
    virtual std::string Read(const SourceAnswer& answer) = 0;
    // The suggestions, demand as the service gives it (empty: none).
    virtual std::vector<ImportedTerm> Terms() const = 0;
};

// What one search answer held.
struct SearchRead {
    std::string error;               // the answer does not read as this kind's
    std::optional<long long> count;  // the total, where the service gives one
    std::vector<std::string> urls;   // the results in order
    // Something the user should know once a run, though the answer read:
    // "gives no page counts: ...". The research tells each text once.
    std::string notice;
};

// Searches; used from several lookup threads at once, so it keeps no state
// between calls.
class SearchSource {
  public:
    virtual ~SearchSource() = default;
    // The search giving the count of pages that hold the exact phrase.
    virtual ServiceRequest CountRequest(const std::string& term) const = 0;
    // Request number index (from 0) of the term's result list, after the
    // seen results the earlier ones really held: a service serves fewer
    // than it is asked for, so where the next request starts is never
    // reckoned from what was asked.
    virtual ServiceRequest ResultsRequest(const std::string& term, int index,
                                          long long seen) const = 0;
    // The deepest place the service lists at all (0: no such limit); a rank
    // search cannot see past it.
    virtual long long Reach() const { return 0; }
    // How a refusal of every request reads ("refused the credentials (401
    // Unauthorized)"), from the status line's words.
    virtual std::string Refusal(int status, const std::string& statusWords) const;
    virtual SearchRead Read(const SourceAnswer& answer) const = 0;
};

// "https://user@Host:8080/path" -> "host:8080": how messages name a service.
std::string HostOfUrl(std::string_view url);

}  // namespace vx
