#include "demo_data.h"

#include <algorithm>
#include <set>

namespace vx::services {

namespace {

const char* kTopics[] = {
    "red shoes",        "running shoes",     "hiking boots",    "leather wallet",
    "coffee beans",     "espresso machine",  "green tea",       "yoga mat",
    "garden hose",      "dog food",          "cat toys",        "wedding dress",
    "car insurance",    "home loan",         "web hosting",     "wordpress themes",
    "keyword research", "seo tools",         "email marketing", "digital camera",
    "laptop bag",       "gaming chair",      "office desk",     "led lamp",
    "solar panels",     "electric bike",     "mountain bike",   "fishing rod",
    "tennis racket",    "golf clubs",        "baby stroller",   "kids books",
    "guitar lessons",   "piano sheet music", "vegan recipes",   "protein powder",
    "hair dryer",       "face cream",        "wooden toys",     "travel insurance",
    "cheap flights",    "hotel deals",       "rain jacket",     "winter gloves",
    "wool socks",
};

const char* kPatterns[] = {
    "%s",         "cheap %s",    "best %s",     "%s online", "buy %s",
    "%s reviews", "%s for sale", "discount %s", "%s uk",     "%s near me",
};

std::string Apply(const char* pattern, const std::string& topic) {
    std::string p = pattern;
    const size_t at = p.find("%s");
    return p.substr(0, at) + topic + p.substr(at + 2);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : text) {
        const char l = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if ((l >= 'a' && l <= 'z') || (l >= '0' && l <= '9') ||
            (static_cast<unsigned char>(l) >= 0x80)) {
            cur += l;
        } else if (!cur.empty()) {
            out.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

int DemandOf(const std::string& phrase, int patternIndex) {
    const uint64_t h = Hash(phrase);
    const int base = 200 + static_cast<int>(h % 30000);
    return std::max(12, base / (1 + patternIndex));
}

const char* kDemoSites[] = {"example.com", "example.org", "example.net", "shop.example"};

}  // namespace

uint64_t Hash(const std::string& text) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

const std::vector<Suggestion>& DemoPhrases() {
    static const std::vector<Suggestion> phrases = [] {
        std::vector<Suggestion> v;
        for (const char* topic : kTopics)
            for (size_t p = 0; p < std::size(kPatterns); ++p) {
                const std::string phrase = Apply(kPatterns[p], topic);
                v.push_back({phrase, DemandOf(phrase, static_cast<int>(p))});
            }
        return v;
    }();
    return phrases;
}

std::vector<Suggestion> SuggestionsFor(const std::string& seed, size_t max) {
    const std::vector<std::string> seedWords = Words(seed);
    std::vector<Suggestion> out;
    std::set<std::string> wanted(seedWords.begin(), seedWords.end());
    for (const Suggestion& s : DemoPhrases()) {
        for (const std::string& w : Words(s.phrase))
            if (wanted.count(w)) {
                out.push_back(s);
                break;
            }
    }
    if (out.empty() && !seedWords.empty()) {
        std::string topic;
        for (const auto& w : seedWords) topic += (topic.empty() ? "" : " ") + w;
        for (size_t p = 0; p < std::size(kPatterns); ++p) {
            const std::string phrase = Apply(kPatterns[p], topic);
            out.push_back({phrase, DemandOf(phrase, static_cast<int>(p))});
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Suggestion& a, const Suggestion& b) { return a.demand > b.demand; });
    if (out.size() > max) out.resize(max);
    return out;
}

int64_t PageCount(const std::string& phrase) {
    // A term no page holds, for the services' answers to an empty search.
    for (const auto& w : Words(phrase))
        if (w == "nowhere") return 0;
    const uint64_t h = Hash("count:" + phrase);
    // Longer phrases are rarer on the web.
    const int words = static_cast<int>(Words(phrase).size());
    int64_t count = 1000 + static_cast<int64_t>(h % 40000000);
    for (int i = 1; i < words; ++i) count /= 7;
    return std::max<int64_t>(count, 3);
}

int DemoSiteRank(const std::string& site, const std::string& phrase) {
    const uint64_t h = Hash(site + "|" + phrase);
    switch (h % 4) {
        case 0:
            return 1 + static_cast<int>((h >> 8) % 20);  // first page
        case 1:
            return 21 + static_cast<int>((h >> 8) % 80);  // pages 2 to 5
        case 2:
            return 101 + static_cast<int>((h >> 8) % 300);  // deeper
        default:
            return 0;  // not listed
    }
}

std::string ResultUrl(const std::string& phrase, int rank) {
    for (const char* site : kDemoSites)
        if (DemoSiteRank(site, phrase) == rank) {
            std::string slug;
            for (const auto& w : Words(phrase)) slug += (slug.empty() ? "" : "-") + w;
            return std::string("http://www.") + site + "/" + slug;
        }
    const uint64_t h = Hash(phrase + "#" + std::to_string(rank));
    return "http://www.site" + std::to_string(h % 9000 + 1000) + ".test/page" +
           std::to_string((h >> 16) % 100);
}

}  // namespace vx::services
