// The capture driver over the PulseAudio protocol (PulseAudio or PipeWire):
// one threaded main loop and one record stream per open device.
#include "winmm/capture_driver.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace winmm {
namespace {

// How long a connection or a stream may take to come up before we give up:
// an unreachable server must not freeze the applet.
constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;
// Longest chunk the server hands us: the delay it adds to every frame.
constexpr double kMaxChunkSeconds = 0.050;

void Log(const char* call, const char* detail)
{
    std::fprintf(stderr, "kelvo: sound: %s failed: %s\n", call, detail);
}

// A main loop with a connected context. Every method that touches libpulse
// expects the loop's lock to be held, as the threaded main loop requires.
class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    ~Connection()
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

    bool Connect()
    {
        loop_ = pa_threaded_mainloop_new();
        if (!loop_) return Log("pa_threaded_mainloop_new", "out of memory"), false;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kelvo");
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

    // Waits (lock held) until `done` holds or the connect timeout passes.
    template <typename Pred>
    bool WaitUntil(Pred done)
    {
        Deadline deadline{loop_, false};
        pa_time_event* timer =
            pa_context_rttime_new(context_, pa_rtclock_now() + kConnectTimeout, &Deadline::Expire, &deadline);
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

    static void OnContextState(pa_context*, void* userdata)
    {
        static_cast<Connection*>(userdata)->Signal();
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

class PulseStream final : public CaptureStream {
public:
    PulseStream(const WAVEFORMATEX& format, CaptureSink& sink) : format_(format), sink_(sink) {}

    ~PulseStream() override
    {
        if (!stream_) return;
        {
            Connection::Lock lock(connection_);
            pa_stream_set_read_callback(stream_, nullptr, nullptr);
            pa_stream_set_state_callback(stream_, nullptr, nullptr);
            pa_context_set_state_callback(connection_.context(), nullptr, nullptr);
            pa_stream_disconnect(stream_);
            pa_stream_unref(stream_);
        }
        // ~Connection stops the loop thread: no callback runs after this.
    }

    MMRESULT Open()
    {
        if (!connection_.Connect()) return MMSYSERR_NODRIVER;
        Connection::Lock lock(connection_);

        pa_sample_spec spec{};
        spec.format = format_.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
        spec.rate = format_.nSamplesPerSec;
        spec.channels = static_cast<std::uint8_t>(format_.nChannels);
        if (!pa_sample_spec_valid(&spec)) return WAVERR_BADFORMAT;

        stream_ = pa_stream_new(connection_.context(), "Kelvo", &spec, nullptr);
        if (!stream_) {
            Log("pa_stream_new", pa_strerror(pa_context_errno(connection_.context())));
            return MMSYSERR_NOMEM;
        }
        pa_stream_set_state_callback(stream_, &PulseStream::OnStreamState, this);
        pa_stream_set_read_callback(stream_, &PulseStream::OnRead, this);
        pa_context_set_state_callback(connection_.context(), &PulseStream::OnContextState, this);

        chunk_ = ChunkFor(static_cast<std::size_t>(format_.nAvgBytesPerSec * 0.150));
        pa_buffer_attr attr = Attributes(chunk_);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        // A null device is the default source; PULSE_SOURCE overrides it.
        if (pa_stream_connect_record(stream_, nullptr, &attr, flags) < 0) {
            Log("pa_stream_connect_record", pa_strerror(pa_context_errno(connection_.context())));
            return MMSYSERR_ALLOCATED;
        }
        connection_.WaitUntil([this] {
            const pa_stream_state_t s = pa_stream_get_state(stream_);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        });
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            Log("pa_stream_connect_record", pa_strerror(pa_context_errno(connection_.context())));
            return MMSYSERR_ALLOCATED;
        }
        return MMSYSERR_NOERROR;
    }

    bool Start() override { return Cork(false); }
    bool Stop() override { return Cork(true); }

    void BufferLengthHint(std::size_t length) override
    {
        Connection::Lock lock(connection_);
        const std::size_t chunk = ChunkFor(length);
        if (chunk == chunk_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
        chunk_ = chunk;
        pa_buffer_attr attr = Attributes(chunk_);
        if (pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr)) pa_operation_unref(op);
    }

private:
    // Chunks that divide the buffer evenly, none longer than kMaxChunkSeconds:
    // each buffer then completes exactly when its last chunk arrives.
    std::size_t ChunkFor(std::size_t bufferLength) const
    {
        const std::size_t frame = std::max<std::size_t>(format_.nBlockAlign, 1);
        const auto longest = std::max<std::size_t>(
            static_cast<std::size_t>(format_.nAvgBytesPerSec * kMaxChunkSeconds) / frame * frame, frame);
        const std::size_t pieces = (bufferLength + longest - 1) / longest;
        const std::size_t chunk = (bufferLength + pieces - 1) / std::max<std::size_t>(pieces, 1);
        return std::max(chunk / frame * frame, frame);
    }

    static pa_buffer_attr Attributes(std::size_t chunk)
    {
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<std::uint32_t>(-1);
        attr.tlength = static_cast<std::uint32_t>(-1);
        attr.prebuf = static_cast<std::uint32_t>(-1);
        attr.minreq = static_cast<std::uint32_t>(-1);
        attr.fragsize = static_cast<std::uint32_t>(chunk);
        return attr;
    }

    bool Cork(bool cork)
    {
        Connection::Lock lock(connection_);
        if (failed_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
        if (corked_ == cork) return true;
        pa_operation* op = pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr);
        if (!op) {
            Log("pa_stream_cork", pa_strerror(pa_context_errno(connection_.context())));
            return false;
        }
        pa_operation_unref(op);
        corked_ = cork;
        return true;
    }

    void Failed()
    {
        if (failed_) return;
        failed_ = true;
        sink_.Fail();
    }

    static void OnStreamState(pa_stream* s, void* userdata)
    {
        auto* self = static_cast<PulseStream*>(userdata);
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(s))) self->Failed();
        self->connection_.Signal();
    }

    static void OnContextState(pa_context* c, void* userdata)
    {
        auto* self = static_cast<PulseStream*>(userdata);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c))) self->Failed();
        self->connection_.Signal();
    }

    static void OnRead(pa_stream* s, std::size_t, void* userdata)
    {
        auto* self = static_cast<PulseStream*>(userdata);
        const void* data = nullptr;
        std::size_t length = 0;
        while (pa_stream_readable_size(s) > 0) {
            if (pa_stream_peek(s, &data, &length) < 0) {
                Log("pa_stream_peek", pa_strerror(pa_context_errno(pa_stream_get_context(s))));
                return;
            }
            if (length == 0) break;
            if (data) {
                self->sink_.Deliver(static_cast<const std::uint8_t*>(data), length);
            } else {
                self->DeliverSilence(length);  // a hole in the recording
            }
            pa_stream_drop(s);
        }
    }

    void DeliverSilence(std::size_t length)
    {
        std::uint8_t block[512];
        std::memset(block, format_.wBitsPerSample == 8 ? 128 : 0, sizeof block);
        while (length > 0) {
            const std::size_t n = std::min(length, sizeof block);
            sink_.Deliver(block, n);
            length -= n;
        }
    }

    const WAVEFORMATEX format_;
    CaptureSink& sink_;
    Connection connection_;
    pa_stream* stream_ = nullptr;
    std::size_t chunk_ = 0;
    bool corked_ = false;
    bool failed_ = false;
};

class PulseDriver final : public CaptureDriver {
public:
    UINT DeviceCount() override
    {
        Connection connection;
        if (!connection.Connect()) return 0;
        Connection::Lock lock(connection);
        struct Count {
            Connection* connection;
            UINT sources = 0;
            bool done = false;
        } count{&connection};
        pa_operation* op = pa_context_get_source_info_list(
            connection.context(),
            [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
                auto* c = static_cast<Count*>(userdata);
                if (eol != 0) {
                    c->done = true;
                    c->connection->Signal();
                } else if (info) {
                    ++c->sources;
                }
            },
            &count);
        if (!op) return 0;
        connection.WaitUntil([&count] { return count.done; });
        if (!count.done) pa_operation_cancel(op);
        pa_operation_unref(op);
        return count.done ? count.sources : 0;
    }

    MMRESULT Open(const WAVEFORMATEX& format, CaptureSink& sink, std::unique_ptr<CaptureStream>& stream) override
    {
        auto pulse = std::make_unique<PulseStream>(format, sink);
        const MMRESULT result = pulse->Open();
        if (result == MMSYSERR_NOERROR) stream = std::move(pulse);
        return result;
    }
};

}  // namespace

std::shared_ptr<CaptureDriver> MakePulseCaptureDriver()
{
    return std::make_shared<PulseDriver>();
}

}  // namespace winmm
