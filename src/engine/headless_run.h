// A research run without a window: no events to pump, no Escape key, the
// dialog's entries given up front, status text dropped.
#pragma once

#include <string>

#include "engine/research.h"

namespace vx {

struct HeadlessResearch {
    std::string keyword;
    std::string site;
    std::string depthText = "3";
    int results = 10;
};

// Runs the real engine against the hosts from the environment; a fault that
// escapes the run is discarded, as the desktop's Start command does.
void RunHeadlessResearch(const HeadlessResearch& request, ResultsTable& table);

}  // namespace vx
