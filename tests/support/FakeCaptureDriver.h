// A capture driver the test controls: it records what the service asks of
// it ("open", "hint N", "start", "retarget CHOICE", "close") and
// delivers sound when the test says so.
#pragma once

#include "winmm/capture_driver.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace testing_support {

class FakeCaptureDriver : public winmm::CaptureDriver, public std::enable_shared_from_this<FakeCaptureDriver> {
public:
    winmm::SourceList list{{{"mic", "Microphone", 1}}, "mic", ""};
    MMRESULT openResult = MMSYSERR_NOERROR;
    // When not empty, every started buffer is filled at once with this pattern repeated.
    std::vector<std::uint8_t> autoPattern;
    WAVEFORMATEX lastFormat{};
    winmm::CaptureTarget lastTarget;

    winmm::SourceList Sources() override
    {
        std::lock_guard lock(mutex_);
        return list;
    }

    MMRESULT Open(const WAVEFORMATEX& format, const winmm::CaptureTarget& target, winmm::CaptureSink& sink,
                  std::unique_ptr<winmm::CaptureStream>& stream) override
    {
        Record("open");
        std::lock_guard lock(mutex_);
        lastFormat = format;
        lastTarget = target;
        if (openResult != MMSYSERR_NOERROR) return openResult;
        sink_ = &sink;
        stream = std::make_unique<Stream>(shared_from_this());
        return MMSYSERR_NOERROR;
    }

    // The server's sources become `changed`, and whoever watches hears of it.
    void ChangeSources(const winmm::SourceList& changed)
    {
        std::unique_lock lock(mutex_);
        list = changed;
        const std::function<void()> tell = watcher_;
        lock.unlock();
        if (tell) tell();
    }
    std::unique_ptr<winmm::SourceWatch> WatchSources(std::function<void()> changed) override
    {
        std::lock_guard lock(mutex_);
        watcher_ = std::move(changed);
        return std::make_unique<Watch>(shared_from_this());
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

    int Count(const std::string& call)
    {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
    }

private:
    struct Stream : winmm::CaptureStream {
        explicit Stream(std::shared_ptr<FakeCaptureDriver> driver) : driver(std::move(driver)) {}
        ~Stream() override { driver->Record("close"); }
        bool Start() override
        {
            driver->Record("start");
            driver->AutoDeliver();
            return true;
        }
        bool Stop() override { return true; }
        void BufferLengthHint(std::size_t length) override { driver->Record("hint " + std::to_string(length), length); }
        void Retarget(const std::string& choice) override { driver->Record("retarget " + choice); }
        std::shared_ptr<FakeCaptureDriver> driver;
    };

    struct Watch : winmm::SourceWatch {
        explicit Watch(std::shared_ptr<FakeCaptureDriver> driver) : driver(std::move(driver)) {}
        ~Watch() override { const std::lock_guard lock(driver->mutex_); driver->watcher_ = nullptr; }
        std::shared_ptr<FakeCaptureDriver> driver;
    };

    void AutoDeliver()
    {
        std::vector<std::uint8_t> block;
        {
            std::lock_guard lock(mutex_);
            if (autoPattern.empty()) return;
            for (std::size_t i = 0; i < hint_; ++i) block.push_back(autoPattern[i % autoPattern.size()]);
        }
        Deliver(block);
    }

    winmm::CaptureSink* Sink()
    {
        std::lock_guard lock(mutex_);
        return sink_;
    }

    void Record(const std::string& call, std::size_t hint = 0)
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        if (hint) hint_ = hint;
        if (call == "close") sink_ = nullptr;
    }

    std::mutex mutex_;
    std::vector<std::string> calls_;
    winmm::CaptureSink* sink_ = nullptr;
    std::size_t hint_ = 0;
    std::function<void()> watcher_;
};

}  // namespace testing_support
