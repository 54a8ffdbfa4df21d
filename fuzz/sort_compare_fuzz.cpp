// The table's comparison on arbitrary rows, through the real sort: every
// column sorts any rows without losing or duplicating one, and a row always
// compares equal to itself.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "results/results_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Rows separated by '\n', fields by '\t': key term then six columns.
    vx::ResultsTable table;
    size_t start = 0;
    int rows = 0;
    while (start <= bytes.size() && rows < 64) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        const vx::RowId id = table.Append();
        size_t f = 0;
        for (int field = 0; field < vx::kColumnCount && f <= line.size(); ++field) {
            size_t g = line.find('\t', f);
            if (g == std::string::npos) g = line.size();
            if (field == 0)
                table.SetKeyTerm(id, line.substr(f, g - f));
            else
                table.AppendColumn(id, line.substr(f, g - f));
            f = g + 1;
        }
        ++rows;
        start = end + 1;
    }
    for (int column = 0; column < vx::kColumnCount; ++column) {
        for (int i = 0; i < table.Count(); ++i)
            for (char sep : {'.', ','})
                if (vx::ListView1Compare(table.At(i), table.At(i), column, sep) != 0) std::abort();
        std::multiset<std::string> before, after;
        for (int i = 0; i < table.Count(); ++i) before.insert(std::string(table.At(i).KeyTerm()));
        table.ListView1ColumnClick(column);
        for (int i = 0; i < table.Count(); ++i) after.insert(std::string(table.At(i).KeyTerm()));
        if (before != after) std::abort();
    }
    return 0;
}
