// A tracking check from the window: the project researched on a thread of
// its own with the window's network settings, so the window never waits;
// what it found comes back as a signal on the GUI thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "engine/host.h"
#include "history/project_store.h"
#include "results/preferences.h"

namespace vx::ui {

class BackgroundFetcher;

class TrackCheck : public QObject {
    Q_OBJECT
  public:
    explicit TrackCheck(std::string historyPath, QObject* parent = nullptr);
    // Stops a check in flight and waits for it: the terms it finished stay.
    ~TrackCheck() override;

    bool Running() const { return thread_.joinable() && !done_; }
    // False when a check is running already.
    bool Start(const TrackingProject& project, const Preferences& preferences);
    void Stop();

  signals:
    void Progress(const QString& text);
    // summary: what the status says; moves: "term: 4 → 2" lines, biggest
    // first; notice: the notification's summary and body, empty when
    // nothing moved.
    void Finished(const QString& summary, const QStringList& moves, const QString& noticeSummary,
                  const QString& noticeBody);

  private:
    void Run(TrackingProject project, Preferences preferences);

    std::string historyPath_;
    StopFlag stop_;
    std::shared_ptr<BackgroundFetcher> fetcher_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace vx::ui
