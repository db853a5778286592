// A connection to the sound server over the PulseAudio protocol (PulseAudio
// or PipeWire): one threaded main loop with one context.
#pragma once

#include <pulse/pulseaudio.h>

namespace winmm::pulse {

// How long a connection or a stream may take to come up before we give up:
// an unreachable server must not freeze the applet.
inline constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;

void Log(const char* call, const char* detail);

// A context of Kelvo's on `api`, not yet connected; nullptr when out of memory.
pa_context* NewContext(pa_mainloop_api* api);

// A main loop with a connected context. Every method that touches libpulse
// expects the loop's lock to be held, as the threaded main loop requires.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    bool Connect();

    pa_threaded_mainloop* loop() const { return loop_; }
    pa_context* context() const { return context_; }

    class Lock {
    public:
        explicit Lock(Connection& c) : loop_(c.loop_) { pa_threaded_mainloop_lock(loop_); }
        ~Lock() { pa_threaded_mainloop_unlock(loop_); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* loop_;
    };

    // Waits (lock held) until `done` holds or `timeout` passes.
    template <typename Pred>
    bool WaitUntil(Pred done, pa_usec_t timeout = kConnectTimeout)
    {
        Deadline deadline{loop_, false};
        pa_time_event* timer =
            pa_context_rttime_new(context_, pa_rtclock_now() + timeout, &Deadline::Expire, &deadline);
        while (!done() && !deadline.expired) pa_threaded_mainloop_wait(loop_);
        if (timer) pa_threaded_mainloop_get_api(loop_)->time_free(timer);
        return done();
    }

    void Signal() { pa_threaded_mainloop_signal(loop_, 0); }

private:
    struct Deadline {
        pa_threaded_mainloop* loop;
        bool expired;

        static void Expire(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
        {
            auto* self = static_cast<Deadline*>(userdata);
            self->expired = true;
            pa_threaded_mainloop_signal(self->loop, 0);
        }
    };

    static void OnContextState(pa_context*, void* userdata);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace winmm::pulse
