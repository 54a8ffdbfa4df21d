// Any search API that answers JSON, wholly described by its profile: a URL
// template ({base}, {q}, {start}, {num}, {page}, {secret:NAME}), headers,
// results per request, and JSON Pointers to the total count and to the
// organic results' URLs; optionally the deepest place it lists
// ("deepest_result": Custom Search refuses start + num past 100) and the
// error text meaning a search found nothing ("no_results_error": SerpApi
// says so in an error field of a 200 answer).
#pragma once

#include <map>
#include <memory>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

class SerpJsonSearch : public SearchSource {
  public:
    // The profile must read (profile.error empty); secrets holds a value for
    // each of profile.secrets.
    SerpJsonSearch(const ServiceProfile& profile, std::map<std::string, std::string> secrets);
    ServiceRequest CountRequest(const std::string& term) const override;
    ServiceRequest ResultsRequest(const std::string& term, int index,
                                  long long seen) const override;
    long long Reach() const override { return reach_; }
    SearchRead Read(const SourceAnswer& answer) const override;

  private:
    ServiceRequest Request(const std::string& query, int index, long long seen) const;
    std::string Fill(std::string text, const std::string& query, int index, long long seen,
                     bool url) const;

    std::string base_, url_, countPointer_, urlsPointer_;
    std::vector<std::pair<std::string, std::string>> headers_;
    int perRequest_ = 10;
    std::string noResults_;
    int firstStart_ = 0;
    long long reach_ = 0;
    std::map<std::string, std::string> secrets_;
};

// The kind's table entries (service_kinds.h).
std::string CheckSerpJsonProfile(ServiceProfile& profile);
std::shared_ptr<SearchSource> MakeSerpJsonSearch(const ServiceProfile& profile,
                                                 std::map<std::string, std::string> secrets);

}  // namespace vx
