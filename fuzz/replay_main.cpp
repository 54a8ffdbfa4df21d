// Runs a fuzz target over saved inputs (files or folders of them) without
// libFuzzer, so the corpus and every crash reproducer replay as plain tests.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    size_t runs = 0;
    auto run = [&](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ++runs;
    };
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            std::vector<std::filesystem::path> files;
            for (const auto& e : std::filesystem::directory_iterator(p))
                // ".keep" and other dot files hold a folder in git; they are
                // not inputs, so an emptied corpus fails the replay.
                if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                    files.push_back(e.path());
            for (const auto& f : files) run(f);
        } else if (std::filesystem::exists(p)) {
            run(p);
        }
    }
    std::printf("replayed %zu inputs\n", runs);
    // A corpus folder that lost its inputs must not pass as replayed.
    return runs > 0 ? 0 : 1;
}
