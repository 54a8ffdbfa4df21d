// Tracking projects in the research history: a site, its page depth, its
// services and the terms checked on a schedule, with what each check found.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace vx {

// A rank as a check found it: a place from 1, kNotRanked when the site was
// not within the page depth, none when the check could not tell ("?").
constexpr int kNotRanked = 0;
using Rank = std::optional<int>;
// The rank a row's text says: "12" -> 12, "-" -> kNotRanked, else none.
Rank RankOfText(std::string_view text);

struct TrackingProject {
    int64_t id = 0;
    std::string name, site, depth = "3";
    std::string suggestService, searchService;  // as Preferences holds them
    int intervalHours = 24;
    std::optional<std::time_t> lastCheck;
    int terms = 0;  // tracked, paused ones included
};

struct TrackedTerm {
    std::string term;
    bool paused = false;
    Rank best;  // the best place any check found; none before one did
    // The term's rank in the project's last checks, oldest first; a check
    // that did not hold the term (added later, paused) gives none.
    std::vector<Rank> recent;
    Rank Latest() const { return recent.empty() ? std::nullopt : recent.back(); }
    Rank Previous() const { return recent.size() < 2 ? std::nullopt : recent[recent.size() - 2]; }
};

// Tracking projects of an open history; changes need one opened for
// writing (HistoryError otherwise). Terms are matched by their case
// folding, as the history does.
class ProjectStore {
  public:
    virtual ~ProjectStore() = default;
    virtual std::vector<TrackingProject> Projects() const = 0;  // by name
    virtual std::optional<TrackingProject> Find(std::string_view name) const = 0;
    // Makes the project, or changes its site, depth and services when given
    // (an empty text keeps what it has); its id.
    virtual int64_t Save(const TrackingProject& project) = 0;
    virtual bool Remove(std::string_view name) = 0;
    // Adds the terms not tracked yet, in order; how many were new.
    virtual int AddTerms(int64_t project, const std::vector<std::string>& terms) = 0;
    virtual int RemoveTerms(int64_t project, const std::vector<std::string>& terms) = 0;
    virtual void SetPaused(int64_t project, std::string_view term, bool paused) = 0;
    // The terms in the order added, each with its last `checks` ranks.
    virtual std::vector<TrackedTerm> Terms(int64_t project, int checks = 30) const = 0;
    // The terms a check asks: those not paused, in the order added.
    virtual std::vector<std::string> ActiveTerms(int64_t project) const = 0;
    // Best ranks follow what a check's run found (a stopped one's too).
    virtual void KeepBest(int64_t project, int64_t run) = 0;
    // The project was checked whole at `when`: the next check is due an
    // interval later.
    virtual void MarkChecked(int64_t project, std::time_t when) = 0;
};

// The projects of this computer's history.
class LocalProjectStore : public ProjectStore {
  public:
    explicit LocalProjectStore(HistoryStore& history);
    std::vector<TrackingProject> Projects() const override;
    std::optional<TrackingProject> Find(std::string_view name) const override;
    int64_t Save(const TrackingProject& project) override;
    bool Remove(std::string_view name) override;
    int AddTerms(int64_t project, const std::vector<std::string>& terms) override;
    int RemoveTerms(int64_t project, const std::vector<std::string>& terms) override;
    void SetPaused(int64_t project, std::string_view term, bool paused) override;
    std::vector<TrackedTerm> Terms(int64_t project, int checks = 30) const override;
    std::vector<std::string> ActiveTerms(int64_t project) const override;
    void KeepBest(int64_t project, int64_t run) override;
    void MarkChecked(int64_t project, std::time_t when) override;

  private:
    void NeedWriter() const;
    HistoryStore& history_;
};

// The projects of whichever history this is.
std::unique_ptr<ProjectStore> ProjectsOf(RunHistory& history);

}  // namespace vx
