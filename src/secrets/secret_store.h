// Secrets (API keys, OAuth client secrets, refresh tokens, the shared
// history's password) by name: from the environment (VEXORIN_SECRET_<NAME>),
// else the desktop keyring through the Secret Service. Never from or into
// the settings store. A keyring entry carries the server it was kept for,
// so that it can be given to that server only.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace vx {

// "serpapi_key" -> "VEXORIN_SECRET_SERPAPI_KEY".
std::string SecretVariable(const std::string& name);

// Takes every VEXORIN_SECRET_*, PGPASSWORD and VEXORIN_HISTORY_URL (a URL
// may hold a password) out of the environment into the process's own
// keeping, so that no program it starts (the chart program, a browser
// opened for a link) inherits them; LookupSecret and KeptVariable still
// find them. Called first thing in main, before any thread.
void KeepSecretsFromChildren();
// A variable of the environment, or one taken out of it; nothing when unset.
std::optional<std::string> KeptVariable(const std::string& name);
// Kept as if the environment held it, out of every child's (an option
// such as --history-db).
void KeepVariable(const std::string& name, const std::string& value);

// What asking for a secret found. Locked, refused and unreachable are told
// apart from absent: each asks something else of the user.
struct KeptSecret {
    enum class State { Found, Absent, Locked, Refused, NoKeyring };
    State state = State::Absent;
    std::string value;
    // The server the keyring entry was kept for ("serpapi.com",
    // "ana@db.example:5432/team"); empty for one from the environment or kept
    // before entries named theirs.
    std::string server;
    bool fromEnvironment = false;
    std::string why;  // the keyring's own words, when it failed

    bool Found() const { return state == State::Found; }
};

KeptSecret FindSecret(const std::string& name);
// Why the secret could not be had, as one clause for a message: "the
// keyring is locked (...)"; empty when it was found or is simply absent.
std::string KeyringTrouble(const std::string& name, const KeptSecret& secret);

// FindSecret's value, or nothing.
std::optional<std::string> LookupSecret(const std::string& name);

// Keeps the secret in the keyring for the server named (an empty value
// removes it); false with *error set when the keyring cannot be reached.
bool StoreSecret(const std::string& name, const std::string& value, const std::string& server,
                 std::string* error);

// Each secret asked of the keyring once, for the life of a run or a dialog:
// some keyrings prompt on every look-up.
class SecretCache {
  public:
    const KeptSecret& Find(const std::string& name);
    // After the user kept or removed it.
    void Forget(const std::string& name) { found_.erase(name); }

  private:
    std::map<std::string, KeptSecret> found_;
};

}  // namespace vx
