// Investigation files: arbitrary bytes through the reader, and arbitrary
// texts through writer then reader, which must give them back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "results/ini_file.h"
#include "results/investigation_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const vx::IniFile ini = vx::IniFile::Parse(bytes);
    // A value never holds more than the file, and every name is found again.
    const std::vector<std::string> names = ini.SectionNames();
    if (names.size() != ini.SectionCount()) std::abort();
    for (const std::string& name : names)
        if (ini.Get(name, "keyterm").size() > 2 * bytes.size() + 3) std::abort();

    // The same bytes as the texts of rows: cut at 0x01 into fields.
    vx::ResultsTable table;
    size_t pos = 0;
    while (pos <= bytes.size() && table.Count() < 50) {
        const vx::RowId row = table.Append();
        for (int f = 0; f < 7; ++f) {
            std::string text;
            if (pos <= bytes.size()) {
                size_t end = bytes.find('\x01', pos);
                if (end == std::string::npos) end = bytes.size();
                text = bytes.substr(pos, end - pos);
                pos = end + 1;
            }
            if (f == 0)
                table.SetKeyTerm(row, text);
            else
                table.AppendColumn(row, text);
        }
        table.SetChecked(row, (table.Count() % 2) == 0);
        if (pos > bytes.size()) break;
    }
    const vx::IniFile back = vx::IniFile::Parse(vx::FormatInvestigationFile(table));
    for (int i = 0; i < table.Count(); ++i) {
        const std::string section = "item" + std::to_string(i);
        if (back.Get(section, "keyterm") != table.At(i).KeyTerm()) std::abort();
        if (back.Get(section, "estimation") != table.At(i).Column(5)) std::abort();
        if (back.Get(section, "check") != (table.At(i).checked ? "1" : "0")) std::abort();
    }
    return 0;
}
