#include "ui/tracking/TrackCheck.h"

#include <ctime>

#include "engine/headless_run.h"
#include "history/history_choice.h"
#include "tracking/project_check.h"
#include "ui/forms/BackgroundFetch.h"
#include "ui/forms/PreferencesForm.h"

namespace vx::ui {

TrackCheck::TrackCheck(std::string historyPath, QObject* parent)
    : QObject(parent), historyPath_(std::move(historyPath)) {}

TrackCheck::~TrackCheck() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

void TrackCheck::Stop() {
    stop_.Set();
    if (fetcher_) fetcher_->Cancel();
}

bool TrackCheck::Start(const TrackingProject& project, const Preferences& preferences) {
    if (Running()) return false;
    if (thread_.joinable()) thread_.join();
    stop_.Clear();
    done_ = false;
    fetcher_ = std::make_shared<BackgroundFetcher>(NetLimitsFor(preferences));
    thread_ = std::thread([this, project, preferences] { Run(project, preferences); });
    return true;
}

void TrackCheck::Run(TrackingProject project, Preferences preferences) {
    QString summary;
    QStringList moves;
    CheckNotice notice;
    try {
        const auto history = OpenHistory(historyPath_, true);
        const CheckLock lock(*history, historyPath_);
        if (!lock.Held()) {
            summary = QStringLiteral("Another check is running; try again when it is done");
        } else {
            const CheckSettings settings = CheckSettingsFor(preferences);
            std::string refused;
            const auto fetcher = fetcher_;
            const CheckRunner run = [&](const TrackingProject& p, const HeadlessResearch& research,
                                        ResultsTable& table) {
                HeadlessResearch request = research;
                request.sources = ServicesOf(p, preferences);
                // The addresses a research from this window asks.
                request.hosts = ServiceHostsFor(preferences);
                if (!request.sources.error.empty()) {
                    refused = request.sources.error;
                    return RunOutcome{};
                }
                request.fetchRequest = [fetcher](const ServiceRequest& r) {
                    return fetcher->FetchAnyThread(r);
                };
                request.onProgress = [this, name = p.name](const RunProgress& progress) {
                    emit Progress(QString::fromStdString(name + ": " + progress.Text()));
                };
                return RunHeadlessResearch(
                    request, table,
                    [fetcher](const std::string& url) { return fetcher->FetchAnyThread(url); },
                    stop_, [fetcher] { fetcher->Cancel(); });
            };
            const CheckReport report =
                CheckProject(*history, project, run, settings, std::time(nullptr));
            std::string said = !refused.empty()
                                   ? "Cannot check " + project.name + ": " + refused
                                   : project.name + ": " + std::to_string(report.finished) +
                                         " of " + std::to_string(report.terms) + " terms checked";
            if (refused.empty() && report.outcome.stopped) said += ", stopped";
            if (!report.outcome.gaveUp.empty()) said += "; " + report.outcome.gaveUp;
            if (!report.notice.empty()) said += "; " + report.notice;
            if (refused.empty())
                said += report.moves.empty()
                            ? "; nothing moved"
                            : "; " + std::to_string(report.moves.size()) +
                                  (report.moves.size() == 1 ? " term moved" : " terms moved");
            summary = QString::fromStdString(said);
            for (const RankMove& m : report.moves)
                moves << QString::fromStdString(m.term + ": " + RankText(m.before) +
                                                " \xE2\x86\x92 " + RankText(m.after));
            if (!report.moves.empty()) notice = NoticeOf(project.name, report.moves);
        }
    } catch (const std::exception& e) {
        summary = QStringLiteral("Cannot check: ") + QString::fromStdString(e.what());
    }
    done_ = true;
    emit Finished(summary, moves, QString::fromStdString(notice.summary),
                  QString::fromStdString(notice.body));
}

}  // namespace vx::ui
