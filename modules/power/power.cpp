// The power module: restarts or switches off the computer through
// systemd-logind on the system bus.

#include "modules/power/powerapi.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <type_traits>

namespace {

// logind answers at once whether it grants the request or not; a bus that
// does not answer must not hold the caller much longer than that.
constexpr std::uint64_t kReplyTimeoutUsec = 5'000'000;

const char* methodFor(int code) {
    switch (code) {
    case ZV_POWER_RESTART:
        return "Reboot";
    case ZV_POWER_OFF:
        return "PowerOff";
    default:
        return nullptr;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) void NT_Reboot(int code) {
    const char* method = methodFor(code);
    if (!method)
        return;

    // sd_bus_open_system honours DBUS_SYSTEM_BUS_ADDRESS. A connection of our
    // own, not the process's shared default one, so nothing is left behind.
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return;

    sd_bus_message* call = nullptr;
    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       method) >= 0 &&
        // Not interactive: no password prompt may appear; if the system's
        // policy does not allow it outright, the request is refused.
        sd_bus_message_append(call, "b", 0) >= 0) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        // Refusals, a missing logind and time-outs all end up here, unreported.
        sd_bus_call(bus, call, kReplyTimeoutUsec, &error, &reply);
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
    }
    sd_bus_message_unref(call);
    sd_bus_flush_close_unref(bus);
}

static_assert(std::is_same_v<decltype(&NT_Reboot), zv_nt_reboot_fn>);
