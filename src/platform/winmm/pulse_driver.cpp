// The capture driver over the PulseAudio protocol (PulseAudio or PipeWire):
// one connection and one record stream per open device.
#include "winmm/capture_driver.h"
#include "winmm/pulse_stream.h"

#include <memory>
#include <mutex>
#include <optional>

namespace winmm {
namespace {

using pulse::Connection;
using pulse::OpenStreams;
using pulse::PulseStream;

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
        pulse::SourceQuery query;
        Connection connection;
        if (!connection.Connect()) return {};
        Connection::Lock lock(connection);
        return pulse::ReadSources(connection, query).value_or(SourceList{});
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
