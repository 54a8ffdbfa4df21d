// The tracking checks' systemd user timer, switched through the systemd
// manager's D-Bus API on the session bus (what `systemctl --user` does).
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace vx {

constexpr const char* kTrackTimer = "vexorin-track.timer";

struct TimerState {
    // False where there is no user systemd (a container, another init);
    // why says so.
    bool available = false;
    std::string why;
    bool enabled = false;  // starts with the user's session
    bool active = false;   // waiting to run
    std::optional<std::time_t> next;
};

TimerState QueryTrackTimer();
// Enables and starts the timer, or stops and disables it; the error in
// words, empty when it worked.
std::string SwitchTrackTimer(bool on);

}  // namespace vx
