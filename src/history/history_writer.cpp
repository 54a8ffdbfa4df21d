#include "history/history_writer.h"

#include <memory>

#include "history/history_choice.h"

namespace vx {

HistoryWriter::HistoryWriter(std::string path) : path_(std::move(path)) {
    thread_ = std::thread([this] { Work(); });
}

HistoryWriter::~HistoryWriter() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void HistoryWriter::Record(HistoryRun run, std::vector<ResultRow> rows, Done done) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(run), std::move(rows), std::move(done)});
    }
    changed_.notify_all();
}

void HistoryWriter::Flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void HistoryWriter::Work() {
    std::unique_ptr<HistoryStore> store;
    std::unique_lock lock(mutex_);
    while (true) {
        changed_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
        if (jobs_.empty()) return;  // closing, everything written
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        std::string message;
        bool kept = false;
        try {
            if (IsSharedHistoryUrl(path_)) {
                // Kept on this computer when the shared one cannot take it.
                message = RecordShared(path_, job.run, job.rows).notice;
                kept = true;
            } else {
                if (!store) store = std::make_unique<HistoryStore>(path_, HistoryStore::Use::Write);
                const std::string asideBefore = store->SetAside();
                store->Record(job.run, job.rows);
                kept = true;
                if (store->SetAside() != asideBefore) message = SetAsideNotice(store->SetAside());
            }
        } catch (const std::exception& e) {
            message = std::string("could not record the run: ") + e.what();
            store.reset();  // opened afresh for the next run
        }
        if (job.done) job.done(message, kept);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

}  // namespace vx
