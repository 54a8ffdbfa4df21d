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
    static const SecretSchema schema = {"org.vexorin.Secret",
                                        SECRET_SCHEMA_NONE,
                                        {{"name", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
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
        if (eq == std::string_view::npos) continue;
        const std::string_view name = entry.substr(0, eq);
        if (!name.starts_with(kPrefix) && name != "PGPASSWORD" && name != "VEXORIN_HISTORY_URL")
            continue;
        gKept[std::string(entry.substr(0, eq))] = std::string(entry.substr(eq + 1));
        names.emplace_back(entry.substr(0, eq));
    }
    for (const std::string& name : names) ::unsetenv(name.c_str());
}

namespace {

// A GError into the state it tells: the user refusing (a dismissed prompt,
// a denied call) or the keyring staying locked.
KeptSecret Failure(GError* error, KeptSecret::State otherwise) {
    KeptSecret out;
    out.state = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED)
                    ? KeptSecret::State::Refused
                    : otherwise;
    out.why = error->message ? error->message : "";
    g_error_free(error);
    return out;
}

KeptSecret FromKeyring(const std::string& name) {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) return Failure(error, KeptSecret::State::NoKeyring);
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("name"), const_cast<char*>(name.c_str()));
    // Found locked or not: a locked one is unlocked below, so that a refusal
    // is told from an absence.
    GList* items = secret_service_search_sync(service, Schema(), attributes, SECRET_SEARCH_NONE,
                                              nullptr, &error);
    g_hash_table_unref(attributes);
    KeptSecret out;
    if (error) {
        out = Failure(error, KeptSecret::State::NoKeyring);
    } else if (items) {
        auto* item = static_cast<SecretItem*>(items->data);
        if (secret_item_get_locked(item)) {
            GList* unlocked = nullptr;
            GList* one = g_list_append(nullptr, item);
            secret_service_unlock_sync(service, one, nullptr, &unlocked, &error);
            g_list_free(one);
            if (error) {
                out = Failure(error, KeptSecret::State::Locked);
            } else if (!unlocked) {
                out.state = KeptSecret::State::Refused;  // the prompt was dismissed
                out.why = "the unlock prompt was dismissed";
            }
            g_list_free_full(unlocked, g_object_unref);
        }
        if (out.state == KeptSecret::State::Absent &&
            secret_item_load_secret_sync(item, nullptr, &error)) {
            if (SecretValue* value = secret_item_get_secret(item)) {
                if (const gchar* text = secret_value_get_text(value)) {
                    out.state = KeptSecret::State::Found;
                    out.value = text;
                }
                secret_value_unref(value);
            }
            if (GHashTable* held = secret_item_get_attributes(item)) {
                if (const auto* server =
                        static_cast<const char*>(g_hash_table_lookup(held, "server")))
                    out.server = server;
                g_hash_table_unref(held);
            }
        } else if (error) {
            out = Failure(error, KeptSecret::State::Locked);
        }
    }
    g_list_free_full(items, g_object_unref);
    g_object_unref(service);
    return out;
}

}  // namespace

KeptSecret FindSecret(const std::string& name) {
    KeptSecret out;
    const std::string variable = SecretVariable(name);
    if (const char* value = std::getenv(variable.c_str()); value && *value) {
        out.value = value;
    } else {
        const std::lock_guard lock(gKeptMutex);
        if (const auto kept = gKept.find(variable); kept != gKept.end() && !kept->second.empty())
            out.value = kept->second;
    }
    if (!out.value.empty()) {
        out.state = KeptSecret::State::Found;
        out.fromEnvironment = true;
        return out;
    }
    if (!KeyringReachable()) return out;
    return FromKeyring(name);
}

std::string KeyringTrouble(const std::string& name, const KeptSecret& secret) {
    const std::string words = secret.why.empty() ? "" : " (" + secret.why + ")";
    switch (secret.state) {
        case KeptSecret::State::Locked:
            return "the keyring holding " + name + " is locked" + words +
                   ": unlock it (log in to the desktop) and try again";
        case KeptSecret::State::Refused:
            return "the keyring refused to give " + name + words;
        case KeptSecret::State::NoKeyring:
            return "the keyring could not be asked for " + name + words;
        default:
            return "";
    }
}

std::optional<std::string> KeptVariable(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) return std::string(value);
    const std::lock_guard lock(gKeptMutex);
    if (const auto kept = gKept.find(name); kept != gKept.end()) return kept->second;
    return std::nullopt;
}

void KeepVariable(const std::string& name, const std::string& value) {
    ::unsetenv(name.c_str());
    const std::lock_guard lock(gKeptMutex);
    gKept[name] = value;
}

std::optional<std::string> LookupSecret(const std::string& name) {
    KeptSecret secret = FindSecret(name);
    if (!secret.Found()) return std::nullopt;
    return std::move(secret.value);
}

const KeptSecret& SecretCache::Find(const std::string& name) {
    if (const auto it = found_.find(name); it != found_.end()) return it->second;
    return found_.emplace(name, FindSecret(name)).first->second;
}

bool StoreSecret(const std::string& name, const std::string& value, const std::string& server,
                 std::string* error) {
    if (!KeyringReachable()) {
        *error = "no desktop keyring is reachable (no session bus)";
        return false;
    }
    GError* e = nullptr;
    // Whatever server an older entry was kept for, it goes: one entry a name.
    secret_password_clear_sync(Schema(), nullptr, &e, "name", name.c_str(), nullptr);
    if (!e && !value.empty()) {
        const std::string label = "Vexorin: " + name + (server.empty() ? "" : " for " + server);
        secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                   value.c_str(), nullptr, &e, "name", name.c_str(), "server",
                                   server.c_str(), nullptr);
    }
    if (e) {
        *error = e->message ? e->message : "the keyring refused";
        g_error_free(e);
        return false;
    }
    return true;
}

}  // namespace vx
