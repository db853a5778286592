// The driver behind the wave-input service: where sound comes from. The
// default one reads the sound server; tests install their own.
#pragma once

#include "winmm/mmsystem.h"
#include "winmm/source_choice.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace winmm {

// Receives what a stream captures, on the thread that runs the driver's
// loop: a thread of its own, or a loop host's.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    // True when the sound completed a buffer.
    virtual bool Deliver(const std::uint8_t* data, std::size_t length) = 0;
    // The device went away (server gone, source removed); nothing more comes.
    virtual void Fail() = 0;
};

// One open capture stream. After the destructor returns, the sink is never
// called again.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
    // The length of the buffers being queued, so the driver can deliver in
    // chunks that fill them without waste.
    virtual void BufferLengthHint(std::size_t) {}
    // A stream that follows a choice moves to the source `choice` names now.
    virtual void Retarget(const std::string& /*choice*/) {}
};

// What a stream records from: a choice (a source's name, or one of the
// server's defaults) and whether it follows the server when that choice
// resolves to another source (the mapper) or fails with its source.
struct CaptureTarget {
    std::string choice;
    bool follows = false;
};

// Told of every change to the server's sources and defaults, on the
// server's thread, until it is destroyed.
class SourceWatch {
public:
    virtual ~SourceWatch() = default;
};

class CaptureDriver {
public:
    virtual ~CaptureDriver() = default;
    // The server's sources now, in its order: the device numbers. Empty when
    // there is no server.
    virtual SourceList Sources() = 0;
    // MMSYSERR_NOERROR with `stream` set, or the reason it could not open.
    virtual MMRESULT Open(const WAVEFORMATEX& format, const CaptureTarget& target, CaptureSink& sink,
                          std::unique_ptr<CaptureStream>& stream) = 0;
    // Calls `changed` whenever a source comes, goes or changes, or the server
    // (or its defaults) does; nullptr when the driver cannot tell.
    virtual std::unique_ptr<SourceWatch> WatchSources(std::function<void()> /*changed*/) { return nullptr; }
};

// Replaces the driver (nullptr: back to the sound server's). Devices already
// open keep the driver they were opened with.
void SetCaptureDriver(std::shared_ptr<CaptureDriver> driver);

// Called whenever a buffer is marked done (on the thread that reads the
// sound), so that a thread waiting in its event loop looks at it again.
void SetWaveInWakeup(std::function<void()> wakeup);

std::shared_ptr<CaptureDriver> MakePulseCaptureDriver();
std::unique_ptr<SourceWatch> MakePulseSourceWatch(std::function<void()> changed);

}  // namespace winmm
