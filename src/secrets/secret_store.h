// Secrets (API keys, OAuth client secrets, refresh tokens) by name: from the
// environment (VEXORIN_SECRET_<NAME>), else the desktop keyring through the
// Secret Service. Never from or into the settings store.
#pragma once

#include <optional>
#include <string>

namespace vx {

// "serpapi_key" -> "VEXORIN_SECRET_SERPAPI_KEY".
std::string SecretVariable(const std::string& name);

// Takes every VEXORIN_SECRET_* out of the environment into the process's
// own keeping, so that no program it starts (the chart program, a browser
// opened for a link) inherits them; LookupSecret still finds them. Called
// first thing in main, before any thread.
void KeepSecretsFromChildren();

// The secret, or nothing when neither the environment nor the keyring
// holds it (or no keyring is reachable).
std::optional<std::string> LookupSecret(const std::string& name);

// Keeps the secret in the keyring (an empty value removes it); false with
// *error set when the keyring cannot be reached.
bool StoreSecret(const std::string& name, const std::string& value, std::string* error);

}  // namespace vx
