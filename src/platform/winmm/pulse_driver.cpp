// The capture driver over the PulseAudio protocol (PulseAudio or PipeWire):
// one threaded main loop and one record stream per open device.
#include "winmm/capture_driver.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace winmm {
namespace {

// How long a connection or a stream may take to come up before we give up:
// an unreachable server must not freeze the applet.
constexpr pa_usec_t kConnectTimeout = 3 * PA_USEC_PER_SEC;
// How long the menu waits for the source list over an open connection.
constexpr pa_usec_t kListTimeout = PA_USEC_PER_SEC;
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
        // A few kB/s of sound come as well through the socket: a shared
        // memory pool would only add its touched pages (~230 kB) to ours.
        pa_proplist* props = pa_proplist_new();
        if (!props) return Log("pa_proplist_new", "out of memory"), false;
        pa_proplist_sets(props, PA_PROP_CONTEXT_FORCE_DISABLE_SHM, "1");
        context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Kelvo", props);
        pa_proplist_free(props);
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

    static void OnContextState(pa_context*, void* userdata)
    {
        static_cast<Connection*>(userdata)->Signal();
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

// Reads the server's defaults, then its sources. Its callbacks run on the
// loop's thread; the owner keeps it alive until the loop has stopped.
class SourceQuery {
public:
    using Done = std::function<void(std::optional<SourceList>)>;

    // False when the first request could not be sent.
    bool Start(pa_context* context, Done done)
    {
        done_ = std::move(done);
        list_ = SourceList{};
        monitors_.clear();
        pa_operation* op = pa_context_get_server_info(context, &SourceQuery::OnServer, this);
        if (!op) return Log("pa_context_get_server_info", pa_strerror(pa_context_errno(context))), false;
        pa_operation_unref(op);
        busy_ = true;
        return true;
    }

    bool Busy() const { return busy_; }

private:
    void Finish(std::optional<SourceList> list)
    {
        busy_ = false;
        done_(std::move(list));
    }

    static void OnServer(pa_context* c, const pa_server_info* info, void* userdata)
    {
        auto* self = static_cast<SourceQuery*>(userdata);
        if (!info) return self->Finish(std::nullopt);
        self->list_.defaultSource = info->default_source_name ? info->default_source_name : "";
        self->defaultSink_ = info->default_sink_name ? info->default_sink_name : "";
        pa_operation* op = pa_context_get_source_info_list(c, &SourceQuery::OnSource, self);
        if (!op) {
            Log("pa_context_get_source_info_list", pa_strerror(pa_context_errno(c)));
            return self->Finish(std::nullopt);
        }
        pa_operation_unref(op);
    }

    static void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
    {
        auto* self = static_cast<SourceQuery*>(userdata);
        if (eol < 0) return self->Finish(std::nullopt);
        if (eol > 0) {
            for (const auto& [source, sink] : self->monitors_) {
                if (sink == self->defaultSink_) self->list_.defaultMonitor = source;
            }
            return self->Finish(std::move(self->list_));
        }
        if (!info || !info->name) return;
        self->list_.sources.push_back(
            {info->name, info->description ? info->description : info->name, info->channel_map.channels});
        if (info->monitor_of_sink != PA_INVALID_INDEX && info->monitor_of_sink_name) {
            self->monitors_.emplace_back(info->name, info->monitor_of_sink_name);
        }
    }

    Done done_;
    SourceList list_;
    std::string defaultSink_;
    std::vector<std::pair<std::string, std::string>> monitors_;  // monitor, its sink
    bool busy_ = false;
};

// The list, read over `connection` while its lock is held. `query` must
// outlive the connection's loop: an answer may come after the wait gave up.
std::optional<SourceList> ReadSources(Connection& connection, SourceQuery& query, pa_usec_t timeout = kConnectTimeout)
{
    struct Answer {
        std::optional<SourceList> list;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    const bool sent = query.Start(connection.context(), [answer, &connection](std::optional<SourceList> list) {
        answer->list = std::move(list);
        answer->done = true;
        connection.Signal();
    });
    if (!sent || !connection.WaitUntil([&answer] { return answer->done; }, timeout)) return std::nullopt;
    return std::move(answer->list);
}

class PulseStream;

// The streams open now: the source list is read over one of their
// connections rather than over a new one each time the menu opens.
struct OpenStreams {
    std::mutex mutex;
    std::vector<PulseStream*> streams;
};

class PulseStream final : public CaptureStream {
public:
    PulseStream(const WAVEFORMATEX& format, CaptureTarget target, CaptureSink& sink, std::shared_ptr<OpenStreams> open)
        : format_(format), target_(std::move(target)), sink_(sink), open_(std::move(open))
    {
    }

    ~PulseStream() override
    {
        {
            std::lock_guard lock(open_->mutex);
            std::erase(open_->streams, this);
        }
        if (!connection_.loop()) return;
        {
            Connection::Lock lock(connection_);
            closing_ = true;  // an answer still on its way opens nothing new
            if (connection_.context()) {
                pa_context_set_state_callback(connection_.context(), nullptr, nullptr);
                pa_context_set_subscribe_callback(connection_.context(), nullptr, nullptr);
            }
            DropStream();
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
        spec_ = spec;

        std::string source = target_.choice;
        bool followsDefault = false;
        if (target_.follows) {
            const std::optional<SourceList> list = ReadSources(connection_, query_);
            if (!list) return MMSYSERR_NODRIVER;
            const ResolvedChoice resolved = ResolveChoice(*list, target_.choice);
            TellMissing(resolved.missing);
            source = resolved.source;
            followsDefault = FollowsDefault(*list, resolved);
        }
        if (source.empty()) return MMSYSERR_NODRIVER;
        pa_context_set_state_callback(connection_.context(), &PulseStream::OnContextState, this);

        chunk_ = ChunkFor(static_cast<std::size_t>(format_.nAvgBytesPerSec * 0.150));
        if (!Connect(source, followsDefault)) return MMSYSERR_NOMEM;
        connection_.WaitUntil([this] {
            const pa_stream_state_t s = pa_stream_get_state(stream_);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        });
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
            Log("pa_stream_connect_record", pa_strerror(pa_context_errno(connection_.context())));
            return MMSYSERR_ALLOCATED;
        }
        if (target_.follows) Follow();
        return MMSYSERR_NOERROR;
    }

    // The server's sources over this stream's connection; nothing when it is
    // down. A server that did not answer the last time gets no second wait.
    std::optional<SourceList> ReadList()
    {
        Connection::Lock lock(connection_);
        if (pa_context_get_state(connection_.context()) != PA_CONTEXT_READY) return std::nullopt;
        if (listQuery_.Busy()) return SourceList{};
        return ReadSources(connection_, listQuery_, kListTimeout).value_or(SourceList{});
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

    void Retarget(const std::string& choice) override
    {
        Connection::Lock lock(connection_);
        target_.choice = choice;
        if (following_) Requery();
    }

private:
    // Server and source events: a new default, a source that comes or goes.
    void Follow()
    {
        pa_context_set_subscribe_callback(connection_.context(), &PulseStream::OnServerEvent, this);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
        pa_operation* op = pa_context_subscribe(connection_.context(), mask, nullptr, nullptr);
        if (!op) return Log("pa_context_subscribe", pa_strerror(pa_context_errno(connection_.context())));
        pa_operation_unref(op);
        following_ = true;
    }

    void Requery()
    {
        if (closing_) return;
        if (query_.Busy()) {
            requeryAgain_ = true;
            return;
        }
        const bool sent = query_.Start(connection_.context(), [this](std::optional<SourceList> list) {
            if (list) MoveTo(*list);
            else if (!stream_) Failed();
            if (requeryAgain_) {
                requeryAgain_ = false;
                Requery();
            }
        });
        if (!sent && !stream_) Failed();
    }

    void MoveTo(const SourceList& list)
    {
        if (closing_) return;
        const ResolvedChoice resolved = ResolveChoice(list, target_.choice);
        TellMissing(resolved.missing);
        if (resolved.source.empty()) {
            if (!stream_) Failed();
            return;
        }
        const bool followsDefault = FollowsDefault(list, resolved);
        if (stream_ && resolved.source == source_ && pinned_ != followsDefault) return;
        const bool toDefault = resolved.source == list.defaultSource;
        if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY && Move(resolved.source, toDefault, followsDefault)) {
            return;
        }
        DropStream();
        if (!Connect(resolved.source, followsDefault)) Failed();
    }

    // Only the default input goes where the server's default goes: a source
    // chosen by name stays put when the default changes.
    bool FollowsDefault(const SourceList& list, const ResolvedChoice& resolved) const
    {
        const std::string& choice = target_.choice;
        return resolved.source == list.defaultSource &&
               (resolved.missing || choice.empty() || choice == kDefaultInput || choice == kWhatIsPlaying);
    }

    // The server moves the stream it already feeds us: the sound of the new
    // source comes without a new stream's start-up. A move to the server's
    // default makes the stream follow the default from then on, and PipeWire
    // then takes it back to a source it was opened on by name: the default is
    // reached by a move only by a stream that should follow it and was opened
    // as the default; otherwise the stream is opened anew.
    bool Move(const std::string& source, bool toDefault, bool followsDefault)
    {
        if (toDefault && !(followsDefault && openedOn_.empty())) return false;
        ForgetMove();
        moveOp_ = pa_context_move_source_output_by_name(connection_.context(), pa_stream_get_index(stream_),
                                                         source.c_str(), &PulseStream::OnMoved, this);
        if (!moveOp_) {
            Log("pa_context_move_source_output_by_name", pa_strerror(pa_context_errno(connection_.context())));
            return false;
        }
        source_ = source;
        pinned_ = !toDefault;
        return true;
    }

    void ForgetMove()
    {
        if (!moveOp_) return;
        pa_operation_cancel(moveOp_);
        pa_operation_unref(moveOp_);
        moveOp_ = nullptr;
    }

    void TellMissing(bool missing)
    {
        if (missing && !missing_) {
            std::fprintf(stderr, "kelvo: input \"%s\" is not there: recording from the default input\n",
                         target_.choice.c_str());
        }
        missing_ = missing;
    }

    // A stream that follows the default is opened as the default, so that
    // the server may carry it along when its default changes.
    bool Connect(const std::string& source, bool followsDefault)
    {
        // Sound settings show the installed icon beside the stream.
        const std::unique_ptr<pa_proplist, decltype(&pa_proplist_free)> properties(pa_proplist_new(), &pa_proplist_free);
        pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME, "kelvo");
        stream_ = pa_stream_new_with_proplist(connection_.context(), "Kelvo", &spec_, nullptr, properties.get());
        if (!stream_) {
            Log("pa_stream_new", pa_strerror(pa_context_errno(connection_.context())));
            return false;
        }
        source_ = source;
        openedOn_ = followsDefault ? "" : source;
        pinned_ = !followsDefault;
        corked_ = wantCorked_;
        pa_stream_set_state_callback(stream_, &PulseStream::OnStreamState, this);
        pa_stream_set_read_callback(stream_, &PulseStream::OnRead, this);
        pa_stream_set_moved_callback(stream_, &PulseStream::OnServerMoved, this);
        pa_buffer_attr attr = Attributes(chunk_);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                          (corked_ ? PA_STREAM_START_CORKED : 0));
        if (pa_stream_connect_record(stream_, followsDefault ? "@DEFAULT_SOURCE@" : source.c_str(), &attr, flags) < 0) {
            Log("pa_stream_connect_record", pa_strerror(pa_context_errno(connection_.context())));
            DropStream();
            return false;
        }
        return true;
    }

    void DropStream()
    {
        ForgetMove();
        if (!stream_) return;
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_moved_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }

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

    // A stream on its way to another source takes the state when it is ready.
    bool Cork(bool cork)
    {
        Connection::Lock lock(connection_);
        if (failed_) return false;
        wantCorked_ = cork;
        if (!stream_) return following_;
        if (pa_stream_get_state(stream_) != PA_STREAM_READY) return following_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
        return ApplyCork();
    }

    bool ApplyCork()
    {
        if (corked_ == wantCorked_) return true;
        pa_operation* op = pa_stream_cork(stream_, wantCorked_ ? 1 : 0, nullptr, nullptr);
        if (!op) {
            Log("pa_stream_cork", pa_strerror(pa_context_errno(connection_.context())));
            return false;
        }
        pa_operation_unref(op);
        corked_ = wantCorked_;
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
        const pa_stream_state_t state = pa_stream_get_state(s);
        if (state == PA_STREAM_READY) self->Arrived();
        if (state == PA_STREAM_READY && self->following_) self->ApplyCork();
        if (!PA_STREAM_IS_GOOD(state)) {
            // The source went away: a following stream goes where its
            // choice now leads.
            if (self->following_ && PA_CONTEXT_IS_GOOD(pa_context_get_state(self->connection_.context()))) {
                self->DropStream();
                self->Requery();
            } else {
                self->Failed();
            }
        }
        self->connection_.Signal();
    }

    static void OnMoved(pa_context* c, int success, void* userdata)
    {
        auto* self = static_cast<PulseStream*>(userdata);
        pa_operation_unref(self->moveOp_);
        self->moveOp_ = nullptr;
        if (success) return;
        Log("pa_context_move_source_output_by_name", pa_strerror(pa_context_errno(c)));
        self->DropStream();
        if (!self->Connect(self->source_, !self->pinned_)) self->Failed();
    }

    static void OnServerMoved(pa_stream*, void* userdata)
    {
        static_cast<PulseStream*>(userdata)->Arrived();
    }

    // Where the stream records now (the server may have moved it: a new
    // default, a source that went away) is what the next choice is compared
    // with; while our own move is on its way, that move's source counts.
    void Arrived()
    {
        const char* device = pa_stream_get_device_name(stream_);
        if (!moveOp_ && device) source_ = device;
    }

    static void OnContextState(pa_context* c, void* userdata)
    {
        auto* self = static_cast<PulseStream*>(userdata);
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c))) self->Failed();
        self->connection_.Signal();
    }

    static void OnServerEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata)
    {
        static_cast<PulseStream*>(userdata)->Requery();
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
    CaptureTarget target_;
    CaptureSink& sink_;
    SourceQuery query_;
    SourceQuery listQuery_;  // the menu's reads
    const std::shared_ptr<OpenStreams> open_;
    pa_sample_spec spec_{};
    pa_stream* stream_ = nullptr;
    pa_operation* moveOp_ = nullptr;  // our move of stream_, until the server answers
    std::string source_;  // what stream_ records from
    std::string openedOn_;  // the source stream_ was opened on by name; empty: as the default
    bool pinned_ = false;   // the server keeps stream_ on source_ when its default changes
    std::size_t chunk_ = 0;
    bool corked_ = false;
    bool wantCorked_ = false;
    bool following_ = false;
    bool requeryAgain_ = false;
    bool missing_ = false;
    bool failed_ = false;
    bool closing_ = false;
    // Last, so that its loop stops before anything its callbacks use goes.
    Connection connection_;
};

class PulseDriver final : public CaptureDriver {
public:
    SourceList Sources() override
    {
        {
            std::lock_guard lock(open_->mutex);
            for (PulseStream* stream : open_->streams) {
                if (std::optional<SourceList> list = stream->ReadList()) return *list;
            }
        }
        SourceQuery query;
        Connection connection;
        if (!connection.Connect()) return {};
        Connection::Lock lock(connection);
        return ReadSources(connection, query).value_or(SourceList{});
    }

    MMRESULT Open(const WAVEFORMATEX& format, const CaptureTarget& target, CaptureSink& sink,
                  std::unique_ptr<CaptureStream>& stream) override
    {
        auto pulse = std::make_unique<PulseStream>(format, target, sink, open_);
        const MMRESULT result = pulse->Open();
        if (result != MMSYSERR_NOERROR) return result;
        {
            std::lock_guard lock(open_->mutex);
            open_->streams.push_back(pulse.get());
        }
        stream = std::move(pulse);
        return result;
    }

    std::unique_ptr<SourceWatch> WatchSources(std::function<void()> changed) override
    {
        return MakePulseSourceWatch(std::move(changed));
    }

private:
    const std::shared_ptr<OpenStreams> open_ = std::make_shared<OpenStreams>();
};

}  // namespace

std::shared_ptr<CaptureDriver> MakePulseCaptureDriver()
{
    return std::make_shared<PulseDriver>();
}

}  // namespace winmm
