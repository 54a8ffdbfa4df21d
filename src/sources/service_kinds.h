// The kinds of service a profile can name, in one table: what each gives,
// how its profile is checked and how its adapters are made. A new kind is
// its adapter's file pair and one line of the table.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

using SecretValues = std::map<std::string, std::string>;

struct ServiceKind {
    const char* name;  // as profiles write it: "searxng"
    // The kind's own fields of a profile, beyond "base": the first that is
    // missing or wrong, and what the profile needs (secrets, roles).
    std::string (*check)(ServiceProfile& profile);
    // Secrets sent when they are there, needed by none.
    std::vector<std::string> optionalSecrets;
    std::shared_ptr<SuggestionSource> (*suggestions)(const ServiceProfile&, SecretValues);
    std::shared_ptr<SearchSource> (*search)(const ServiceProfile&, SecretValues);
};

const std::vector<ServiceKind>& ServiceKinds();
// Nothing for a name no kind has.
const ServiceKind* FindServiceKind(std::string_view name);
// "searxng, google-ads, serp-json": for a message naming what there is.
std::string ServiceKindNames();

}  // namespace vx
