// The settings file reader on arbitrary bytes; what it reads, written back,
// reads the same.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "results/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::map<std::string, vx::RegValue> values;
    bool found = false;
    if (!vx::SettingsStore::Parse(text, &values, &found) || !found) return 0;
    // Values of another type are not written back by us; keep the rest.
    for (auto it = values.begin(); it != values.end();)
        it = it->second.type == vx::RegType::Other ? values.erase(it) : std::next(it);
    for (auto& [name, v] : values)
        if (v.type == vx::RegType::ExpandString) v.type = vx::RegType::String;
    std::map<std::string, vx::RegValue> again;
    bool found2 = false;
    if (!vx::SettingsStore::Parse(vx::SettingsStore::Format(values), &again, &found2) || !found2)
        std::abort();
    if (again.size() != values.size()) std::abort();
    for (const auto& [name, v] : values) {
        const auto& w = again.at(name);
        if (w.type != v.type || w.text != v.text || w.dword != v.dword) std::abort();
    }
    return 0;
}
