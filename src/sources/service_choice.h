// Which service a research asks for suggestions and which for searches:
// "NAME" or "NAME@BASE-URL" (a profile, its base URL replaced), or
// "classic", today's pages. The adapters are made here, with their secrets.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

struct ServiceChoice {
    std::string name;
    std::string base;  // empty: the profile's own
};

// Nothing when text names no profile ("", "@http://x", a base that is no http(s) URL).
std::optional<ServiceChoice> ParseServiceChoice(std::string_view text);

using SecretLookup = std::function<std::optional<std::string>(const std::string& name)>;

struct ChosenSources {
    // Empty: the classic service of that role.
    std::shared_ptr<SuggestionSource> suggest;
    std::shared_ptr<SearchSource> search;
    // How messages name them ("host:port"); for the classic pages the
    // address chosen ("classic@URL"), empty for the default one.
    std::string suggestHost, searchHost;
    std::string error;  // why the choice cannot be used
};

ChosenSources ChooseSources(const std::optional<ServiceChoice>& suggest,
                            const std::optional<ServiceChoice>& search,
                            const std::map<std::string, ServiceProfile>& profiles,
                            const SecretLookup& secret);

}  // namespace vx
