// One record stream on a connection of its own: it delivers what it records
// to its sink and, when it follows a choice, goes where the choice leads.
#pragma once

#include "winmm/capture_driver.h"
#include "winmm/pulse_connection.h"
#include "winmm/pulse_sources.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace winmm::pulse {

class PulseStream;

// The streams open now: the source list is read over one of their
// connections rather than over a new one each time the menu opens.
struct OpenStreams {
    std::mutex mutex;
    std::vector<PulseStream*> streams;
};

class PulseStream final : public CaptureStream {
public:
    PulseStream(const WAVEFORMATEX& format, CaptureTarget target, CaptureSink& sink, std::shared_ptr<OpenStreams> open);
    ~PulseStream() override;

    MMRESULT Open();

    // The server's sources over this stream's connection; nothing when it is
    // down. A server that did not answer the last time gets no second wait.
    std::optional<SourceList> ReadList();

    bool Start() override;
    bool Stop() override { return Cork(true); }
    void BufferLengthHint(std::size_t length) override;
    void Retarget(const std::string& choice) override;

private:
    void RunOnHost();
    void Follow();
    void Requery();
    void MoveTo(const SourceList& list);
    bool FollowsDefault(const SourceList& list, const ResolvedChoice& resolved) const;
    bool Move(const std::string& source, bool toDefault, bool followsDefault);
    void ForgetMove();
    void TellMissing(bool missing);
    bool Connect(const std::string& source, bool followsDefault);
    void Adopt(const std::string& source, bool followsDefault, bool corked);
    pa_stream* OpenStream(const std::string& source, bool followsDefault, bool corked);
    static void Release(pa_stream* s);
    void DropStream();
    bool Replace(const std::string& source, bool followsDefault);
    void TakeIncoming();
    void DropIncoming();
    std::size_t ChunkFor(std::size_t bufferLength) const;
    static pa_buffer_attr Attributes(std::size_t chunk);
    bool Cork(bool cork);
    bool ApplyCork();
    void Failed();
    void Arrived();
    bool DeliverSilence(std::size_t length);

    static void OnStreamState(pa_stream* s, void* userdata);
    static void OnMoved(pa_context* c, int success, void* userdata);
    static void OnServerMoved(pa_stream*, void* userdata);
    static void OnContextState(pa_context* c, void* userdata);
    static void OnServerEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t, void* userdata);
    static void OnRead(pa_stream* s, std::size_t, void* userdata);
    static void OnIncomingDue(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata);

    // A stream on a source that came back, until it takes over from stream_.
    struct Incoming {
        pa_stream* stream = nullptr;
        std::string source;
        bool followsDefault = false;
        bool corked = false;
        pa_time_event* deadline = nullptr;  // when it takes over even with no sound yet
    };

    const WAVEFORMATEX format_;
    CaptureTarget target_;
    CaptureSink& sink_;
    SourceQuery query_;
    SourceQuery listQuery_;  // the menu's reads
    const std::shared_ptr<OpenStreams> open_;
    pa_sample_spec spec_{};
    pa_stream* stream_ = nullptr;
    pa_operation* moveOp_ = nullptr;  // our move of stream_, until the server answers
    Incoming incoming_;
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
    std::atomic<bool> hosted_{false};
    std::atomic<bool> started_{false};  // uncorked by the last Start, with no failure since
    std::atomic<std::size_t> hinted_{0};  // the buffer length chunk_ was made for
    // Last, so that its loop stops before anything its callbacks use goes.
    Connection connection_;
};

}  // namespace winmm::pulse
