#include "results/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

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
// when that does not exist yet. Empty, with ELOOP, for a loop of links.
std::string ResolveTarget(std::string path, int* error) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0) return path;
        link.resize(static_cast<size_t>(n));
        path = link[0] == '/' ? link : DirName(path) + "/" + link;
    }
    *error = ELOOP;
    return {};
}

mode_t CurrentUmask() {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
}

bool ProcessGone(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Temporaries of ours left by a save that was killed between naming and
// renaming (or on file systems without unnamed files). Only provably stale
// ones go: their name holds the saving process's id, and that process is
// gone; another save's temporary in the same folder is never touched.
void RemoveStaleTemporaries(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string_view prefix = kTempPrefix;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.substr(0, prefix.size()) != prefix) continue;
        const std::string_view rest = name.substr(prefix.size());
        pid_t pid = 0;
        const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
        if (ec != std::errc() || end == rest.data() || *end != '-' || !ProcessGone(pid)) continue;
        const std::string path = dir + "/" + std::string(name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(path.c_str());
    }
    ::closedir(d);
}

std::string TempName(const std::string& dir) {
    static std::mt19937_64 rng{std::random_device{}()};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%ld-%012llx", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    return dir + "/" + kTempPrefix + buf;
}

// The data reach the disk; with a hook installed, the hook stands in for
// the sync (so a test sees that it happens, and when).
bool Synced(int fd, size_t written) {
    if (Hook()) {
        if (Hook()(AtomicWriteStep::Sync, written)) return true;
        errno = EIO;
        return false;
    }
    return ::fsync(fd) == 0;
}

bool HookAllows(AtomicWriteStep step, size_t written) {
    if (!Hook() || Hook()(step, written)) return true;
    errno = EIO;
    return false;
}

bool WriteAll(int fd, std::string_view bytes) {
    size_t written = 0;
    constexpr size_t kChunk = 64 * 1024;
    while (written < bytes.size()) {
        if (!HookAllows(AtomicWriteStep::Chunk, written)) return false;
        const size_t n = std::min(kChunk, bytes.size() - written);
        const ssize_t w = ::write(fd, bytes.data() + written, n);
        if (w < 0 && errno == EINTR) continue;
        if (w == 0) errno = ENOSPC;
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

// The old file's extended attributes (POSIX ACLs are stored as such) onto
// the new one; attributes we may not set are left behind, as cp -p does.
void CopyExtendedAttributes(const std::string& from, int to) {
    ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0) return;
    std::vector<char> names(static_cast<size_t>(size));
    size = ::listxattr(from.c_str(), names.data(), names.size());
    if (size <= 0) return;
    std::vector<char> value;
    for (size_t at = 0; at < static_cast<size_t>(size);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t n = ::getxattr(from.c_str(), name, nullptr, 0);
        if (n < 0) continue;
        value.resize(static_cast<size_t>(n));
        if (::getxattr(from.c_str(), name, value.data(), value.size()) != n) continue;
        ::fsetxattr(to, name, value.data(), value.size(), 0);
    }
}

// Whether we may replace the file: its write bits (root passes access()
// whatever they say) and access() for everyone else.
bool Writable(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

AtomicWriteHook::AtomicWriteHook(std::function<bool(AtomicWriteStep, size_t)> hook) {
    Hook() = std::move(hook);
}

AtomicWriteHook::~AtomicWriteHook() {
    Hook() = nullptr;
}

std::string WriteFailureText(const WriteResult& result) {
    switch (result.error) {
        case 0:
            return "";
        case kWriteReadOnly:
            return "the file is read-only";
        case kWriteOtherOwner:
            return "the file belongs to another user";
        case kWriteNotRegular:
            return "not a regular file";
        default:
            return std::strerror(result.error);
    }
}

WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty()) return {ENOENT};
    int error = 0;
    const std::string target = ResolveTarget(path, &error);
    if (error) return {error};
    const std::string dir = DirName(target);
    RemoveStaleTemporaries(dir);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) return {EISDIR};
    if (replacing && !S_ISREG(old.st_mode)) return {kWriteNotRegular};
    if (replacing && !Writable(target, old)) return {kWriteReadOnly};
    const mode_t mode = replacing ? (old.st_mode & 0777) : (0666 & ~CurrentUmask());

    std::string named;
    const int fd = OpenTemporary(dir, mode, &named);
    if (fd < 0) return {errno};
    auto fail = [&error](int e) {
        if (!error) error = e ? e : EIO;
        return false;
    };
    bool ok = (WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0) || fail(errno);
    if (ok && replacing) {
        // Keep the owner and group where we may; never take the file from
        // another user.
        [[maybe_unused]] const int rc = ::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, mode);  // a chown may have dropped bits
        struct stat now {};
        if (::fstat(fd, &now) != 0 || now.st_uid != old.st_uid) ok = fail(kWriteOtherOwner);
        if (ok) CopyExtendedAttributes(target, fd);
    }
    ok = ok && (Synced(fd, bytes.size()) || fail(errno));
    if (ok && named.empty()) {
        named = TempName(dir);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            ok = fail(errno);
            named.clear();
        }
    }
    if (::close(fd) != 0 && ok) ok = fail(errno);
    if (ok && !HookAllows(AtomicWriteStep::Rename, bytes.size())) ok = fail(errno);
    if (ok && std::rename(named.c_str(), target.c_str()) != 0) ok = fail(errno);
    if (!ok && !named.empty()) ::unlink(named.c_str());
    if (ok) SyncFolder(dir);
    return {ok ? 0 : error};
}

ReadStatus ReadFileBytes(const std::string& path, std::string* out, size_t maxBytes, int* error) {
    out->clear();
    int ignored = 0;
    int& cause = error ? *error : ignored;
    cause = 0;
    // Non-blocking: opening a named pipe must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        cause = errno;
        return ReadStatus::Unreadable;
    }
    struct stat st {};
    ReadStatus status = ReadStatus::Ok;
    if (::fstat(fd, &st) != 0) {
        cause = errno;
        status = ReadStatus::Unreadable;
    } else if (!S_ISREG(st.st_mode)) {
        cause = S_ISDIR(st.st_mode) ? EISDIR : 0;
        status = ReadStatus::NotRegularFile;
    } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        cause = EFBIG;
        status = ReadStatus::TooLarge;
    } else {
        out->reserve(static_cast<size_t>(st.st_size));
        char buf[1 << 16];
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                cause = errno;
                status = ReadStatus::Unreadable;
            }
            if (n <= 0) break;
            out->append(buf, static_cast<size_t>(n));
            // A file that grew while we read is no more ours to trust.
            if (out->size() > maxBytes) {
                cause = EFBIG;
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
