// A check of a tracking project: a research of its terms as a list,
// recorded in the history as a run of the project, compared with the
// checks before it.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "engine/headless_run.h"
#include "history/project_store.h"
#include "tracking/rank_moves.h"

namespace vx {

// A project is due when its interval has passed since its last whole check,
// less a little: the hourly timer's randomized delay must not push a daily
// check an hour later each day.
constexpr int kDueSlackSeconds = 20 * 60;
bool IsDue(const TrackingProject& project, std::time_t now);

// Runs the research a check asks for (the caller's network, the project's
// services) into the table.
using CheckRunner =
    std::function<RunOutcome(const TrackingProject&, const HeadlessResearch&, ResultsTable&)>;

struct CheckSettings {
    LookupPolicy policy = {.parallel = 4, .retries = 2};
    int movePlaces = kDefaultMovePlaces;
    char decimalSeparator = '.';
};

struct CheckReport {
    int64_t run = 0;        // the history's run; 0 when nothing was recorded
    int terms = 0;          // asked
    int finished = 0;       // terms whose rank was found, recorded
    bool complete = false;  // every term finished: the project counts as checked
    bool keptHere = false;  // the shared history went away: kept on this computer
    std::string notice;     // what the user hears of it; empty when all went well
    RunOutcome outcome;
    std::vector<RankMove> moves;
};

// What a check takes from the preferences: rows at once and retries (the
// environment's where set), and the places a move must reach.
CheckSettings CheckSettingsFor(const Preferences& preferences);
// The search service the project asks (its own, else the environment's,
// else Preferences'), made with its secrets; error set when it cannot be
// used. A check asks no suggestions, so their service is none of its
// concern.
ChosenSources ServicesOf(const TrackingProject& project, const Preferences& preferences);

// Checks the project now. A check stopped or given up half way records the
// terms it finished (and their best ranks) but leaves the project due, so
// the next check asks every term again.
CheckReport CheckProject(RunHistory& history, const TrackingProject& project,
                         const CheckRunner& run, const CheckSettings& settings, std::time_t now);

// Two checks never run at once: for this computer's history a kernel lock
// on a file beside it, for a team's a lock its server holds for every
// machine; either dropped when its holder ends, however it ends.
class CheckLock {
  public:
    // Locked, or not (held by another check: Held() false, no error);
    // raises std::runtime_error when the lock file cannot be made. where:
    // the history's file (empty: the default one) when it is a file.
    CheckLock(RunHistory& history, const std::string& where);
    ~CheckLock();
    CheckLock(const CheckLock&) = delete;
    CheckLock& operator=(const CheckLock&) = delete;
    bool Held() const { return fd_ >= 0 || serverHeld_; }

  private:
    int fd_ = -1;
    bool serverHeld_ = false;
};

// The crontab line that checks as the timer would, for a machine without a
// user systemd.
std::string CrontabLine();

}  // namespace vx
