#include "history/run_history.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

namespace vx {

std::vector<ResultRow> RunHistory::RowsOfRun(int64_t id) const {
    ResultsTable table;
    std::vector<ResultRow> rows;
    if (!Load(id, table)) return rows;
    for (int i = 0; i < table.Count(); ++i) rows.push_back(table.At(i));
    return rows;
}

std::string NewRunUid() {
    unsigned char bytes[16] = {};
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
        std::random_device device;
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(device());
    }
    char hex[33];
    for (size_t i = 0; i < sizeof bytes; ++i) std::snprintf(hex + 2 * i, 3, "%02x", bytes[i]);
    return std::string(hex, 32);
}

std::string RecordedByHere() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    const char* user = std::getenv("USER");
    if (!user || !*user) user = std::getenv("LOGNAME");
    return std::string(user && *user ? user : std::to_string(::getuid())) + "@" +
           (host[0] ? host : "localhost");
}

}  // namespace vx
