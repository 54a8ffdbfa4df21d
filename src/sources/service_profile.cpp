#include "sources/service_profile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/url.h"
#include "sources/service_kinds.h"

namespace vx {

namespace {

constexpr off_t kMaxProfileBytes = 1 << 20;

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

// The first field the profile's kind needs that it lacks or gets wrong.
std::string CheckFields(ServiceProfile& p) {
    if (std::string e = NeedProfileText(p, "base"); !e.empty()) return e;
    if (const ServiceKind* kind = FindServiceKind(p.kind)) return kind->check(p);
    return p.kind.empty() ? "\"kind\" is missing"
                          : "\"kind\" \"" + p.kind + "\" is none of " + ServiceKindNames();
}

}  // namespace

std::string NeedProfileText(const ServiceProfile& profile, const char* key) {
    const auto it = profile.fields.find(key);
    if (it == profile.fields.end()) return std::string("\"") + key + "\" is missing";
    if (!it->is_string() || it->get<std::string>().empty())
        return std::string("\"") + key + "\" must be a text";
    return {};
}

std::string ProfileText(const ServiceProfile& profile, const char* key) {
    const auto it = profile.fields.find(key);
    return it != profile.fields.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::vector<std::string> SecretDestinations(const ServiceProfile& profile) {
    std::vector<std::string> urls = {profile.base};
    if (!profile.fields.is_object()) return urls;
    for (const auto& [key, value] : profile.fields.items()) {
        if ((key != "url" && !key.ends_with("_url")) || !value.is_string()) continue;
        std::string url = value.get<std::string>();
        if (const size_t at = url.find("{base}"); at != std::string::npos)
            url.replace(at, 6, profile.base);
        urls.push_back(std::move(url));
    }
    return urls;
}

SecretHomes ShippedSecretHomes(const std::vector<std::string>& folders) {
    SecretHomes homes;
    if (folders.empty()) return homes;
    for (const auto& [name, p] : LoadServiceProfiles({folders.front()})) {
        if (!p.error.empty()) continue;
        std::vector<std::string> secrets = p.secrets;
        if (const ServiceKind* kind = FindServiceKind(p.kind))
            secrets.insert(secrets.end(), kind->optionalSecrets.begin(),
                           kind->optionalSecrets.end());
        for (const std::string& url : SecretDestinations(p))
            if (const auto parsed = ParseUrl(url))
                for (const std::string& secret : secrets) homes[secret].insert(parsed->Endpoint());
    }
    return homes;
}

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
    p.kind = ProfileText(p, "kind");
    p.base = ProfileText(p, "base");
    while (!p.base.empty() && p.base.back() == '/') p.base.pop_back();
    p.description = ProfileText(p, "description");
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
            const std::string name = file.substr(0, file.size() - 5);
            // A profile is a small file: a link to a device or a huge file is
            // named as the fault, never read.
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
                st.st_size > kMaxProfileBytes) {
                ServiceProfile& p = profiles[name];
                p = ServiceProfile{};
                p.name = name;
                p.file = path;
                p.error = !S_ISREG(st.st_mode) ? "not a regular file" : "larger than 1 MiB";
                continue;
            }
            std::ifstream in(path, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            profiles[name] = ReadServiceProfile(name, path, text.str());
        }
    }
    return profiles;
}

}  // namespace vx
