// A connection of our own to the session bus, served on the GUI thread from
// Qt's event loop. An item that its host reads at every frame would otherwise
// hand each message to the toolkit's bus thread and back, and those
// hand-overs cost more than the messages.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>

namespace shell {

struct BusSlotRelease {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
// An object, a match or a call of ours on a bus; gone with it.
using BusSlot = std::unique_ptr<sd_bus_slot, BusSlotRelease>;
struct BusMessageRelease {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using BusMessage = std::unique_ptr<sd_bus_message, BusMessageRelease>;

// The methods of our objects answer any caller on the user's own bus.
constexpr std::uint64_t kAnyCaller = SD_BUS_VTABLE_UNPRIVILEGED;

class SessionBus : public QObject {
public:
    // nullptr, with the reason on stderr, when there is no session bus.
    static std::unique_ptr<SessionBus> Open();
    ~SessionBus() override;

    sd_bus* get() const { return bus_.get(); }
    // False once the bus has gone: there is no one left to tell anything.
    bool Connected() const { return sd_bus_is_open(bus_.get()) > 0; }
    // After a send from outside a call's handler: what the socket could not
    // take at once goes out when it can.
    void Sent();
    // Answers the calls that have already arrived.
    void Answer();

private:
    struct Close {
        void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
    };
    explicit SessionBus(sd_bus* bus);
    void Dispatch();
    void Arm();

    std::unique_ptr<sd_bus, Close> bus_;
    QSocketNotifier readable_;
    QSocketNotifier writable_;
    QTimer timeout_;
};

// Logs a failed bus call by name; passes `result` through.
int BusFailure(const char* call, int result);

// Answers `call` with what `fill` appends; a negative result from `fill`
// (an sd-bus error) becomes the caller's error reply.
template <typename Fill>
int Reply(sd_bus_message* call, Fill fill)
{
    sd_bus_message* raw = nullptr;
    int result = sd_bus_message_new_method_return(call, &raw);
    if (result < 0) return result;
    const BusMessage reply(raw);
    result = fill(raw);
    return result < 0 ? result : sd_bus_send(nullptr, raw, nullptr);
}

}  // namespace shell
