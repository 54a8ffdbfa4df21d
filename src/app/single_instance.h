// One running copy per user: a kernel advisory lock on a per-user file,
// held for the life of the process. The kernel drops it when the holder
// dies, so a crashed copy never blocks, whatever the file holds.
#pragma once

#include <string>

namespace vx {

class SingleInstance {
  public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another copy of this user's program holds the lock. A check
    // that fails counts as no running copy.
    bool FindRunningInstance();

    // $XDG_RUNTIME_DIR/vexorin-<uid>.lock, or the same name in a folder of
    // ours (mode 0700, owned by us) under the temporary folder; empty when
    // neither is safe to use.
    static std::string LockPath();

  private:
    int fd_ = -1;
};

}  // namespace vx
