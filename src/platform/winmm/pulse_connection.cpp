#include "winmm/pulse_connection.h"

#include <cstdio>

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
    pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    pa_threaded_mainloop_free(loop_);
}

bool Connection::Connect()
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_) return Log("pa_threaded_mainloop_new", "out of memory"), false;
    context_ = NewContext(pa_threaded_mainloop_get_api(loop_));
    if (!context_) return Log("pa_context_new", "out of memory"), false;
    pa_context_set_state_callback(context_, &Connection::OnContextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        // No server at all is an ordinary answer, not worth a log line.
        return false;
    }
    if (pa_threaded_mainloop_start(loop_) < 0) return Log("pa_threaded_mainloop_start", "no thread"), false;

    Lock lock(*this);
    const bool ok = WaitUntil([this] {
        const pa_context_state_t s = pa_context_get_state(context_);
        return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
    });
    return ok && pa_context_get_state(context_) == PA_CONTEXT_READY;
}

void Connection::OnContextState(pa_context*, void* userdata)
{
    static_cast<Connection*>(userdata)->Signal();
}

}  // namespace winmm::pulse
