// The user's session bus through sd-bus, which the headless tool can link
// (no Qt): a connection, and D-Bus errors in words.
#pragma once

#include <systemd/sd-bus.h>

#include <string>

namespace vx {

class SessionBus {
  public:
    // Connects to the session bus (DBUS_SESSION_BUS_ADDRESS, else the
    // user's); Connected() says whether it could, Error() why not.
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool Connected() const { return bus_ != nullptr; }
    const std::string& Error() const { return error_; }
    sd_bus* Handle() const { return bus_; }

    // Waits this long for a service's answer.
    static constexpr unsigned long long kCallTimeoutUsec = 5'000'000;

  private:
    sd_bus* bus_ = nullptr;
    std::string error_;
};

// "the name has no owner" style words for a failed call: the error's
// message, else its name, else the C error.
std::string BusErrorText(const sd_bus_error& error, int code);
// The call failed because nobody answers to the service's name.
bool NobodyAnswers(const sd_bus_error& error);

}  // namespace vx
