// A capture driver the test controls: it records what the service asks of
// it and delivers sound when the test says so.
#pragma once

#include "winmm/capture_driver.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class FakeCaptureDriver : public winmm::CaptureDriver, public std::enable_shared_from_this<FakeCaptureDriver> {
public:
    UINT devices = 1;
    MMRESULT openResult = MMSYSERR_NOERROR;
    // When set, every started buffer is filled at once with this value, or
    // with this pattern repeated.
    std::optional<std::uint8_t> autoFill;
    std::vector<std::uint8_t> autoPattern;

    UINT DeviceCount() override { return devices; }

    MMRESULT Open(const WAVEFORMATEX& format, winmm::CaptureSink& sink,
                  std::unique_ptr<winmm::CaptureStream>& stream) override
    {
        std::lock_guard lock(mutex_);
        calls_.push_back("open");
        lastFormat = format;
        if (openResult != MMSYSERR_NOERROR) return openResult;
        sink_ = &sink;
        stream = std::make_unique<Stream>(shared_from_this());
        return MMSYSERR_NOERROR;
    }

    // From any thread, like the real driver's capture thread.
    void Deliver(const std::vector<std::uint8_t>& data)
    {
        if (winmm::CaptureSink* sink = Sink()) sink->Deliver(data.data(), data.size());
    }
    void Fail()
    {
        if (winmm::CaptureSink* sink = Sink()) sink->Fail();
    }

    // Waits until the stream has been started `count` times in all.
    void WaitForStarts(int count)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return starts_ >= count; });
    }

    int Starts()
    {
        std::lock_guard lock(mutex_);
        return starts_;
    }

    std::vector<std::string> Calls()
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    WAVEFORMATEX lastFormat{};

private:
    class Stream : public winmm::CaptureStream {
    public:
        explicit Stream(std::shared_ptr<FakeCaptureDriver> driver) : driver_(std::move(driver)) {}
        ~Stream() override { driver_->Record("close", true); }
        bool Start() override
        {
            driver_->Record("start", false);
            driver_->AutoDeliver();
            return true;
        }
        bool Stop() override
        {
            driver_->Record("stop", false);
            return true;
        }
        void BufferLengthHint(std::size_t length) override
        {
            driver_->Record("hint " + std::to_string(length), false);
            driver_->lastHint_ = length;
        }

    private:
        std::shared_ptr<FakeCaptureDriver> driver_;
    };

    void AutoDeliver()
    {
        std::vector<std::uint8_t> block;
        {
            std::lock_guard lock(mutex_);
            if (!autoFill && autoPattern.empty()) return;
            block.assign(lastHint_, autoFill.value_or(0));
            for (std::size_t i = 0; i < block.size() && !autoPattern.empty(); ++i)
                block[i] = autoPattern[i % autoPattern.size()];
        }
        Deliver(block);
    }

    winmm::CaptureSink* Sink()
    {
        std::lock_guard lock(mutex_);
        return sink_;
    }

    void Record(const std::string& call, bool closing)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        if (call == "start") ++starts_;
        if (closing) sink_ = nullptr;
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> calls_;
    winmm::CaptureSink* sink_ = nullptr;
    int starts_ = 0;
    std::size_t lastHint_ = 0;
};

}  // namespace testing_support
