// The headless tool's rank tracking: checks (due ones, or one project now),
// the projects listed, terms added and removed; a server has no window.
#pragma once

#include <optional>

namespace vx::tool {

// When the arguments ask a tracking mode (--track [NAME], --track-list,
// --track-add NAME, --track-remove NAME), its exit code; none otherwise.
std::optional<int> TrackMain(int argc, char** argv, char sep);

}  // namespace vx::tool
