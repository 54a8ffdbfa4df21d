#include "results/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace vx {

namespace {
std::function<bool(AtomicWriteStep, size_t)>& Hook() {
    static std::function<bool(AtomicWriteStep, size_t)> hook;
    return hook;
}
}  // namespace

void SetAtomicWriteHook(std::function<bool(AtomicWriteStep, size_t)> hook) {
    Hook() = std::move(hook);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::string tmpl = path + ".XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return false;
    const std::string tmp(name.data());
    bool ok = true;
    size_t written = 0;
    constexpr size_t kChunk = 64 * 1024;
    while (ok && written < bytes.size()) {
        if (Hook() && !Hook()(AtomicWriteStep::Chunk, written)) {
            ok = false;
            break;
        }
        const size_t n = std::min(kChunk, bytes.size() - written);
        const ssize_t w = ::write(fd, bytes.data() + written, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0)
            ok = false;
        else
            written += static_cast<size_t>(w);
    }
    // Keep the old file's permissions when replacing it; mkstemp makes 0600.
    struct stat st {};
    if (ok && ::stat(path.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else if (ok)
        ::fchmod(fd, 0644);
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && Hook() && !Hook()(AtomicWriteStep::Rename, written)) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string* out, size_t maxBytes) {
    out->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    bool ok = true;
    while (out->size() < maxBytes) {
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, maxBytes - out->size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

}  // namespace vx
