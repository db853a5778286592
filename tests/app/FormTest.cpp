// The main window under Qt's offscreen platform, with a capture driver the
// test controls and the real hive in a temporary configuration folder.
#include "app/AppFixture.h"
#include "app/TickPacer.h"
#include "settings/StoredSettings.h"
#include "settings/frmPrefs.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

using FormTest = AppTest;

// Keeps this thread busy for `ms` of its own processor time.
void Burn(int ms)
{
    const auto end = kelvo::OwnWork::ThreadTime() + std::chrono::milliseconds(ms);
    while (kelvo::OwnWork::ThreadTime() < end) {
    }
}

TEST_F(FormTest, AFailedStartUpTellsTheUserOnceAndKeepsTheStoredInterval)
{
    ASSERT_TRUE(SaveStoredSettings(45));
    for (const auto& [devices, opened] : {std::pair{0u, MMSYSERR_NOERROR}, {1u, MMSYSERR_ALLOCATED}}) {
        driver->list.sources.assign(devices, {"mic", "Microphone", 1});
        driver->openResult = opened;
        frmMain form("");
        EXPECT_FALSE(form.Form_Load());
        EXPECT_TRUE(form.IsUnloaded());
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "No recoring devices|Kelvo requires that you have a soundcard installed that has the ability "
                         "to record audio.  No such card is installed or configured.  Kelvo will now terminate.|0",
                         "Can't open Wave device|Kelvo cannot record from your soundcard.  Another application may be "
                         "already using the device.  Kelvo will now terminate.|0"}));
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "the design interval never overwrites the user's";
}

// A tick records one interval and draws it. The interval backs off only when
// the applet's own work for a tick takes longer than the interval.
TEST_F(FormTest, TicksDrawTheirSoundSlowDrawingBacksOffOncePerTickLateSoundAndWorkWhileWaitingDoNot)
{
    driver->autoPattern = {128};
    frmMain form("");
    ASSERT_TRUE(Load(form));
    form.SetRefreshInterval(20);
    form.SetRenderHook([&] { Burn(form.RefreshInterval() + 5); });
    Frame(form);
    Frame(form);
    EXPECT_EQ(form.RefreshInterval(), 30);
    // Silence is the row round(128 / 256 x 61) = 30, from column 1 to the last.
    EXPECT_TRUE(TraceRows(form, 0).empty());
    for (int x = 1; x < 171; ++x) ASSERT_EQ(TraceRows(form, x), std::vector<int>{30}) << "column " << x;

    form.SetRenderHook({});
    driver->autoPattern.clear();
    const int before = driver->Count("start");
    emit form.Timer->Timer();
    ASSERT_TRUE(form.InTick()) << "the tick returns while its sound comes";
    emit form.Timer->Timer();  // due while the sound still comes: kept
    emit form.Timer->Timer();  // a whole interval late: the sound is, not the applet
    EXPECT_EQ(driver->Count("start"), before + 1) << "never a second tick while one waits";
    Burn(40);  // other work while the tick waits
    driver->Deliver(std::vector<std::uint8_t>(240, 128));
    EXPECT_TRUE(Until([&] { return driver->Count("start") == before + 2; })) << "the kept event's tick follows at once";
    EXPECT_TRUE(form.InTick());
    EXPECT_EQ(form.RefreshInterval(), 30);
    form.Unload();
}

// The frame timer keeps its own beat: restarted by each tick, it would drift
// against the sound server's and lose frames.
TEST_F(FormTest, ATickLeavesTheFrameTimersBeatAlone)
{
    frmMain form("");
    ASSERT_TRUE(Load(form));
    form.SetRefreshInterval(30000);
    form.Timer->SetEnabled(true);
    ASSERT_TRUE(Until([&] { return form.Timer->RemainingTime() < 29990; }));
    const int before = form.Timer->RemainingTime();
    emit form.Timer->Timer();
    ASSERT_TRUE(form.InTick());
    EXPECT_LE(form.Timer->RemainingTime(), before);
    form.Unload();
}

// Exit while a tick waits: the block that came is not drawn, no tick follows,
// the device is closed once and the interval saved.
TEST_F(FormTest, AnExitWhileATickWaitsEndsItWithoutDrawing)
{
    driver->autoPattern = {128};
    frmMain form("");
    ASSERT_TRUE(Load(form));
    Frame(form);
    int drawn = 0;
    form.SetRenderHook([&] { ++drawn; });
    driver->autoPattern.clear();
    emit form.Timer->Timer();
    emit form.Timer->Timer();  // kept
    driver->Deliver(std::vector<std::uint8_t>(1200, 200));  // its wakeup is on its way
    form.Unload();
    QCoreApplication::processEvents();
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(TraceRows(form, 50), std::vector<int>{30}) << "the last frame stays";
    EXPECT_FALSE(form.InTick());
    EXPECT_EQ(driver->Count("start"), 2);
    EXPECT_EQ(driver->Count("close"), 1);
    EXPECT_EQ(LoadStoredSettings().interval, 150);
}

TEST_F(FormTest, ALostDeviceShowsTheBackgroundAndIsReopenedAtMostOnceASecond)
{
    auto now = std::chrono::steady_clock::now();
    driver->autoPattern = {200};
    frmMain form("");
    form.SetClock([&] { return now; });
    ASSERT_TRUE(Load(form));
    Frame(form);
    ASSERT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "round(200 / 256 x 61)";

    driver->Fail();
    Frame(form);
    EXPECT_TRUE(TraceRows(form, 50).empty()) << "no sound, no trace";
    EXPECT_EQ(driver->Count("close"), 1);

    now += std::chrono::milliseconds(500);
    driver->openResult = MMSYSERR_NODRIVER;
    Frame(form);
    EXPECT_EQ(driver->Count("open"), 1) << "too soon to try again";

    // Opening runs beside the event loop: the ticks that follow ask how it went.
    const auto reopened = [&] {
        Frame(form);
        return !form.state.oRecorder->Opening();
    };
    now += std::chrono::milliseconds(600);
    EXPECT_TRUE(Until(reopened));
    EXPECT_EQ(driver->Count("open"), 2);
    EXPECT_FALSE(form.state.oRecorder->IsOpen());

    now += std::chrono::milliseconds(1000);
    driver->openResult = MMSYSERR_NOERROR;
    EXPECT_TRUE(Until(reopened));
    EXPECT_EQ(driver->Count("open"), 3);
    EXPECT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "drawing resumes";
    EXPECT_EQ(form.RefreshInterval(), 150) << "recovery never touches the interval";
}

// The menu command opens the dialog while a tick waits for its sound: ticks
// go on drawing under the dialog, and an applied interval counts at once.
TEST_F(FormTest, TicksDrawUnderTheDialogAndAnAppliedIntervalCountsWhileItIsOpen)
{
    frmMain form("");
    ASSERT_TRUE(Load(form));
    emit form.Timer->Timer();
    ASSERT_TRUE(form.InTick());
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = form.findChild<frmPrefs*>();
        ASSERT_TRUE(dialog);
        driver->Deliver(std::vector<std::uint8_t>(1200, 200));  // the waiting tick's block
        EXPECT_TRUE(Until([&] { return !form.InTick(); }));
        EXPECT_EQ(TraceRows(form, 50), std::vector<int>{48});
        dialog->txtFreq->setText(QStringLiteral("45"));
        dialog->Command3->click();
        EXPECT_EQ(form.RefreshInterval(), 45);
        driver->autoPattern = {100};
        Frame(form);
        EXPECT_EQ(TraceRows(form, 50), std::vector<int>{24}) << "round(100 / 256 x 61)";
        EXPECT_EQ(driver->Count("hint 360"), 1) << "45 ms recorded while the dialog is open";
        dialog->Command2->click();  // Cancel keeps what was applied
        checked = true;
    });
    form.mnuPrefs->trigger();
    ASSERT_TRUE(checked);
    EXPECT_EQ(driver->Count("hint 1200"), 1);
    form.Unload();
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "an applied interval is saved at exit";
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
