#include "sources/service_kinds.h"

#include "sources/google_ads_suggestions.h"
#include "sources/searxng_source.h"
#include "sources/serp_json_search.h"

namespace vx {

const std::vector<ServiceKind>& ServiceKinds() {
    static const std::vector<ServiceKind> kinds = {
        {"searxng", CheckSearxngProfile, {}, MakeSearxngSuggestions, MakeSearxngSearch},
        {"google-ads", CheckGoogleAdsProfile, GoogleAdsOptionalSecrets(), MakeGoogleAdsSuggestions,
         nullptr},
        {"serp-json", CheckSerpJsonProfile, {}, nullptr, MakeSerpJsonSearch},
    };
    return kinds;
}

const ServiceKind* FindServiceKind(std::string_view name) {
    for (const ServiceKind& kind : ServiceKinds())
        if (name == kind.name) return &kind;
    return nullptr;
}

std::string ServiceKindNames() {
    std::string names;
    for (const ServiceKind& kind : ServiceKinds())
        names += (names.empty() ? "" : ", ") + std::string(kind.name);
    return names;
}

}  // namespace vx
