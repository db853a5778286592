// The main window under Qt's offscreen platform, with a capture driver the
// test controls and the real hive in a temporary configuration folder.
#include "app/frmMain.h"

#include "app/AppFixture.h"
#include "app/TickPacer.h"
#include "settings/StoredSettings.h"
#include "settings/frmPrefs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

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
        driver->devices = devices;
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
    ASSERT_TRUE(form.Form_Load());
    form.SetRefreshInterval(20);
    form.SetRenderHook([&] { Burn(form.RefreshInterval() + 5); });
    emit form.Timer->Timer();
    emit form.Timer->Timer();
    EXPECT_EQ(form.RefreshInterval(), 30);
    // Silence is the row round(128 / 256 x 61) = 30, from column 1 to the last.
    EXPECT_TRUE(TraceRows(form, 0).empty());
    for (int x = 1; x < 171; ++x) ASSERT_EQ(TraceRows(form, x), std::vector<int>{30}) << "column " << x;

    form.SetRenderHook({});
    driver->autoPattern.clear();
    const int before = driver->Count("start");
    int startsInNextTick = 0;
    QTimer::singleShot(0, [&] {
        emit form.Timer->Timer();  // due as the recording should end: kept
        emit form.Timer->Timer();  // a whole interval late: the sound is, not the applet
        EXPECT_EQ(driver->Count("start"), before + 1) << "never a second tick while one runs";
        Burn(40);  // a busy event loop while the tick waits
        driver->Deliver(std::vector<std::uint8_t>(240, 128));
        QTimer::singleShot(0, [&] {
            startsInNextTick = driver->Count("start");
            form.Unload();
        });
    });
    emit form.Timer->Timer();
    EXPECT_EQ(startsInNextTick, before + 2) << "the kept event started the next tick at once";
    EXPECT_EQ(form.RefreshInterval(), 30);
    EXPECT_FALSE(form.InTick()) << "exit ends the waiting tick";
    EXPECT_EQ(driver->Count("close"), 1);
}

TEST_F(FormTest, ALostDeviceShowsTheBackgroundAndIsReopenedAtMostOnceASecond)
{
    auto now = std::chrono::steady_clock::now();
    driver->autoPattern = {200};
    frmMain form("");
    form.SetClock([&] { return now; });
    ASSERT_TRUE(form.Form_Load());
    emit form.Timer->Timer();
    ASSERT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "round(200 / 256 x 61)";

    driver->Fail();
    emit form.Timer->Timer();
    EXPECT_TRUE(TraceRows(form, 50).empty()) << "no sound, no trace";
    EXPECT_EQ(driver->Count("close"), 1);

    now += std::chrono::milliseconds(500);
    driver->openResult = MMSYSERR_NODRIVER;
    emit form.Timer->Timer();
    EXPECT_EQ(driver->Count("open"), 1) << "too soon to try again";

    now += std::chrono::milliseconds(600);
    emit form.Timer->Timer();
    EXPECT_EQ(driver->Count("open"), 2);

    // The first block after the reopen arrives late: that is no reason to back off.
    now += std::chrono::milliseconds(1000);
    driver->openResult = MMSYSERR_NOERROR;
    driver->autoPattern.clear();
    QTimer::singleShot(0, [&] {
        emit form.Timer->Timer();
        emit form.Timer->Timer();
        driver->autoPattern = {200};  // for the kept event's tick
        driver->Deliver(std::vector<std::uint8_t>(1200, 200));
    });
    emit form.Timer->Timer();
    EXPECT_EQ(driver->Count("open"), 3);
    EXPECT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "drawing resumes";
    EXPECT_EQ(form.RefreshInterval(), 150) << "recovery never touches the interval";
}

// The preferences dialog opened while a frame tick waits for its sound.
TEST_F(FormTest, TheDialogPausesTheFrameTimerAndAnAppliedIntervalCountsFromTheNextTick)
{
    frmMain form("");
    ASSERT_TRUE(form.Form_Load());
    driver->autoPattern = {128};
    emit form.Timer->Timer();  // the first block, while the device warms up
    driver->autoPattern.clear();
    bool checked = false;
    QTimer::singleShot(0, [&] {  // in the tick's wait: the menu command opens the dialog
        QTimer::singleShot(0, [&] {
            auto* dialog = form.findChild<frmPrefs*>();
            ASSERT_TRUE(dialog);
            EXPECT_TRUE(form.InTick());
            EXPECT_FALSE(form.Timer->Running()) << "time in the dialog is not frame time";
            dialog->txtFreq->setText(QStringLiteral("45"));
            dialog->Command3->click();
            EXPECT_EQ(form.RefreshInterval(), 45);
            EXPECT_FALSE(form.Timer->Running());
            driver->Deliver(std::vector<std::uint8_t>(1200, 200));  // the waiting tick's block
            driver->autoPattern = {200};
            dialog->Command2->click();  // Cancel keeps what was applied
            checked = true;
        });
        form.mnuPrefs->trigger();
        EXPECT_TRUE(form.Timer->Running()) << "the timer runs again once the dialog is closed";
    });
    emit form.Timer->Timer();
    ASSERT_TRUE(checked);
    EXPECT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "the waiting tick drew its block";
    emit form.Timer->Timer();
    // Warm-up and the waiting tick record 150 ms, the tick after them 45 ms.
    EXPECT_EQ(driver->Count("hint 1200"), 2);
    EXPECT_EQ(driver->Count("hint 360"), 1);
    EXPECT_EQ(form.RefreshInterval(), 45) << "nothing was lengthened";
    form.Unload();
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "an applied interval is saved at exit";
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
