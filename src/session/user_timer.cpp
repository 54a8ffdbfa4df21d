#include "session/user_timer.h"

#include <systemd/sd-bus.h>

#include <cstdlib>

#include "session/session_bus.h"

namespace vx {

namespace {
constexpr const char* kSystemd = "org.freedesktop.systemd1";
constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
constexpr const char* kManager = "org.freedesktop.systemd1.Manager";
constexpr const char* kNoSystemd = "there is no user systemd here (a container, or another init)";

struct Reply {
    sd_bus_message* message = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Reply() {
        sd_bus_message_unref(message);
        sd_bus_error_free(&error);
    }
};

std::string Failure(const char* doing, const Reply& reply, int r) {
    if (NobodyAnswers(reply.error)) return kNoSystemd;
    return std::string(doing) + ": " + BusErrorText(reply.error, r);
}
}  // namespace

TimerState QueryTrackTimer() {
    TimerState state;
    SessionBus bus;
    if (!bus.Connected()) {
        state.why = bus.Error();
        return state;
    }
    Reply file;
    int r = sd_bus_call_method(bus.Handle(), kSystemd, kManagerPath, kManager, "GetUnitFileState",
                               &file.error, &file.message, "s", kTrackTimer);
    const char* fileState = nullptr;
    if (r >= 0) r = sd_bus_message_read(file.message, "s", &fileState);
    if (r < 0) {
        state.why = NobodyAnswers(file.error)
                        ? kNoSystemd
                        : "the timer is not installed: " + BusErrorText(file.error, r);
        return state;
    }
    state.available = true;
    state.enabled = fileState && std::string(fileState) == "enabled";
    Reply unit;
    const char* path = nullptr;
    if (sd_bus_call_method(bus.Handle(), kSystemd, kManagerPath, kManager, "LoadUnit", &unit.error,
                           &unit.message, "s", kTrackTimer) < 0 ||
        sd_bus_message_read(unit.message, "o", &path) < 0)
        return state;
    char* active = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (sd_bus_get_property_string(bus.Handle(), kSystemd, path, "org.freedesktop.systemd1.Unit",
                                   "ActiveState", &error, &active) >= 0) {
        state.active = std::string(active) == "active";
        free(active);
    }
    sd_bus_error_free(&error);
    uint64_t next = 0;
    if (sd_bus_get_property_trivial(bus.Handle(), kSystemd, path, "org.freedesktop.systemd1.Timer",
                                    "NextElapseUSecRealtime", &error, 't', &next) >= 0 &&
        next > 0 && state.active)
        state.next = static_cast<std::time_t>(next / 1000000);
    sd_bus_error_free(&error);
    return state;
}

std::string SwitchTrackTimer(bool on) {
    SessionBus bus;
    if (!bus.Connected()) return bus.Error();
    sd_bus* b = bus.Handle();
    const char* units[] = {kTrackTimer, nullptr};
    sd_bus_message* call = nullptr;
    Reply files;
    int r = sd_bus_message_new_method_call(b, &call, kSystemd, kManagerPath, kManager,
                                           on ? "EnableUnitFiles" : "DisableUnitFiles");
    if (r >= 0) r = sd_bus_message_append_strv(call, const_cast<char**>(units));
    if (r >= 0)
        r = on ? sd_bus_message_append(call, "bb", 0, 1) : sd_bus_message_append(call, "b", 0);
    if (r >= 0)
        r = sd_bus_call(b, call, SessionBus::kCallTimeoutUsec, &files.error, &files.message);
    sd_bus_message_unref(call);
    if (r < 0)
        return Failure(on ? "cannot enable the timer" : "cannot disable the timer", files, r);
    Reply reload;
    r = sd_bus_call_method(b, kSystemd, kManagerPath, kManager, "Reload", &reload.error,
                           &reload.message, "");
    if (r < 0) return Failure("cannot reload the user units", reload, r);
    Reply job;
    r = sd_bus_call_method(b, kSystemd, kManagerPath, kManager, on ? "StartUnit" : "StopUnit",
                           &job.error, &job.message, "ss", kTrackTimer, "replace");
    if (r < 0) return Failure(on ? "cannot start the timer" : "cannot stop the timer", job, r);
    return "";
}

}  // namespace vx
