// The event pump of the user-interface thread.
#pragma once

namespace user {

// Handles every pending event once and returns.
void DoEvents();
// Handles pending events; when there are none, blocks until one arrives or
// WakeMessagePump is called.
void WaitAndDoEvents();
// Callable from any thread.
void WakeMessagePump();
// Whether the connection to the display server has broken (the server went
// away, as at a logout); false without one. The first call, made on the
// user-interface thread once the application object exists, looks the
// connection up; later calls may come from any thread.
bool DisplayConnectionBroken();

}  // namespace user
