// Which service a research asks for suggestions and which for searches:
// "NAME" or "NAME@BASE-URL" (a profile, its base URL replaced), or
// "classic", today's pages. The adapters are made here, with their secrets.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "secrets/secret_store.h"
#include "sources/service_profile.h"
#include "sources/service_source.h"

namespace vx {

struct ServiceChoice {
    std::string name;
    std::string base;  // empty: the profile's own
};

// Nothing when text names no profile ("", "@http://x", a base that is no http(s) URL).
std::optional<ServiceChoice> ParseServiceChoice(std::string_view text);

using SecretLookup = std::function<KeptSecret(const std::string& name)>;

struct ChosenSources {
    // Empty: the classic service of that role.
    std::shared_ptr<SuggestionSource> suggest;
    std::shared_ptr<SearchSource> search;
    // How messages name them ("host:port"); for the classic pages the
    // address chosen ("classic@URL"), empty for the default one.
    std::string suggestHost, searchHost;
    std::string error;  // why the choice cannot be used
};

// A secret goes only to a server it belongs to: one its shipped profiles
// name (homes), the one it was kept in the keyring for, or, for a secret no
// shipped profile uses, the profile's own when the environment gives it;
// a server on this computer may have any. Never over plain HTTP to another
// computer. A choice that would send one elsewhere is refused here, before
// any connection, naming the secret and the server.
ChosenSources ChooseSources(const std::optional<ServiceChoice>& suggest,
                            const std::optional<ServiceChoice>& search,
                            const std::map<std::string, ServiceProfile>& profiles,
                            const SecretLookup& secret, const SecretHomes& homes);

// The servers (Url::Endpoint, blank-separated) the profile sends its
// secrets to: what a secret kept for it in the keyring is bound to.
std::string SecretServers(const ServiceProfile& profile);

}  // namespace vx
