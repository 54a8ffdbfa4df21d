#include "app/single_instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vx {

namespace {

// A folder only we can use: a real directory (not a link), ours, 0700.
bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return IsPrivateFolder(path);
}

std::string Uid() {
    return std::to_string(::getuid());
}

// Told "raise" by a second copy; bounded, and never an error to the caller.
void AskToRaise(const std::string& socketPath) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return;
    const timeval bound{1, 0};
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) [[maybe_unused]]
        const ssize_t n = ::send(s, "raise\n", 6, MSG_NOSIGNAL);
    ::close(s);
}

}  // namespace

std::string SingleInstance::Folder() {
    if (const char* dir = std::getenv("VEXORIN_INSTANCE_DIR"); dir && dir[0] == '/')
        return IsPrivateFolder(dir) ? dir : std::string();
    // Never from XDG_RUNTIME_DIR: a copy started without it (or with another)
    // must find the same lock.
    if (const std::string run = "/run/user/" + Uid(); IsPrivateFolder(run)) return run;
    // A folder in /tmp another user made first is not ours: then the home
    // folder, which no one else can take.
    if (const std::string tmp = "/tmp/vexorin-" + Uid(); MakePrivateFolder(tmp)) return tmp;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        const std::string cache = std::string(pw->pw_dir) + "/.cache";
        ::mkdir(cache.c_str(), 0700);
        if (const std::string ours = cache + "/vexorin-instance"; MakePrivateFolder(ours))
            return ours;
    }
    return {};
}

std::string SingleInstance::LockPath() {
    const std::string folder = Folder();
    return folder.empty() ? std::string() : folder + "/vexorin-" + Uid() + ".lock";
}

std::string SingleInstance::SocketPath() {
    const std::string folder = Folder();
    return folder.empty() ? std::string() : folder + "/vexorin-" + Uid() + ".sock";
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
    if (held) AskToRaise(SocketPath());
    return held;
}

}  // namespace vx
