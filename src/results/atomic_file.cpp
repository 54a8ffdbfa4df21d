#include "results/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace vx {

namespace {

constexpr const char* kTempPrefix = ".vexorin-save-";

std::function<bool(AtomicWriteStep, size_t)>& Hook() {
    static std::function<bool(AtomicWriteStep, size_t)> hook;
    return hook;
}

std::string DirName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save really writes: links followed to what they name, even
// when that does not exist yet.
std::string ResolveTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0) return path;
        link.resize(static_cast<size_t>(n));
        path = link[0] == '/' ? link : DirName(path) + "/" + link;
    }
    return path;
}

mode_t CurrentUmask() {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
}

// Temporaries of ours left by a save that was killed between naming and
// renaming (or on file systems without unnamed files).
void RemoveStaleTemporaries(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = kTempPrefix;
    while (const dirent* e = ::readdir(d)) {
        if (std::string_view(e->d_name).substr(0, prefix.size()) != prefix) continue;
        const std::string path = dir + "/" + e->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid())
            ::unlink(path.c_str());
    }
    ::closedir(d);
}

std::string TempName(const std::string& dir) {
    static std::mt19937_64 rng{std::random_device{}()};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%012llx",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    return dir + "/" + kTempPrefix + buf;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t written = 0;
    constexpr size_t kChunk = 64 * 1024;
    while (written < bytes.size()) {
        if (Hook() && !Hook()(AtomicWriteStep::Chunk, written)) return false;
        const size_t n = std::min(kChunk, bytes.size() - written);
        const ssize_t w = ::write(fd, bytes.data() + written, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        written += static_cast<size_t>(w);
    }
    return true;
}

// An unnamed file in dir where the file system has them (nothing is left
// behind if we die while writing), else a named temporary.
int OpenTemporary(const std::string& dir, mode_t mode, std::string* named) {
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    for (int attempt = 0; attempt < 16; ++attempt) {
        *named = TempName(dir);
        const int f =
            ::open(named->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (f >= 0 || errno != EEXIST) return f;
    }
    return -1;
}

void SyncFolder(const std::string& dir) {
    const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d < 0) return;
    ::fsync(d);
    ::close(d);
}

}  // namespace

AtomicWriteHook::AtomicWriteHook(std::function<bool(AtomicWriteStep, size_t)> hook) {
    Hook() = std::move(hook);
}

AtomicWriteHook::~AtomicWriteHook() {
    Hook() = nullptr;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveTarget(path);
    const std::string dir = DirName(target);
    RemoveStaleTemporaries(dir);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) return false;
    const mode_t mode = replacing ? (old.st_mode & 0777) : (0666 & ~CurrentUmask());

    std::string named;
    const int fd = OpenTemporary(dir, mode, &named);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0;
    if (ok && replacing) {
        // Keep the owner and group where we may; a failure here is no failure.
        [[maybe_unused]] const int rc = ::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, mode);  // a chown may have dropped bits
    }
    ok = ok && ::fsync(fd) == 0;
    if (ok && named.empty()) {
        named = TempName(dir);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            ok = false;
            named.clear();
        }
    }
    if (::close(fd) != 0) ok = false;
    if (ok && Hook() && !Hook()(AtomicWriteStep::Rename, bytes.size())) ok = false;
    if (ok && std::rename(named.c_str(), target.c_str()) != 0) ok = false;
    if (!ok && !named.empty()) ::unlink(named.c_str());
    if (ok) SyncFolder(dir);
    return ok;
}

ReadStatus ReadFileBytes(const std::string& path, std::string* out, size_t maxBytes) {
    out->clear();
    // Non-blocking: opening a named pipe must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return ReadStatus::Unreadable;
    struct stat st {};
    ReadStatus status = ReadStatus::Ok;
    if (::fstat(fd, &st) != 0) {
        status = ReadStatus::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        status = ReadStatus::NotRegularFile;
    } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        status = ReadStatus::TooLarge;
    } else {
        out->reserve(static_cast<size_t>(st.st_size));
        char buf[1 << 16];
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) status = ReadStatus::Unreadable;
            if (n <= 0) break;
            out->append(buf, static_cast<size_t>(n));
            // A file that grew while we read is no more ours to trust.
            if (out->size() > maxBytes) {
                status = ReadStatus::TooLarge;
                break;
            }
        }
    }
    ::close(fd);
    if (status != ReadStatus::Ok) out->clear();
    return status;
}

}  // namespace vx
