#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace vx {

namespace {

// A folder only we can use: a real directory (not a link), ours, 0700.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

std::string PrivateFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && runtime[0] == '/' && IsPrivateFolder(runtime))
        return runtime;
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
    const std::string ours = base + "/vexorin-" + std::to_string(::getuid());
    if (::mkdir(ours.c_str(), 0700) != 0 && errno != EEXIST) return {};
    return IsPrivateFolder(ours) ? ours : std::string();
}

}  // namespace

std::string SingleInstance::LockPath() {
    const std::string folder = PrivateFolder();
    if (folder.empty()) return {};
    return folder + "/vexorin-" + std::to_string(::getuid()) + ".lock";
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0) ::close(fd_);
}

bool SingleInstance::FindRunningInstance() {
    const std::string path = LockPath();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;  // held until the process ends
        return false;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace vx
