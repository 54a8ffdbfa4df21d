#include "results/serp_changes.h"

#include <map>

#include "results/clusters.h"
#include "results/table_print.h"

namespace vx {

std::string FormatSerpChanges(const std::vector<SerpStep>& steps) {
    std::string out;
    const std::vector<TopResult>* before = nullptr;
    for (const SerpStep& step : steps) {
        out += step.label + "\n";  // the tool's own words
        if (step.top.empty()) {
            out += "no top results kept\n";
            continue;
        }
        std::map<std::string, int> was;
        if (before)
            for (const TopResult& r : *before) was.emplace(NormalResultUrl(r.url), r.position);
        std::map<std::string, bool> here;
        for (const TopResult& r : step.top) {
            const std::string key = NormalResultUrl(r.url);
            here[key] = true;
            std::string change = "first";
            if (before) {
                const auto it = was.find(key);
                change = it == was.end()            ? "new"
                         : it->second == r.position ? "same"
                         : it->second > r.position
                             ? "up " + std::to_string(it->second - r.position)
                             : "down " + std::to_string(r.position - it->second);
            }
            out += std::to_string(r.position) + "\t" + EscapeField(r.url) + "\t" + change + "\n";
        }
        if (before)
            for (const TopResult& r : *before)
                if (!here.count(NormalResultUrl(r.url)))
                    out += "left\t" + EscapeField(r.url) + "\twas " + std::to_string(r.position) +
                           "\n";
        before = &step.top;
    }
    return out;
}

}  // namespace vx
