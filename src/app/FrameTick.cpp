// The frame tick: record one interval of sound, then draw it on the active
// display.
#include "app/SampleMapping.h"
#include "app/TrayRenderer.h"
#include "app/frmMain.h"
#include "base/EventGuard.h"
#include "common/RuntimeError.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace {

// A device that failed is tried again at most this often.
constexpr std::chrono::seconds kReopenPause{1};

}  // namespace

// The event model. No part of a tick runs an event loop: a frame-timer event
// starts one recording and returns, and the capture's wakeup posts
// BlockArrived, which draws the block. Menus, dialogs and message boxes thus
// run their loops with no tick on the stack; the frame timer keeps firing in
// them, so the trace stays live and an applied interval counts at once. Each
// handler runs to its end before the next event is looked at, so no tick
// starts inside another and no action runs in the middle of a frame.
// One recording is in flight at a time: a timer event that finds it is kept
// (TickPacer), and its tick starts as soon as the block has been drawn.
void frmMain::Timer_Timer()
{
    kelvo::GuardEvent("frame tick", [this] {
        if (pacer_.OnTimerEvent() == kelvo::TickPacer::Event::Kept) return;
        StartTick();
    });
}

void frmMain::StartTick()
{
    pacer_.TickStarted();
    // While the tick waits for its sound a beat could only be noted: the
    // tick's end looks back at the beats instead of being woken for one.
    Timer->Hold();
    work_.Start();
    bool recording = false;
    try {
        kelvo::OwnWork::Part part(work_);
        recording = RecordTick();
    } catch (...) {
        FinishTick();
        throw;
    }
    if (!recording) EndTick();
}

// True when a recording is under way.
bool frmMain::RecordTick()
{
    if (!state.oRecorder || (!state.oRecorder->IsOpen() && !ReopenRecorder())) return false;

    const auto n = RoundTo<std::int32_t>(Timer->Interval() / 1000.0 * state.lSampleRate);
    if (state.oRecorder->WaveRecord(n)) {
        recordingLength_ = n;
        return true;
    }
    state.oRecorder->WaveClose();
    // No sound: the canvas shows its background until the device is back.
    lastOpenAttempt_ = clock_();
    picCanvas->Cls();
    if (state.bDirectX && mnuShowHide->text() == QLatin1String("Hide")) RenderDirectDrawFrame({});
    return false;
}

void frmMain::BlockArrived()
{
    kelvo::GuardEvent("frame tick", [this] {
        // Wakeups also come for blocks that exit or an earlier tick dealt with.
        if (unloaded_ || recordingLength_ == 0 || !state.oRecorder->Filled()) return;
        try {
            kelvo::OwnWork::Part part(work_);
            DrawTick();
        } catch (...) {
            FinishTick();
            throw;
        }
        EndTick();
    });
}

void frmMain::DrawTick()
{
    const std::int32_t n = std::exchange(recordingLength_, 0);
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(n));
    state.oRecorder->RetrieveData(samples.data(), n);

    // Read now, so a switch made while the sound came counts.
    const QString caption = mnuShowHide->text();
    if (caption == QLatin1String("Show")) {
        kelvo::RenderTrayFrame(samples, state.lTrayStyle, state.lPlatform, picTrayHwnd_);
    } else if (caption == QLatin1String("Hide")) {
        if (state.bDirectX) RenderDirectDrawFrame(samples);
        else RenderWindowFrame(samples);
    }
    if (renderHook_) renderHook_();
    if (state.bDebug) ++state.lFrameCount;
}

void frmMain::EndTick()
{
    if (unloaded_) return;
    if (kelvo::TickPacer::Late(work_.Elapsed(), Timer->Interval()))
        Timer->SetInterval(kelvo::TickPacer::Lengthened(Timer->Interval()));
    if (FinishTick()) StartTick();
}

// True when the next tick is due at once.
bool frmMain::FinishTick()
{
    const bool beat = Timer->Release();
    return pacer_.TickFinished() || beat;
}

// Opening runs beside the event loop; the ticks that follow ask how it went.
bool frmMain::ReopenRecorder()
{
    if (!state.oRecorder->Opening()) {
        const auto now = clock_();
        if (now - lastOpenAttempt_ < kReopenPause) return false;
        lastOpenAttempt_ = now;
    }
    return state.oRecorder->WaveOpenUnblocked(false, state.lSampleRate, state.lBitsPerSample).value_or(false);
}

void frmMain::TimerFPS_Timer()
{
    kelvo::GuardEvent("frame counter", [this] {
        TimerFPS->Tag = QString::number(state.lFrameCount);
        if (state.bDebug) {
            std::fprintf(stderr, "kelvo: frames=%d interval=%d\n", static_cast<int>(state.lFrameCount),
                         static_cast<int>(Timer->Interval()));
            std::fflush(stderr);
        }
        state.lFrameCount = 0;
    });
}
