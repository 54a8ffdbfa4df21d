// Any search API that answers JSON, wholly described by its profile: a URL
// template ({base}, {q}, {start}, {num}, {page}, {secret:NAME}), headers,
// results per request, and JSON Pointers to the total count and to the
// organic results' URLs.
#pragma once

#include <map>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

class SerpJsonSearch : public SearchSource {
  public:
    // The profile must read (profile.error empty); secrets holds a value for
    // each of profile.secrets.
    SerpJsonSearch(const ServiceProfile& profile, std::map<std::string, std::string> secrets);
    ServiceRequest CountRequest(const std::string& term) const override;
    int RequestsFor(int depth) const override;
    ServiceRequest ResultsRequest(const std::string& term, int index) const override;
    SearchRead Read(const SourceAnswer& answer) const override;

  private:
    ServiceRequest Request(const std::string& query, int index) const;
    std::string Fill(std::string text, const std::string& query, int index, bool url) const;

    std::string base_, url_, countPointer_, urlsPointer_;
    std::vector<std::pair<std::string, std::string>> headers_;
    int perRequest_ = 10, firstStart_ = 0;
    std::map<std::string, std::string> secrets_;
};

}  // namespace vx
