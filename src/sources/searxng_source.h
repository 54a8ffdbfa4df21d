// A self-hosted SearXNG instance: suggestions from its autocompleter (no
// demand), counts and result URLs from its JSON search (JSON output must be
// turned on in the instance's settings).
#pragma once

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
    int RequestsFor(int depth) const override { return depth; }
    ServiceRequest ResultsRequest(const std::string& term, int index) const override;
    SearchRead Read(const SourceAnswer& answer) const override;

  private:
    std::string base_;
};

// What is wrong with an answer that is not a whole success: "refused the
// credentials (401)", "answered 404"; empty for a whole 2xx answer.
std::string AnswerFault(const SourceAnswer& answer);

}  // namespace vx
