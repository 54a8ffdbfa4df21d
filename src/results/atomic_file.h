// The one way files are saved and read. A save replaces the file so that a
// failure at any point leaves the old one intact: the bytes go to an unnamed
// file beside the target, reach the disk, get a short temporary name and are
// renamed over the target; then the folder is synced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vx {

// What a save came to: 0, an errno value, or one of the causes below.
struct WriteResult {
    int error = 0;
    explicit operator bool() const { return error == 0; }
};
constexpr int kWriteReadOnly = -1;    // the user may not write the file
constexpr int kWriteOtherOwner = -2;  // replacing it would take it from its owner
constexpr int kWriteNotRegular = -3;  // a pipe, a device, a socket
// The cause as a message ("the file is read-only", "Is a directory", ...).
std::string WriteFailureText(const WriteResult& result);

// Fails (and leaves the target untouched) when any step fails.
// A target that is a symbolic link is written through: the file it names is
// replaced and the link stays (a dangling link creates the file it names; a
// loop of links fails). A new file gets 0666 less the umask. A replaced one
// must be writable by us (its write bits, and access() for users other than
// root) and keeps its permission bits (never setuid, setgid or sticky), its
// extended attributes (POSIX ACLs among them) and its owner: a file we could
// only replace by one of our own is refused. Other names of a hard-linked
// file keep the old contents, as with any editor that saves by renaming.
WriteResult WriteFileAtomically(const std::string& path, std::string_view bytes);

// Test hook: called before each chunk is written, before the data reach the
// disk and once more before the rename, with the bytes written so far;
// returning false makes that step fail. It stays installed while the guard
// lives.
enum class AtomicWriteStep { Chunk, Sync, Rename };
class AtomicWriteHook {
  public:
    explicit AtomicWriteHook(std::function<bool(AtomicWriteStep step, size_t written)> hook);
    ~AtomicWriteHook();
    AtomicWriteHook(const AtomicWriteHook&) = delete;
    AtomicWriteHook& operator=(const AtomicWriteHook&) = delete;
};

enum class ReadStatus { Ok, Unreadable, NotRegularFile, TooLarge };

// The whole of a regular file of at most maxBytes; anything else reads as
// nothing at once (a named pipe never blocks, a device is never read).
// error, when given, gets the cause as an errno value (EISDIR for a folder,
// EFBIG for a file over the cap).
ReadStatus ReadFileBytes(const std::string& path, std::string* out, size_t maxBytes,
                         int* error = nullptr);

}  // namespace vx
