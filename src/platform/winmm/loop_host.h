// A thread with an event loop of its own (the one that draws) on which a
// record stream's sound server connection may run: a block then wakes that
// one thread, not a thread of the stream's and then the drawing one.
#pragma once

#include <poll.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace winmm {

// One connection's wait on the host's loop. Made, armed and destroyed on
// the host's thread.
class HostedWait {
public:
    virtual ~HostedWait() = default;
    // Until the next call: wake when one of `fds` is ready as its events ask
    // (POLLIN, POLLOUT), or after `timeoutMs` (-1: no time limit).
    virtual void Arm(const pollfd* fds, std::size_t count, int timeoutMs) = 0;
    // From any thread: wake soon, whatever is armed.
    virtual void Poke() = 0;
};

class LoopHost {
public:
    virtual ~LoopHost() = default;
    virtual bool OnHostThread() const = 0;
    // A wait that calls `wake` on the host's thread whenever it wakes.
    virtual std::unique_ptr<HostedWait> Wait(std::function<void()> wake) = 0;
};

// Streams started on `host`'s thread from now on run there (nullptr: each
// on a thread of its own).
void SetLoopHost(std::shared_ptr<LoopHost> host);
std::shared_ptr<LoopHost> CurrentLoopHost();

}  // namespace winmm
