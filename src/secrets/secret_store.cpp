#include "secrets/secret_store.h"

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

std::optional<std::string> LookupSecret(const std::string& name) {
    if (const char* value = std::getenv(SecretVariable(name).c_str()); value && *value)
        return std::string(value);
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
