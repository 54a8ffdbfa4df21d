#include "results/preferences.h"

#include <algorithm>

#include "core/text.h"
#include "results/service_address.h"
#include "results/settings_store.h"

namespace vx {

std::string HostPortProblem(std::string_view text) {
    if (text.empty()) return "";
    if (const size_t scheme = text.find("://"); scheme != std::string_view::npos) {
        const std::string name = LowerAscii(text.substr(0, scheme));
        if (name != "http" && name != "https") return "Only http:// and https:// addresses";
        text.remove_prefix(scheme + 3);
        if (text.ends_with('/')) text.remove_suffix(1);
    }
    if (text.find_first_of(" \t/?#@") != std::string_view::npos)
        return "A host name cannot hold blanks or any of / ? # @";
    const size_t colon = text.rfind(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty()) return "The host name is missing";
    if (colon == std::string_view::npos) return "";
    const std::string_view port = text.substr(colon + 1);
    const auto n = port.find_first_not_of("0123456789") == std::string_view::npos
                       ? ReadWholeNumber(port)
                       : std::nullopt;
    if (!n || *n < 1 || *n > 65535) return "The port must be a number from 1 to 65535";
    return "";
}

namespace {
struct IntegerPreference {
    const char* name;
    int Preferences::*field;
    int lowest, highest;
};
constexpr IntegerPreference kIntegers[] = {
    {"net.connect", &Preferences::connectSeconds, kMinBoundSeconds, kMaxBoundSeconds},
    {"net.silence", &Preferences::silenceSeconds, kMinBoundSeconds, kMaxBoundSeconds},
    {"net.fetch", &Preferences::fetchSeconds, kMinBoundSeconds, kMaxBoundSeconds},
    {"lookups.parallel", &Preferences::parallel, kMinParallel, kMaxParallel},
    {"lookups.retries", &Preferences::retries, kMinRetries, kMaxRetries},
    {"tracking.movePlaces", &Preferences::movePlaces, kMinMovePlaces, kMaxMovePlaces},
};
struct TextPreference {
    const char* name;
    std::string Preferences::*field;
};
constexpr TextPreference kTexts[] = {
    {"services.suggest", &Preferences::suggestHost},
    {"services.search", &Preferences::searchHost},
};
constexpr TextPreference kServiceChoices[] = {
    {"services.suggestProfile", &Preferences::suggestService},
    {"services.searchProfile", &Preferences::searchService},
    {"net.caFile", &Preferences::caFile},
    {"history.url", &Preferences::historyUrl},
};
// A profile's name, "@" and a URL at most: printable, one line, bounded.
// A URL with a password in it ("user:secret@host") is no choice to keep.
bool HoldsPassword(const std::string& text) {
    return !PasswordsInUrl(text).empty();
}

bool MayBeAChoice(const std::string& text) {
    if (HoldsPassword(text)) return false;
    return text.size() <= 2048 && std::none_of(text.begin(), text.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
           });
}
}  // namespace

Preferences LoadPreferences(SettingsStore& store) {
    Preferences p;
    store.OpenKey(false);
    for (const TextPreference& t : kTexts) {
        try {
            if (!store.ValueExists(t.name)) continue;
            const std::string text = store.ReadString(t.name);
            if (HostPortProblem(text).empty()) p.*t.field = text;
        } catch (const std::exception&) {
        }
    }
    for (const TextPreference& t : kServiceChoices) {
        try {
            if (!store.ValueExists(t.name)) continue;
            const std::string text = store.ReadString(t.name);
            if (MayBeAChoice(text)) p.*t.field = text;
        } catch (const std::exception&) {
        }
    }
    for (const IntegerPreference& i : kIntegers) {
        try {
            if (!store.ValueExists(i.name)) continue;
            const int v = store.ReadInteger(i.name);
            if (v >= i.lowest && v <= i.highest) p.*i.field = v;
        } catch (const std::exception&) {
        }
    }
    try {
        if (store.ValueExists("history.keep"))
            p.keepHistory = store.ReadInteger("history.keep") != 0;
    } catch (const std::exception&) {
    }
    store.CloseKey();
    return p;
}

bool SavePreferences(SettingsStore& store, const Preferences& preferences) {
    store.OpenKey(true);
    try {
        for (const TextPreference& t : kTexts) store.WriteString(t.name, preferences.*t.field);
        // A password in a URL never reaches the file.
        for (const TextPreference& t : kServiceChoices)
            store.WriteString(
                t.name, MayBeAChoice(preferences.*t.field) ? preferences.*t.field : std::string());
        for (const IntegerPreference& i : kIntegers)
            store.WriteInteger(i.name, std::clamp(preferences.*i.field, i.lowest, i.highest));
        store.WriteInteger("history.keep", preferences.keepHistory ? 1 : 0);
    } catch (const std::exception&) {
    }
    return store.CloseKey();
}

}  // namespace vx
