// The user's preferences for reaching the services, kept in the settings
// store beside the Investigate dialog's entries: the two services' addresses,
// the network bounds in seconds, and how rows are looked up.
#pragma once

#include <string>
#include <string_view>

namespace vx {

class SettingsStore;

// Rows looked up at once, and further tries of a fetch that failed
// transiently.
constexpr int kMinParallel = 1, kMaxParallel = 8, kDefaultParallel = 4;
constexpr int kMinRetries = 0, kMaxRetries = 5, kDefaultRetries = 2;
// Bounds of a fetch in whole seconds.
constexpr int kMinBoundSeconds = 1, kMaxBoundSeconds = 600;
// Places a tracked term must move by for a check to tell (besides entering
// or leaving the top 10).
constexpr int kMinMovePlaces = 1, kMaxMovePlaces = 100, kDefaultMovePlaces = 3;

struct Preferences {
    // "host" or "host:port"; empty: the bundled stand-in services.
    std::string suggestHost;
    std::string searchHost;
    // The service profiles asked, "NAME" or "NAME@BASE-URL" (vexorin-research
    // --suggest-service takes the same); empty: the classic services above.
    std::string suggestService;
    std::string searchService;
    // A PEM file of certificates trusted for HTTPS besides the system's
    // (VEXORIN_CA_FILE wins); empty: none.
    std::string caFile;
    int connectSeconds = 5;   // look-up and connect
    int silenceSeconds = 10;  // longest wait for the next bytes
    int fetchSeconds = 30;    // one whole fetch
    int parallel = kDefaultParallel;
    int retries = kDefaultRetries;
    bool keepHistory = true;  // every run recorded in the research history
    // A team's shared history, "postgresql://user@host/db"; empty: this
    // computer's. Its password is never kept here (libpq's places or the
    // keyring), and a URL that holds one is not kept.
    std::string historyUrl;
    int movePlaces = kDefaultMovePlaces;
};

// What is wrong with an address typed as "host[:port]", in words; empty when
// nothing is (an empty text is fine: it means the bundled services).
std::string HostPortProblem(std::string_view text);

// Loads over the defaults; a value missing, of another type or out of its
// range keeps its default.
Preferences LoadPreferences(SettingsStore& store);
// False when the store could not be written.
bool SavePreferences(SettingsStore& store, const Preferences& preferences);

}  // namespace vx
