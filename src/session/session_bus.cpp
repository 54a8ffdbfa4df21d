#include "session/session_bus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>

namespace vx {

SessionBus::SessionBus() {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    if (r < 0) {
        error_ = r == -ENOMEDIUM || r == -ENOENT || r == -ECONNREFUSED
                     ? "there is no session bus"
                     : std::string("cannot reach the session bus: ") + std::strerror(-r);
        return;
    }
    bus_ = bus;
}

SessionBus::~SessionBus() {
    if (bus_) sd_bus_flush_close_unref(bus_);
}

std::string BusErrorText(const sd_bus_error& error, int code) {
    if (error.message && *error.message) return error.message;
    if (error.name && *error.name) return error.name;
    return std::strerror(code < 0 ? -code : code);
}

bool NobodyAnswers(const sd_bus_error& error) {
    return sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_NAME_HAS_NO_OWNER);
}

}  // namespace vx
