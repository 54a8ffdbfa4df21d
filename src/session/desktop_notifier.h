// Desktop notifications through org.freedesktop.Notifications on the
// session bus, for the headless tool and the window alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/session_bus.h"

namespace vx {

class DesktopNotifier {
  public:
    DesktopNotifier();
    ~DesktopNotifier();
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    // The notification's id; none when it could not be shown (Error says
    // why: no session bus, no notification server, a refusal). With
    // openAction it offers "Open", which only a program that watches Fd()
    // and calls Opened() can answer.
    std::optional<uint32_t> Send(const std::string& summary, const std::string& body,
                                 bool openAction = false);
    const std::string& Error() const { return error_; }

    // The bus connection's descriptor to watch for reading (-1: none).
    int Fd() const;
    // Reads what arrived; the ids of this program's notifications whose Open
    // was chosen since the last call.
    std::vector<uint32_t> Opened();

  private:
    SessionBus bus_;
    std::string error_;
    sd_bus_slot* match_ = nullptr;
    std::vector<uint32_t> sent_, opened_;
    static int OnAction(sd_bus_message* m, void* self, sd_bus_error*);
};

}  // namespace vx
