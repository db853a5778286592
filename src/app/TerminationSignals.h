// SIGTERM, SIGINT and SIGHUP end the applet whatever is open; a broken pipe
// does not.
#pragma once

#include <functional>

class QObject;

namespace kelvo {

// Installs the handlers. Called first thing, so that a signal that arrives
// during start-up is kept for when the event loop can answer it.
void InstallTerminationSignals();

// True once a termination signal has arrived.
bool TerminationRequested();

// Runs `terminate` on the user-interface thread, from whatever event loop is
// running, once for each signal (one already received included).
void OnTerminationSignal(QObject* context, std::function<void()> terminate);

// The toolkit ends the process itself, with status 1, when its display
// connection breaks (a logout; X11 or Wayland): `lost` runs then, and the applet ends with
// status 0. Set once start-up is over, so that what `lost` uses has been made
// by then; it holds until the returned watch goes, which must be before what
// `lost` uses and the application object do.
class DisplayLostWatch {
public:
    DisplayLostWatch() = default;
    DisplayLostWatch(const DisplayLostWatch&) = delete;
    DisplayLostWatch& operator=(const DisplayLostWatch&) = delete;
    ~DisplayLostWatch();
};
[[nodiscard]] DisplayLostWatch OnDisplayLost(std::function<void()> lost);

}  // namespace kelvo
