// Tracking projects in a team's PostgreSQL history: the same tables and
// meanings as this computer's, so a server's scheduled checks show on every
// desktop.
#pragma once

#include "history/pg_history_store.h"
#include "history/project_store.h"

namespace vx {

class PgProjectStore : public ProjectStore {
  public:
    explicit PgProjectStore(PgHistoryStore& history);
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
    // Runs several statements as one: all or nothing.
    template <class Action>
    void InTransaction(Action action);
    PgHistoryStore& history_;
};

}  // namespace vx
