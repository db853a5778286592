// The frame tick: record one interval of sound, then draw it on the active
// display.
#include "app/EventGuard.h"
#include "app/SampleMapping.h"
#include "app/TrayRenderer.h"
#include "app/frmMain.h"

#include <cstdio>
#include <vector>

namespace {

// A device that failed is tried again at most this often.
constexpr std::chrono::seconds kReopenPause{1};

}  // namespace

void frmMain::Timer_Timer()
{
    kelvo::GuardEvent("frame tick", [this] {
        if (pacer_.OnTimerEvent() == kelvo::TickPacer::Event::Kept) return;
        bool again = true;
        while (again) {
            pacer_.TickStarted();
            work_.Start();
            // The next event falls due when this tick's recording should end.
            Timer->Restart();
            try {
                Tick();
            } catch (...) {
                pacer_.TickFinished();
                throw;
            }
            if (kelvo::TickPacer::Late(work_.Elapsed(), Timer->Interval()) && Timer->Enabled() && !unloaded_)
                Timer->SetInterval(kelvo::TickPacer::Lengthened(Timer->Interval()));
            again = pacer_.TickFinished() && Timer->Enabled() && !unloaded_;
        }
    });
}

void frmMain::Tick()
{
    if (!state.oRecorder || (!state.oRecorder->IsOpen() && !ReopenRecorder())) return;

    const auto n = RoundTo<std::int32_t>(Timer->Interval() / 1000.0 * state.lSampleRate);
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(std::max(n, 0)));
    bool recorded = false;
    {
        kelvo::OwnWork::Wait wait(work_);
        recorded = state.oRecorder->WaveRecord(n);
    }
    if (!recorded) {
        state.oRecorder->WaveClose();
        if (!unloaded_) {
            // No sound: the canvas shows its background until the device is back.
            lastOpenAttempt_ = clock_();
            picCanvas->Cls();
            if (state.bDirectX && mnuShowHide->text() == QLatin1String("Hide")) RenderDirectDrawFrame({});
        }
        return;
    }
    state.oRecorder->RetrieveData(samples.data(), n);

    // Read after the recording, so a switch made during the wait counts.
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

bool frmMain::ReopenRecorder()
{
    const auto now = clock_();
    if (now - lastOpenAttempt_ < kReopenPause) return false;
    lastOpenAttempt_ = now;
    kelvo::OwnWork::Wait wait(work_);
    return state.oRecorder->WaveOpen(false, state.lSampleRate, state.lBitsPerSample);
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
