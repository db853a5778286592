#include "winmm/pulse_connection.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <system_error>

namespace winmm::pulse {

void Log(const char* call, const char* detail)
{
    std::fprintf(stderr, "kelvo: sound: %s failed: %s\n", call, detail);
}

pa_context* NewContext(pa_mainloop_api* api)
{
    // A few kB/s of sound come as well through the socket: a shared
    // memory pool would only add its touched pages (~230 kB) to ours.
    pa_proplist* props = pa_proplist_new();
    if (!props) return nullptr;
    pa_proplist_sets(props, PA_PROP_CONTEXT_FORCE_DISABLE_SHM, "1");
    pa_context* context = pa_context_new_with_proplist(api, "Kelvo", props);
    pa_proplist_free(props);
    return context;
}

Connection::~Connection()
{
    if (!loop_) return;
    StopThread();
    wait_.reset();
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_mainloop_free(loop_);
}

bool Connection::Connect()
{
    loop_ = pa_mainloop_new();
    if (!loop_) return Log("pa_mainloop_new", "out of memory"), false;
    pa_mainloop_set_poll_func(loop_, &Connection::Poll, this);
    context_ = NewContext(pa_mainloop_get_api(loop_));
    if (!context_) return Log("pa_context_new", "out of memory"), false;
    pa_context_set_state_callback(context_, &Connection::OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        // No server at all is an ordinary answer, not worth a log line.
        return false;
    }
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return Log("std::thread", "no thread"), false;
    }

    Lock lock(*this);
    const bool ok = WaitUntil([this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    return ok && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

// The loop's own thread: it holds the lock but while it polls.
void Connection::Run()
{
    std::lock_guard lock(mutex_);
    while (!quit_) {
        if (pa_mainloop_iterate(loop_, 1, nullptr) < 0) break;
    }
}

void Connection::StopThread()
{
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);  // taken while the thread polls
        quit_ = true;
        pa_mainloop_wakeup(loop_);
    }
    thread_.join();
}

void Connection::RunOn(LoopHost& host)
{
    StopThread();
    std::lock_guard lock(mutex_);
    polling_ = Polling::Hosted;
    hostThread_ = std::this_thread::get_id();
    wait_ = host.Wait([this] { Iterate(); });
    Iterate();
}

void Connection::WaitOnce(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_, std::adopt_lock);
    if (hostThread_ == std::this_thread::get_id()) {
        // Nobody else runs this loop: run it here, for the server's events only.
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        const auto micros = static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
        polling_ = Polling::Blocking;
        if (pa_mainloop_prepare(loop_, micros) >= 0 && pa_mainloop_poll(loop_) >= 0) {
            pa_mainloop_dispatch(loop_);
        }
        polling_ = Polling::Hosted;
    } else {
        Poke();
        woken_.wait_until(lock, deadline);
    }
    lock.release();
}

// The host woke us: run the loop until a poll finds nothing ready, then arm
// the host's wait with what that poll asked for. A round with work deferred
// to it does not poll at all.
void Connection::Iterate()
{
    std::lock_guard lock(mutex_);
    if (!wait_) return;
    iterating_ = true;
    yielded_ = false;
    bool idle = false;
    bool failed = false;
    for (int round = 0; round < 64 && !idle && !yielded_ && !failed; ++round) {
        polled_ = false;
        const int ready = pa_mainloop_prepare(loop_, -1) < 0 ? -1 : pa_mainloop_poll(loop_);
        failed = ready < 0 || pa_mainloop_dispatch(loop_) < 0;
        idle = polled_ && ready == 0 && timeoutMs_ != 0;
    }
    iterating_ = false;
    if (yielded_) {
        // Nothing is watched until the poke, which, posted after the block's
        // wakeup, comes after it.
        std::vector<pollfd> quiet = fds_;
        for (pollfd& fd : quiet) fd.events = 0;
        wait_->Arm(quiet.data(), quiet.size(), -1);
        wait_->Poke();
        return;
    }
    wait_->Arm(fds_.data(), fds_.size(), timeoutMs_);
    if (!idle && !failed) wait_->Poke();  // more to do than the rounds allowed
}

void Connection::Poke()
{
    if (!wait_) return;
    if (iterating_ && hostThread_ == std::this_thread::get_id()) return;  // armed when the round ends
    wait_->Poke();
}

int Connection::Poll(pollfd* fds, unsigned long count, int timeout, void* userdata)
{
    auto* self = static_cast<Connection*>(userdata);
    switch (self->polling_) {
    case Polling::Unlocked: {
        self->mutex_.unlock();
        const int ready = ::poll(fds, count, timeout);
        self->mutex_.lock();
        return ready;
    }
    case Polling::Hosted:
        self->polled_ = true;
        self->fds_.assign(fds, fds + count);
        self->timeoutMs_ = timeout;
        return ::poll(fds, count, 0);
    case Polling::Blocking:
        return ::poll(fds, count, timeout);
    }
    return -1;
}

void Connection::OnContextState(pa_context*, void* userdata)
{
    static_cast<Connection*>(userdata)->Signal();
}

}  // namespace winmm::pulse
