// A self-hosted SearXNG instance: suggestions from its autocompleter (no
// demand), result URLs from its JSON search (JSON output must be turned on
// in the instance's settings; it answers 403 otherwise). SearXNG dropped
// number_of_results from its JSON in 2026, and its engines rarely gave one
// before, so competition is a count only where an instance still sends one.
#pragma once

#include <map>
#include <memory>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

class SearxngSuggestions : public SuggestionSource {
  public:
    explicit SearxngSuggestions(std::string base) : base_(std::move(base)) {}
    void Begin(const std::string& seed, int wanted) override;
    std::optional<ServiceRequest> Next() override;
    std::string Read(const SourceAnswer& answer) override;
    std::vector<ImportedTerm> Terms() const override { return terms_; }

  private:
    std::string base_, seed_;
    int wanted_ = 0;
    bool asked_ = false;
    std::vector<ImportedTerm> terms_;
};

class SearxngSearch : public SearchSource {
  public:
    explicit SearxngSearch(std::string base) : base_(std::move(base)) {}
    ServiceRequest CountRequest(const std::string& term) const override;
    // Pages by number (its pages hold what its engines gave, often about 10).
    ServiceRequest ResultsRequest(const std::string& term, int index,
                                  long long seen) const override;
    std::string Refusal(int status, const std::string& statusWords) const override;
    SearchRead Read(const SourceAnswer& answer) const override;

  private:
    std::string base_;
};

// The kind's table entries (service_kinds.h).
std::string CheckSearxngProfile(ServiceProfile& profile);
std::shared_ptr<SuggestionSource> MakeSearxngSuggestions(const ServiceProfile& profile,
                                                         std::map<std::string, std::string>);
std::shared_ptr<SearchSource> MakeSearxngSearch(const ServiceProfile& profile,
                                                std::map<std::string, std::string>);

// What is wrong with an answer that is not a whole success: "refused the
// credentials (401)", "answered 404"; empty for a whole 2xx answer.
std::string AnswerFault(const SourceAnswer& answer);

}  // namespace vx
