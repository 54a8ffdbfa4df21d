#include "session/desktop_notifier.h"

#include <systemd/sd-bus.h>

#include <algorithm>
#include <utility>

namespace vx {

namespace {
constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// Frees a message or an error however the call ends.
struct Call {
    sd_bus_message* message = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Call() {
        sd_bus_message_unref(message);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
    }
};
}  // namespace

DesktopNotifier::DesktopNotifier() {
    if (!bus_.Connected()) error_ = bus_.Error();
}

DesktopNotifier::~DesktopNotifier() {
    sd_bus_slot_unref(match_);
}

std::optional<uint32_t> DesktopNotifier::Send(const std::string& summary, const std::string& body,
                                              bool openAction) {
    if (!bus_.Connected()) return std::nullopt;
    sd_bus* bus = bus_.Handle();
    // Watched before sending, so no choice can come before the match.
    if (openAction && !match_)
        sd_bus_match_signal(bus, &match_, nullptr, kPath, kService, "ActionInvoked", OnAction,
                            this);
    Call c;
    int r = sd_bus_message_new_method_call(bus, &c.message, kService, kPath, kService, "Notify");
    // "default" is a click on the notification, "open" a button of its own.
    const char* withOpen[] = {"default", "Open", "open", "Open", nullptr};
    const char* none[] = {nullptr};
    if (r >= 0)
        r = sd_bus_message_append(c.message, "susss", "Vexorin", 0u, "vexorin", summary.c_str(),
                                  body.c_str());
    if (r >= 0)
        r = sd_bus_message_append_strv(c.message, const_cast<char**>(openAction ? withOpen : none));
    if (r >= 0)
        r = sd_bus_message_append(c.message, "a{sv}i", 1, "desktop-entry", "s", "vexorin", -1);
    if (r >= 0) r = sd_bus_call(bus, c.message, SessionBus::kCallTimeoutUsec, &c.error, &c.reply);
    uint32_t id = 0;
    if (r >= 0) r = sd_bus_message_read(c.reply, "u", &id);
    if (r < 0) {
        error_ = NobodyAnswers(c.error)
                     ? "no notification server on the session bus"
                     : "the notification was refused: " + BusErrorText(c.error, r);
        return std::nullopt;
    }
    if (openAction) sent_.push_back(id);
    return id;
}

int DesktopNotifier::Fd() const {
    return bus_.Connected() ? sd_bus_get_fd(bus_.Handle()) : -1;
}

std::vector<uint32_t> DesktopNotifier::Opened() {
    if (bus_.Connected())
        while (sd_bus_process(bus_.Handle(), nullptr) > 0) {
        }
    return std::exchange(opened_, {});
}

int DesktopNotifier::OnAction(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* notifier = static_cast<DesktopNotifier*>(self);
    uint32_t id = 0;
    const char* action = nullptr;
    if (sd_bus_message_read(m, "us", &id, &action) < 0 || !action) return 0;
    const std::string key = action;
    // Servers tell every program of every choice: only ours count.
    if ((key == "open" || key == "default") &&
        std::find(notifier->sent_.begin(), notifier->sent_.end(), id) != notifier->sent_.end())
        notifier->opened_.push_back(id);
    return 0;
}

}  // namespace vx
