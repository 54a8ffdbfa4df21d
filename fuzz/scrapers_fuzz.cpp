// The page text helpers and the research run on arbitrary pages: the first
// part of the input is the suggestion page, the rest serves every search.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/headless_run.h"
#include "engine/page_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t cut = bytes.find('\xff');
    const std::string suggestions = bytes.substr(0, cut);
    const std::string search = cut == std::string::npos ? std::string() : bytes.substr(cut + 1);

    vx::ExtractDemandCell(bytes);
    vx::ExtractTermCell(bytes);
    vx::StripNumberSeparators(bytes);
    if (vx::ReverseString(vx::ReverseString(bytes)) != bytes) std::abort();
    if (vx::ReplaceAllNoCase(bytes, "a", "aa").size() < bytes.size()) std::abort();

    vx::QuietHost w({"", "example.com", "2", 5});
    vx::StopFlag stop;
    vx::ResultsTable table;
    int fetches = 0;
    vx::Research r({w,
                    w,
                    w,
                    stop,
                    w,
                    table,
                    {"s", "t"},
                    [&](const std::string&) {
                        ++fetches;
                        return search;
                    },
                    '.'});
    r.FillResultsFromSuggestions(suggestions);
    if (table.Count() > 5) std::abort();
    if (fetches > 5 * 3) std::abort();  // one competition and at most two rank pages a row
    for (int i = 0; i < table.Count(); ++i) {
        if (table.At(i).ColumnCount() != 6 || !table.At(i).checked) std::abort();
        const std::string rank(table.At(i).Column(3));
        if (rank != "-" && rank != "?" && rank.find_first_not_of("0123456789") != std::string::npos)
            std::abort();
    }
    return 0;
}
