#include "shell/session_bus.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace shell {

int BusFailure(const char* call, int result)
{
    if (result < 0) std::fprintf(stderr, "kelvo: session bus: %s failed: %s\n", call, std::strerror(-result));
    return result;
}

std::unique_ptr<SessionBus> SessionBus::Open()
{
    sd_bus* bus = nullptr;
    if (BusFailure("sd_bus_open_user", sd_bus_open_user(&bus)) < 0) return nullptr;
    return std::unique_ptr<SessionBus>(new SessionBus(bus));
}

SessionBus::SessionBus(sd_bus* bus)
    : bus_(bus),
      readable_(sd_bus_get_fd(bus), QSocketNotifier::Read),
      writable_(sd_bus_get_fd(bus), QSocketNotifier::Write)
{
    connect(&readable_, &QSocketNotifier::activated, this, &SessionBus::Dispatch);
    connect(&writable_, &QSocketNotifier::activated, this, &SessionBus::Dispatch);
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, &SessionBus::Dispatch);
    Arm();
}

SessionBus::~SessionBus() = default;

void SessionBus::Sent()
{
    Arm();
}

void SessionBus::Answer()
{
    while (sd_bus_process(bus_.get(), nullptr) > 0) {}
}

void SessionBus::Dispatch()
{
    int result;
    while ((result = sd_bus_process(bus_.get(), nullptr)) > 0) {}
    if (result < 0) {
        // The bus went away: nothing more will come, and a closed socket
        // would wake us for ever.
        BusFailure("sd_bus_process", result);
        readable_.setEnabled(false);
        writable_.setEnabled(false);
        timeout_.stop();
        return;
    }
    Arm();
}

void SessionBus::Arm()
{
    const int events = sd_bus_get_events(bus_.get());
    if (events < 0) return;
    writable_.setEnabled(events & POLLOUT);
    std::uint64_t until = 0;
    if (sd_bus_get_timeout(bus_.get(), &until) < 0 || until == UINT64_MAX) {
        timeout_.stop();
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUs = std::uint64_t(now.tv_sec) * 1000000u + std::uint64_t(now.tv_nsec) / 1000u;
    const std::uint64_t waitMs = until > nowUs ? (until - nowUs + 999) / 1000 : 0;
    timeout_.start(static_cast<int>(std::min<std::uint64_t>(waitMs, 60000)));
}

}  // namespace shell
