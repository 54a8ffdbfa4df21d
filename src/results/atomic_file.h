// The one way files are saved and read. A save replaces the file so that a
// failure at any point leaves the old one intact: the bytes go to an unnamed
// file beside the target, reach the disk, get a short temporary name and are
// renamed over the target; then the folder is synced.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vx {

// Returns false (and leaves the target untouched) when any step fails.
// A target that is a symbolic link is written through: the file it names is
// replaced and the link stays (a dangling link creates the file it names).
// A new file gets 0666 less the umask; a replaced one keeps its permission
// bits (never setuid, setgid or sticky) and, where allowed, its owner.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Test hook: called before each chunk is written and once more before the
// rename, with the bytes written so far; returning false makes that step
// fail. It stays installed while the guard lives.
enum class AtomicWriteStep { Chunk, Rename };
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
ReadStatus ReadFileBytes(const std::string& path, std::string* out, size_t maxBytes);

}  // namespace vx
