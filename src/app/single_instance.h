// One running copy per user: a kernel advisory lock on a per-user file,
// held for the life of the process. The kernel drops it when the holder
// dies, so a crashed copy never blocks, whatever the file holds. A second
// copy tells the first to come forward through a socket beside the lock.
#pragma once

#include <string>

namespace vx {

class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another copy of this user's program holds the lock; that
    // copy has then been asked to bring its window forward. A check that
    // fails counts as no running copy.
    bool FindRunningInstance();

    // The folder of the lock and the socket, the same for every copy of
    // this user whatever its environment: /run/user/<uid> when it is ours
    // and private, else a folder of ours (0700) in /tmp, else one in the
    // user's home from the password database; only VEXORIN_INSTANCE_DIR
    // (for tests) names another. Empty when none is safe to use.
    static std::string Folder();
    static std::string LockPath();
    // Where the running copy listens for "raise" (empty: nowhere).
    static std::string SocketPath();

  private:
    int fd_ = -1;
};

}  // namespace vx
