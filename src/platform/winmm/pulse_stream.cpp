#include "winmm/pulse_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace winmm::pulse {
namespace {

// How long the menu waits for the source list over an open connection.
constexpr pa_usec_t kListTimeout = PA_USEC_PER_SEC;

}  // namespace

PulseStream::PulseStream(const WAVEFORMATEX& format, CaptureTarget target, CaptureSink& sink,
                         std::shared_ptr<OpenStreams> open)
    : format_(format), target_(std::move(target)), sink_(sink), open_(std::move(open))
{
}

PulseStream::~PulseStream()
{
    {
        std::lock_guard lock(open_->mutex);
        std::erase(open_->streams, this);
    }
    if (!connection_.api()) return;
    {
        Connection::Lock lock(connection_);
        closing_ = true;  // an answer still on its way opens nothing new
        if (connection_.context()) {
            pa_context_set_state_callback(connection_.context(), nullptr, nullptr);
            pa_context_set_subscribe_callback(connection_.context(), nullptr, nullptr);
        }
        DropIncoming();
        DropStream();
    }
    // ~Connection stops the loop thread: no callback runs after this.
}

MMRESULT PulseStream::Open()
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

std::optional<SourceList> PulseStream::ReadList()
{
    Connection::Lock lock(connection_);
    if (pa_context_get_state(connection_.context()) != PA_CONTEXT_READY) return std::nullopt;
    if (listQuery_.Busy()) return SourceList{};
    return ReadSources(connection_, listQuery_, kListTimeout).value_or(SourceList{});
}

// Asked at every tick, as is Start: the loop's lock, which the loop holds
// while it hands over sound, is taken only when something changes.
void PulseStream::BufferLengthHint(std::size_t length)
{
    if (length == hinted_.load(std::memory_order_relaxed)) return;
    Connection::Lock lock(connection_);
    const std::size_t chunk = ChunkFor(length);
    if (chunk == chunk_) hinted_ = length;
    if (chunk == chunk_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
    chunk_ = chunk;
    hinted_ = length;
    pa_buffer_attr attr = Attributes(chunk_);
    for (pa_stream* s : {stream_, incoming_.stream}) {
        if (!s || pa_stream_get_state(s) != PA_STREAM_READY) continue;
        if (pa_operation* op = pa_stream_set_buffer_attr(s, &attr, nullptr, nullptr)) pa_operation_unref(op);
    }
}

void PulseStream::Retarget(const std::string& choice)
{
    Connection::Lock lock(connection_);
    target_.choice = choice;
    if (following_) Requery();
}

// Server and source events: a new default, a source that comes or goes.
void PulseStream::Follow()
{
    pa_context_set_subscribe_callback(connection_.context(), &PulseStream::OnServerEvent, this);
    const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SOURCE);
    pa_operation* op = pa_context_subscribe(connection_.context(), mask, nullptr, nullptr);
    if (!op) return Log("pa_context_subscribe", pa_strerror(pa_context_errno(connection_.context())));
    pa_operation_unref(op);
    following_ = true;
}

void PulseStream::Requery()
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

void PulseStream::MoveTo(const SourceList& list)
{
    if (closing_) return;
    const ResolvedChoice resolved = ResolveChoice(list, target_.choice);
    const bool cameBack = missing_ && !resolved.missing;
    TellMissing(resolved.missing);
    if (resolved.source.empty()) {
        if (!stream_) Failed();
        return;
    }
    const bool followsDefault = FollowsDefault(list, resolved);
    if (incoming_.stream) {
        if (resolved.source == incoming_.source) return;
        DropIncoming();
    }
    // The server carries a stream whose source goes to its default, and
    // back when the source returns, before that source's sound starts: the
    // stand-in is a stream of its own.
    const bool rescued = resolved.missing && stream_ && resolved.source == source_ && pinned_;
    if (stream_ && resolved.source == source_ && pinned_ != followsDefault && !rescued) return;
    const bool ready = stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
    if (ready && (cameBack || rescued) && Replace(resolved.source, followsDefault)) return;
    const bool toDefault = resolved.source == list.defaultSource;
    if (ready && Move(resolved.source, toDefault, followsDefault)) return;
    DropStream();
    if (!Connect(resolved.source, followsDefault)) Failed();
}

// Only the default input goes where the server's default goes: a source
// chosen by name stays put when the default changes.
bool PulseStream::FollowsDefault(const SourceList& list, const ResolvedChoice& resolved) const
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
bool PulseStream::Move(const std::string& source, bool toDefault, bool followsDefault)
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

void PulseStream::ForgetMove()
{
    if (!moveOp_) return;
    pa_operation_cancel(moveOp_);
    pa_operation_unref(moveOp_);
    moveOp_ = nullptr;
}

void PulseStream::TellMissing(bool missing)
{
    if (missing && !missing_) {
        std::fprintf(stderr, "kelvo: input \"%s\" is not there: recording from the default input\n",
                     target_.choice.c_str());
    }
    missing_ = missing;
}

// A stream that follows the default is opened as the default, so that
// the server may carry it along when its default changes.
bool PulseStream::Connect(const std::string& source, bool followsDefault)
{
    stream_ = OpenStream(source, followsDefault, wantCorked_);
    if (!stream_) return false;
    Adopt(source, followsDefault, wantCorked_);
    return true;
}

void PulseStream::Adopt(const std::string& source, bool followsDefault, bool corked)
{
    source_ = source;
    openedOn_ = followsDefault ? "" : source;
    pinned_ = !followsDefault;
    corked_ = corked;
}

// A new record stream with our callbacks, on its way to the server;
// nullptr when it could not be asked for.
pa_stream* PulseStream::OpenStream(const std::string& source, bool followsDefault, bool corked)
{
    // Sound settings show the installed icon beside the stream.
    const std::unique_ptr<pa_proplist, decltype(&pa_proplist_free)> properties(pa_proplist_new(), &pa_proplist_free);
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ICON_NAME, "kelvo");
    pa_stream* s = pa_stream_new_with_proplist(connection_.context(), "Kelvo", &spec_, nullptr, properties.get());
    if (!s) {
        Log("pa_stream_new", pa_strerror(pa_context_errno(connection_.context())));
        return nullptr;
    }
    pa_stream_set_state_callback(s, &PulseStream::OnStreamState, this);
    pa_stream_set_read_callback(s, &PulseStream::OnRead, this);
    pa_stream_set_moved_callback(s, &PulseStream::OnServerMoved, this);
    pa_buffer_attr attr = Attributes(chunk_);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | (corked ? PA_STREAM_START_CORKED : 0));
    if (pa_stream_connect_record(s, followsDefault ? "@DEFAULT_SOURCE@" : source.c_str(), &attr, flags) < 0) {
        Log("pa_stream_connect_record", pa_strerror(pa_context_errno(connection_.context())));
        Release(s);
        return nullptr;
    }
    return s;
}

void PulseStream::Release(pa_stream* s)
{
    if (!s) return;
    pa_stream_set_read_callback(s, nullptr, nullptr);
    pa_stream_set_state_callback(s, nullptr, nullptr);
    pa_stream_set_moved_callback(s, nullptr, nullptr);
    pa_stream_disconnect(s);
    pa_stream_unref(s);
}

void PulseStream::DropStream()
{
    ForgetMove();
    Release(std::exchange(stream_, nullptr));
}

// A stream that takes over when its first sound comes, or when the time is
// up: a source that comes back may start late (a sink loaded just now
// renders its first block up to two seconds on), and until then the stream
// there is keeps the trace live.
bool PulseStream::Replace(const std::string& source, bool followsDefault)
{
    pa_stream* s = OpenStream(source, followsDefault, wantCorked_);
    if (!s) return false;
    incoming_ = {s, source, followsDefault, wantCorked_,
                 pa_context_rttime_new(connection_.context(), pa_rtclock_now() + kConnectTimeout,
                                       &PulseStream::OnIncomingDue, this)};
    return true;
}

void PulseStream::TakeIncoming()
{
    const Incoming incoming = incoming_;
    incoming_.stream = nullptr;  // taken over, not released
    DropIncoming();
    DropStream();
    stream_ = incoming.stream;
    Adopt(incoming.source, incoming.followsDefault, incoming.corked);
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) return;  // its state callback finishes the move
    Arrived();
    ApplyCork();
}

void PulseStream::DropIncoming()
{
    if (incoming_.deadline) connection_.api()->time_free(incoming_.deadline);
    Release(std::exchange(incoming_, {}).stream);
}

// The server hands over a whole buffer at a time, as to any recorder with a
// latency of one buffer: this thread and the server then wake once a buffer,
// and the buffer completes when the sound of its last moment has come.
std::size_t PulseStream::ChunkFor(std::size_t bufferLength) const
{
    const std::size_t frame = std::max<std::size_t>(format_.nBlockAlign, 1);
    return std::max(bufferLength / frame * frame, frame);
}

pa_buffer_attr PulseStream::Attributes(std::size_t chunk)
{
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(-1);
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(chunk);
    return attr;
}

bool PulseStream::Start()
{
    if (!hosted_) RunOnHost();
    return started_.load(std::memory_order_acquire) || Cork(false);
}

// Started on a loop host's thread, the stream's connection runs there from
// now on: a block wakes that thread only.
void PulseStream::RunOnHost()
{
    const std::shared_ptr<LoopHost> host = CurrentLoopHost();
    if (!host || !host->OnHostThread()) return;
    hosted_ = true;
    connection_.RunOn(*host);
}

// A stream on its way to another source takes the state when it is ready.
bool PulseStream::Cork(bool cork)
{
    Connection::Lock lock(connection_);
    if (failed_) return false;
    wantCorked_ = cork;
    bool done = following_;
    if (stream_ && pa_stream_get_state(stream_) != PA_STREAM_READY) {
        done = following_ && PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
    } else if (stream_) {
        done = ApplyCork();
    }
    started_ = done && !cork;
    return done;
}

bool PulseStream::ApplyCork()
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

void PulseStream::Failed()
{
    if (failed_) return;
    failed_ = true;
    started_ = false;
    sink_.Fail();
}

void PulseStream::OnStreamState(pa_stream* s, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(s);
    if (s == self->incoming_.stream) {
        // The stand-in goes on; the source's own events say what comes next.
        if (!PA_STREAM_IS_GOOD(state)) {
            Log("pa_stream_connect_record", pa_strerror(pa_context_errno(self->connection_.context())));
            self->DropIncoming();
        }
        return;
    }
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

void PulseStream::OnMoved(pa_context* c, int success, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    pa_operation_unref(self->moveOp_);
    self->moveOp_ = nullptr;
    if (success) return;
    Log("pa_context_move_source_output_by_name", pa_strerror(pa_context_errno(c)));
    self->DropStream();
    if (!self->Connect(self->source_, !self->pinned_)) self->Failed();
}

void PulseStream::OnServerMoved(pa_stream* s, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    if (s == self->stream_) self->Arrived();
}

void PulseStream::OnIncomingDue(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
{
    static_cast<PulseStream*>(userdata)->TakeIncoming();
}

// Where the stream records now (the server may have moved it: a new
// default, a source that went away) is what the next choice is compared
// with; while our own move is on its way, that move's source counts.
void PulseStream::Arrived()
{
    const char* device = pa_stream_get_device_name(stream_);
    if (!moveOp_ && device) source_ = device;
}

void PulseStream::OnContextState(pa_context* c, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(c))) self->Failed();
    self->connection_.Signal();
}

void PulseStream::OnServerEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata)
{
    static_cast<PulseStream*>(userdata)->Requery();
}

void PulseStream::OnRead(pa_stream* s, std::size_t, void* userdata)
{
    auto* self = static_cast<PulseStream*>(userdata);
    if (s == self->incoming_.stream) self->TakeIncoming();
    const void* data = nullptr;
    std::size_t length = 0;
    while (pa_stream_readable_size(s) > 0) {
        if (pa_stream_peek(s, &data, &length) < 0) {
            Log("pa_stream_peek", pa_strerror(pa_context_errno(pa_stream_get_context(s))));
            return;
        }
        if (length == 0) break;
        const bool completed = data ? self->sink_.Deliver(static_cast<const std::uint8_t*>(data), length)
                                    : self->DeliverSilence(length);  // a hole in the recording
        if (completed) self->connection_.Yield();
        pa_stream_drop(s);
    }
}

bool PulseStream::DeliverSilence(std::size_t length)
{
    std::uint8_t block[512];
    std::memset(block, format_.wBitsPerSample == 8 ? 128 : 0, sizeof block);
    bool completed = false;
    while (length > 0) {
        const std::size_t n = std::min(length, sizeof block);
        completed = sink_.Deliver(block, n) || completed;
        length -= n;
    }
    return completed;
}

}  // namespace winmm::pulse
