// Keyword ideas with real monthly searches from the Google Ads API: an
// access token from the OAuth token endpoint (with the refresh token, the
// client id and secret), kept until it expires and renewed once on a 401;
// then generateKeywordIdeas, its pages followed up to the terms wanted.
// The API version is the profile's: Google serves each for about a year.
#pragma once

#include <chrono>
#include <map>
#include <memory>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

class GoogleAdsSuggestions : public SuggestionSource {
  public:
    GoogleAdsSuggestions(const ServiceProfile& profile, std::map<std::string, std::string> secrets);
    void Begin(const std::string& seed, int wanted) override;
    std::optional<ServiceRequest> Next() override;
    std::string Read(const SourceAnswer& answer) override;
    std::vector<ImportedTerm> Terms() const override { return terms_; }

  private:
    std::string Secret(const char* name) const;
    std::string ReadToken(const SourceAnswer& answer);
    std::string Masked(std::string text) const;

    std::string base_, version_, tokenUrl_, language_;
    std::vector<std::string> geoTargets_;
    std::map<std::string, std::string> secrets_;
    std::string seed_, pageToken_;
    int wanted_ = 0;
    bool done_ = false, askedToken_ = false, renewed_ = false, usedToken_ = false;
    std::string token_;
    std::chrono::steady_clock::time_point tokenUntil_;
    std::vector<ImportedTerm> terms_;
};

// The kind's table entries (service_kinds.h).
std::string CheckGoogleAdsProfile(ServiceProfile& profile);
std::vector<std::string> GoogleAdsOptionalSecrets();
std::shared_ptr<SuggestionSource> MakeGoogleAdsSuggestions(
    const ServiceProfile& profile, std::map<std::string, std::string> secrets);

// What Google's error body says ("The developer token is not approved.
// (authorizationError: DEVELOPER_TOKEN_NOT_APPROVED)"); empty when the body
// is not in Google's shape.
std::string GoogleErrorWords(std::string_view body);

}  // namespace vx
