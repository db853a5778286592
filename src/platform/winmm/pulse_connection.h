// A connection to the sound server over the PulseAudio protocol (PulseAudio
// or PipeWire): one main loop with one context. The loop runs on a thread
// of its own until it is handed to a loop host's thread.
#pragma once

#include "winmm/loop_host.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace winmm::pulse {

// How long a connection or a stream may take to come up before we give up:
// an unreachable server must not freeze the applet.
inline constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;

void Log(const char* call, const char* detail);

// A context of Kelvo's on `api`, not yet connected; nullptr when out of memory.
pa_context* NewContext(pa_mainloop_api* api);

// A main loop with a connected context. Every method that touches libpulse
// expects the loop's lock to be held, as on the loop's own thread the loop
// runs with it held and lets go of it only while it polls.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    bool Connect();

    pa_context* context() const { return context_; }
    pa_mainloop_api* api() const { return loop_ ? pa_mainloop_get_api(loop_) : nullptr; }

    // From the loop's own thread to `host`'s; called there, without the lock.
    void RunOn(LoopHost& host);

    class Lock {
    public:
        explicit Lock(Connection& c) : c_(c) { c_.mutex_.lock(); }
        ~Lock()
        {
            c_.Poke();  // what was asked for goes out
            c_.mutex_.unlock();
        }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        Connection& c_;
    };

    // Waits (lock held) until `done` holds or `timeout` passes.
    template <typename Pred>
    bool WaitUntil(Pred done, pa_usec_t timeout = kConnectTimeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(timeout);
        while (!done() && std::chrono::steady_clock::now() < deadline) WaitOnce(deadline);
        if (hostThread_ == std::this_thread::get_id()) Iterate();
        return done();
    }

    void Signal() { woken_.notify_all(); }

    // On a host: the drawing thread takes the block just completed, and
    // queues the next buffer, before more sound is read.
    void Yield() { yielded_ = true; }

private:
    enum class Polling { Unlocked, Hosted, Blocking };

    void Run();
    void StopThread();
    void WaitOnce(std::chrono::steady_clock::time_point deadline);
    void Iterate();
    void Poke();
    static int Poll(pollfd* fds, unsigned long count, int timeout, void* userdata);
    static void OnContextState(pa_context*, void* userdata);

    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::recursive_mutex mutex_;
    std::condition_variable_any woken_;
    std::thread thread_;
    bool quit_ = false;
    Polling polling_ = Polling::Unlocked;
    // On a host: its wait, its thread, and what the last poll asked for.
    std::unique_ptr<HostedWait> wait_;
    std::atomic<std::thread::id> hostThread_{};
    bool iterating_ = false;
    bool yielded_ = false;
    bool polled_ = false;
    std::vector<pollfd> fds_;
    int timeoutMs_ = -1;
};

}  // namespace winmm::pulse
