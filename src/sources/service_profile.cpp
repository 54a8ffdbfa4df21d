#include "sources/service_profile.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vx {

namespace {

constexpr const char* kGoogleAdsSecrets[] = {"google_ads_developer_token", "google_ads_client_id",
                                             "google_ads_client_secret", "google_ads_refresh_token",
                                             "google_ads_customer_id"};

// "line 3, column 9" of a byte offset into text.
std::string Place(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    const size_t line =
        1 + static_cast<size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
    const size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const size_t column =
        lineStart == std::string::npos || offset == 0 ? offset + 1 : offset - lineStart;
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string Text(const nlohmann::json& fields, const char* key) {
    const auto it = fields.find(key);
    return it != fields.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The first field a kind needs that the profile lacks or gets wrong.
std::string CheckFields(ServiceProfile& p) {
    const nlohmann::json& f = p.fields;
    auto needText = [&](const char* key) -> std::string {
        const auto it = f.find(key);
        if (it == f.end()) return std::string("\"") + key + "\" is missing";
        if (!it->is_string() || it->get<std::string>().empty())
            return std::string("\"") + key + "\" must be a text";
        return {};
    };
    if (std::string e = needText("base"); !e.empty()) return e;
    if (p.kind == "searxng") {
        p.suggests = p.searches = true;
        return {};
    }
    if (p.kind == "google-ads") {
        for (const char* key : {"version", "token_url"})
            if (std::string e = needText(key); !e.empty()) return e;
        p.suggests = true;
        p.secrets.assign(std::begin(kGoogleAdsSecrets), std::end(kGoogleAdsSecrets));
        return {};
    }
    if (p.kind == "serp-json") {
        for (const char* key : {"url", "total_results", "result_urls"})
            if (std::string e = needText(key); !e.empty()) return e;
        const std::string url = Text(f, "url");
        if (url.find("{q}") == std::string::npos) return "\"url\" has no {q} for the search term";
        const auto per = f.find("results_per_request");
        if (per == f.end() || !per->is_number_integer() || per->get<long long>() < 1 ||
            per->get<long long>() > 100)
            return "\"results_per_request\" must be a whole number from 1 to 100";
        if (const auto first = f.find("first_start");
            first != f.end() && (!first->is_number_integer() || first->get<long long>() < 0 ||
                                 first->get<long long>() > 1))
            return "\"first_start\" must be 0 or 1";
        std::string secretText = url;
        if (const auto headers = f.find("headers"); headers != f.end()) {
            if (!headers->is_object()) return "\"headers\" must be an object of texts";
            for (const auto& [name, value] : headers->items()) {
                if (!value.is_string()) return "\"headers\" must be an object of texts";
                secretText += value.get<std::string>();
            }
        }
        p.secrets = SecretNamesIn(secretText);
        p.searches = true;
        return {};
    }
    return p.kind.empty() ? "\"kind\" is missing"
                          : "\"kind\" \"" + p.kind + "\" is none of searxng, google-ads, serp-json";
}

}  // namespace

std::vector<std::string> SecretNamesIn(const std::string& text) {
    std::vector<std::string> names;
    constexpr std::string_view kOpen = "{secret:";
    for (size_t at = text.find(kOpen); at != std::string::npos; at = text.find(kOpen, at + 1)) {
        const size_t end = text.find('}', at);
        if (end == std::string::npos) break;
        std::string name = text.substr(at + kOpen.size(), end - at - kOpen.size());
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

ServiceProfile ReadServiceProfile(const std::string& name, const std::string& file,
                                  const std::string& text) {
    ServiceProfile p;
    p.name = name;
    p.file = file;
    try {
        p.fields = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // The library's own words after its "[json.exception...] " prefix.
        std::string why = e.what();
        if (const size_t colon = why.rfind(": "); colon != std::string::npos)
            why = why.substr(colon + 2);
        p.error = Place(text, e.byte == 0 ? 0 : e.byte - 1) + ": " + why;
        return p;
    }
    if (!p.fields.is_object()) {
        p.error = "a profile is a JSON object";
        return p;
    }
    p.kind = Text(p.fields, "kind");
    p.base = Text(p.fields, "base");
    while (!p.base.empty() && p.base.back() == '/') p.base.pop_back();
    p.description = Text(p.fields, "description");
    p.error = CheckFields(p);
    return p;
}

std::vector<std::string> ProfileFolders() {
    std::vector<std::string> folders;
    if (const char* data = std::getenv("VEXORIN_DATA_DIR"); data && *data) {
        folders.push_back(std::string(data) + "/services");
    } else {
        char self[4096];
        if (const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1); n > 0) {
            std::string dir(self, static_cast<size_t>(n));
            dir.erase(dir.rfind('/'));
            folders.push_back(dir + "/../share/vexorin/services");
        }
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        folders.push_back(std::string(config) + "/vexorin/services");
    else if (const char* home = std::getenv("HOME"); home && *home)
        folders.push_back(std::string(home) + "/.config/vexorin/services");
    return folders;
}

std::map<std::string, ServiceProfile> LoadServiceProfiles(const std::vector<std::string>& folders) {
    std::map<std::string, ServiceProfile> profiles;
    for (const std::string& folder : folders) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) continue;
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string file = entry->d_name;
            if (file.size() > 5 && file.ends_with(".json") && file.front() != '.')
                names.push_back(file);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& file : names) {
            const std::string path = folder + "/" + file;
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            const std::string name = file.substr(0, file.size() - 5);
            profiles[name] = ReadServiceProfile(name, path, text.str());
        }
    }
    return profiles;
}

}  // namespace vx
