// Hears of the sound server's new, changed and removed sources and of its
// new defaults, on a connection of its own that subscribes to them and
// comes back when the server does.
#include "winmm/capture_driver.h"
#include "winmm/pulse_connection.h"

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace winmm {
namespace {

// How long after the server went away the watch looks for it again.
constexpr pa_usec_t kRetry = 2 * PA_USEC_PER_SEC;

class PulseSourceWatch final : public SourceWatch {
public:
    explicit PulseSourceWatch(std::function<void()> changed) : changed_(std::move(changed)) {}
    PulseSourceWatch(const PulseSourceWatch&) = delete;
    PulseSourceWatch& operator=(const PulseSourceWatch&) = delete;

    ~PulseSourceWatch() override
    {
        if (!loop_) return;
        pa_threaded_mainloop_stop(loop_);
        if (retry_) Api()->time_free(retry_);
        DropContext();
        pa_threaded_mainloop_free(loop_);
    }

    // The loop's thread is not running yet: nothing to lock.
    bool Start()
    {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return false;
        Connect();
        return pa_threaded_mainloop_start(loop_) >= 0;
    }

private:
    pa_mainloop_api* Api() const { return pa_threaded_mainloop_get_api(loop_); }

    void Connect()
    {
        context_ = pulse::NewContext(Api());
        if (!context_) return RetryLater();
        pa_context_set_state_callback(context_, &PulseSourceWatch::OnState, this);
        pa_context_set_subscribe_callback(context_, &PulseSourceWatch::OnEvent, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) RetryLater();
    }

    void DropContext()
    {
        if (!context_) return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    // The context is dropped by the timer, not inside its own callback.
    void RetryLater()
    {
        if (retry_) return;
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), kRetry);
        retry_ = Api()->time_new(Api(), &when, &PulseSourceWatch::OnRetry, this);
    }

    static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const timeval*, void* userdata)
    {
        auto* self = static_cast<PulseSourceWatch*>(userdata);
        api->time_free(event);
        self->retry_ = nullptr;
        self->DropContext();
        self->Connect();
    }

    static void OnState(pa_context* c, void* userdata)
    {
        auto* self = static_cast<PulseSourceWatch*>(userdata);
        const pa_context_state_t state = pa_context_get_state(c);
        if (state == PA_CONTEXT_READY) {
            const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
            if (pa_operation* op = pa_context_subscribe(c, mask, nullptr, nullptr)) pa_operation_unref(op);
            self->changed_();  // a server that is back may have other sources
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            if (self->wasReady_) self->changed_();  // its sources went with it
            self->RetryLater();
        }
        self->wasReady_ = state == PA_CONTEXT_READY;
    }

    static void OnEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata)
    {
        static_cast<PulseSourceWatch*>(userdata)->changed_();
    }

    const std::function<void()> changed_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* retry_ = nullptr;
    bool wasReady_ = false;
};

}  // namespace

std::unique_ptr<SourceWatch> MakePulseSourceWatch(std::function<void()> changed)
{
    auto watch = std::make_unique<PulseSourceWatch>(std::move(changed));
    if (!watch->Start()) return nullptr;
    return watch;
}

}  // namespace winmm
