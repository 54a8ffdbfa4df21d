#include "secrets/secret_store.h"
#include <unistd.h>
#include <map>
#include <mutex>
#include <vector>

#include <libsecret/secret.h>

#include <cstdlib>

namespace vx {

namespace {

const SecretSchema* Schema() {
    static const SecretSchema schema = {
        "org.vexorin.Secret",
        SECRET_SCHEMA_NONE,
        {{"name", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &schema;
}

// Without a session bus, libsecret would try to start one; a tool run from
// cron or over ssh has none, and no keyring either.
bool KeyringReachable() {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return bus && *bus;
}

}  // namespace

std::string SecretVariable(const std::string& name) {
    std::string variable = "VEXORIN_SECRET_";
    for (const char c : name)
        variable += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A')
                    : ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) ? c
                                                                         : '_';
    return variable;
}

namespace {
std::mutex gKeptMutex;
std::map<std::string, std::string> gKept;  // by variable
}  // namespace

void KeepSecretsFromChildren() {
    constexpr std::string_view kPrefix = "VEXORIN_SECRET_";
    std::vector<std::string> names;
    const std::lock_guard lock(gKeptMutex);
    for (char** e = environ; e && *e; ++e) {
        const std::string_view entry(*e);
        const size_t eq = entry.find('=');
        if (eq == std::string_view::npos || !entry.starts_with(kPrefix)) continue;
        gKept[std::string(entry.substr(0, eq))] = std::string(entry.substr(eq + 1));
        names.emplace_back(entry.substr(0, eq));
    }
    for (const std::string& name : names) ::unsetenv(name.c_str());
}

std::optional<std::string> LookupSecret(const std::string& name) {
    const std::string variable = SecretVariable(name);
    if (const char* value = std::getenv(variable.c_str()); value && *value)
        return std::string(value);
    {
        const std::lock_guard lock(gKeptMutex);
        if (const auto kept = gKept.find(variable); kept != gKept.end() && !kept->second.empty())
            return kept->second;
    }
    if (!KeyringReachable()) return std::nullopt;
    GError* error = nullptr;
    gchar* value =
        secret_password_lookup_sync(Schema(), nullptr, &error, "name", name.c_str(), nullptr);
    if (error) g_error_free(error);
    if (!value) return std::nullopt;
    std::string secret(value);
    secret_password_free(value);
    return secret;
}

bool StoreSecret(const std::string& name, const std::string& value, std::string* error) {
    if (!KeyringReachable()) {
        *error = "no desktop keyring is reachable (no session bus)";
        return false;
    }
    GError* e = nullptr;
    if (value.empty()) {
        secret_password_clear_sync(Schema(), nullptr, &e, "name", name.c_str(), nullptr);
    } else {
        const std::string label = "Vexorin: " + name;
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                   value.c_str(), nullptr, &e, "name", name.c_str(), nullptr);
    }
    if (e) {
        *error = e->message ? e->message : "the keyring refused";
        g_error_free(e);
        return false;
    }
    return true;
}

}  // namespace vx
