// Records runs on a thread of its own, one after another, so the window
// never waits on the disk. The thread opens the history when it first needs
// it; queued records are all written before the writer is destroyed.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "history/history_store.h"

namespace vx {

class HistoryWriter {
  public:
    // Told on the writer's thread whether the run was kept, and what the
    // user must hear once: empty when all is well, else why it was not kept,
    // or a damaged history put aside, or the shared history that could not
    // take it (the run kept on this computer).
    using Done = std::function<void(const std::string& message, bool kept)>;

    // path: the SQLite file, or a shared history's postgresql:// URL.
    explicit HistoryWriter(std::string path);
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    void Record(HistoryRun run, std::vector<ResultRow> rows, Done done = {});
    // Returns once everything queued so far is written.
    void Flush();

  private:
    struct Job {
        HistoryRun run;
        std::vector<ResultRow> rows;
        Done done;
    };
    void Work();

    std::string path_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    bool busy_ = false, closing_ = false;
    std::thread thread_;
};

}  // namespace vx
