// The stand-in services' data: a few hundred keyword phrases with monthly
// demand, and deterministic page counts and result lists in which a few demo
// sites (example.com among them) stand at various ranks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::services {

struct Suggestion {
    std::string phrase;
    int demand;
};

const std::vector<Suggestion>& DemoPhrases();

// Suggestions for a seed: demo phrases sharing a word with it, by demand;
// a seed that matches nothing gets phrases built around itself.
std::vector<Suggestion> SuggestionsFor(const std::string& seed, size_t max = 40);

// Pages the search service reports for the exact phrase.
int64_t PageCount(const std::string& phrase);

// Result URL at 1-based rank, for ranks 1..1000.
std::string ResultUrl(const std::string& phrase, int rank);

// Where a demo site stands for a phrase (0 when not in the first 1000).
int DemoSiteRank(const std::string& site, const std::string& phrase);

uint64_t Hash(const std::string& text);

}  // namespace vx::services
