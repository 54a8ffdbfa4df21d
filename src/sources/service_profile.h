// Service profiles: JSON files naming a kind of service, its base URL and
// the kind's fields. Shipped ones live in share/vexorin/services/, the
// user's in $XDG_CONFIG_HOME/vexorin/services/; a user's profile of the same
// name wins.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

namespace vx {

struct ServiceProfile {
    std::string name;  // the file's name without ".json"
    std::string file;
    std::string kind;  // "searxng", "google-ads", "serp-json"
    std::string base;
    std::string description;
    nlohmann::json fields;
    // Why the profile cannot be used as written ("line 3, column 9: ..."); empty when it can.
    std::string error;
    // The secrets it needs, by name.
    std::vector<std::string> secrets;
    // Whether it asks for suggestions or for searches.
    bool suggests = false, searches = false;
};

// A profile from its text; error set when it does not read or misses a field.
ServiceProfile ReadServiceProfile(const std::string& name, const std::string& file,
                                  const std::string& text);

// The folders profiles are read from, shipped ones first: $VEXORIN_DATA_DIR
// (else the share folder beside the program), then the user's.
std::vector<std::string> ProfileFolders();

// Every profile of the folders, by name; a later folder's wins.
std::map<std::string, ServiceProfile> LoadServiceProfiles(const std::vector<std::string>& folders);

// What is wrong with a text field a kind needs: "\"url\" is missing",
// "\"url\" must be a text"; empty when it is there.
std::string NeedProfileText(const ServiceProfile& profile, const char* key);
// A text field, or "" when it is missing or no text.
std::string ProfileText(const ServiceProfile& profile, const char* key);

// The URLs a profile sends its secrets to: its base and every "url" or
// "..._url" field, {base} filled in.
std::vector<std::string> SecretDestinations(const ServiceProfile& profile);

// For each secret a shipped profile uses, the servers (Url::Endpoint) its
// shipped profiles send it to: where it may go whatever a user's profile
// or a "NAME@URL" choice says.
using SecretHomes = std::map<std::string, std::set<std::string>>;
SecretHomes ShippedSecretHomes(const std::vector<std::string>& folders);

// The secret names written into text as "{secret:NAME}".
std::vector<std::string> SecretNamesIn(const std::string& text);

}  // namespace vx
