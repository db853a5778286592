// The main window under Qt's offscreen platform, with a capture driver the
// test controls and the real hive in a temporary configuration folder.
#include "app/frmMain.h"

#include "app/AppFixture.h"
#include "app/TickPacer.h"
#include "common/RuntimeError.h"
#include "gdi/gdi.h"
#include "settings/StoredSettings.h"
#include "settings/frmPrefs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <fstream>

namespace {

constexpr COLORREF kTrace = RGB(128, 255, 255);

class FormTest : public AppTest {
protected:
    // Rows of the canvas where column x shows the trace colour.
    static std::vector<int> TraceRows(frmMain& form, int x)
    {
        std::vector<int> rows;
        for (int y = 0; y < 61; ++y) {
            if (GetPixel(form.picCanvas->hDC(), x, y) == kTrace) rows.push_back(y);
        }
        return rows;
    }

    static int TracePixels(frmMain& form)
    {
        int n = 0;
        for (int x = 0; x < 171; ++x) n += static_cast<int>(TraceRows(form, x).size());
        return n;
    }

    int Opens()
    {
        const auto calls = driver->Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), "open"));
    }

};

TEST_F(FormTest, AFailedStartUpTellsTheUserOnceAndKeepsTheStoredInterval)
{
    ASSERT_TRUE(SaveStoredSettings(45));
    driver->devices = 0;
    {
        frmMain form("");
        EXPECT_FALSE(form.Form_Load());
        EXPECT_TRUE(form.IsUnloaded());
        EXPECT_FALSE(form.Timer->Enabled());
        EXPECT_FALSE(form.isVisible());
    }
    driver->devices = 1;
    driver->openResult = MMSYSERR_ALLOCATED;
    {
        frmMain form("");
        EXPECT_FALSE(form.Form_Load());
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "No recoring devices|Kelvo requires that you have a soundcard installed that has the ability "
                         "to record audio.  No such card is installed or configured.  Kelvo will now terminate.|0",
                         "Can't open Wave device|Kelvo cannot record from your soundcard.  Another application may be "
                         "already using the device.  Kelvo will now terminate.|0"}));
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "the design interval never overwrites the user's";
}

TEST_F(FormTest, ATickRecordsOneIntervalAndDrawsIt)
{
    driver->autoFill = 128;
    frmMain form("/Debug");
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.RefreshInterval(), 150);
    EXPECT_TRUE(form.Timer->Enabled());
    EXPECT_TRUE(form.TimerFPS->Enabled());

    emit form.Timer->Timer();
    EXPECT_EQ(driver->Calls()[1], "hint 1200");
    // Silence is the row round(128 / 256 x 61) = 30, from column 1 to the last.
    EXPECT_TRUE(TraceRows(form, 0).empty());
    for (int x = 1; x < 171; ++x) ASSERT_EQ(TraceRows(form, x), std::vector<int>{30}) << "column " << x;

    form.SetRefreshInterval(45);
    emit form.Timer->Timer();
    EXPECT_EQ(driver->Calls().back(), "start");
    EXPECT_NE(std::find(driver->Calls().begin(), driver->Calls().end(), "hint 360"), driver->Calls().end());

    emit form.TimerFPS->Timer();
    EXPECT_EQ(form.TimerFPS->Tag, "2");
    EXPECT_EQ(form.state.lFrameCount, 0);

    form.Timer->SetInterval(40000);
    EXPECT_THROW(form.RefreshInterval(), RuntimeError);
    form.Timer->SetInterval(150);
    form.Unload();
    EXPECT_EQ(LoadStoredSettings().interval, 150);

    frmMain quiet("");
    ASSERT_TRUE(quiet.Form_Load());
    EXPECT_FALSE(quiet.TimerFPS->Enabled());
    emit quiet.Timer->Timer();
    EXPECT_EQ(quiet.state.lFrameCount, 0);
    EXPECT_TRUE(quiet.TimerFPS->Tag.isEmpty());
}

TEST_F(FormTest, EventsDuringATickAreKeptAndRunBackToBackAndLateSoundLengthensNothing)
{
    frmMain paced("");
    ASSERT_TRUE(paced.Form_Load());
    paced.SetRefreshInterval(5000);  // the real timer stays out of the way
    driver->autoFill = 128;
    emit paced.Timer->Timer();  // the first block, while the device warms up
    driver->autoFill.reset();
    const int before = driver->Starts();

    int startsInNextTick = 0;
    QTimer::singleShot(0, [&] {
        emit paced.Timer->Timer();  // due as the recording should end: kept
        EXPECT_EQ(paced.RefreshInterval(), 5000);
        emit paced.Timer->Timer();  // a whole interval late: the sound is, not the applet
        emit paced.Timer->Timer();
        EXPECT_EQ(paced.RefreshInterval(), 5000);
        EXPECT_EQ(driver->Starts(), before + 1) << "never a second tick while one runs";
        driver->Deliver(std::vector<std::uint8_t>(40000, 128));
        QTimer::singleShot(0, [&] {
            startsInNextTick = driver->Starts();
            paced.Unload();
        });
    });
    emit paced.Timer->Timer();
    EXPECT_EQ(startsInNextTick, before + 2) << "the kept event started the next tick at once";
    EXPECT_TRUE(paced.IsUnloaded() && !paced.InTick()) << "exit ends the waiting tick";
    EXPECT_FALSE(paced.Timer->Enabled());
    EXPECT_EQ(driver->Calls().back(), "close");
    EXPECT_EQ(LoadStoredSettings().interval, 5000);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FormTest, DrawingSlowerThanTheIntervalBacksOffOncePerTick)
{
    driver->autoFill = 128;
    frmMain form("");
    ASSERT_TRUE(form.Form_Load());
    form.SetRefreshInterval(20);
    int frames = 0;
    form.SetRenderHook([&] {
        ++frames;
        const auto end = kelvo::OwnWork::ThreadTime() + std::chrono::milliseconds(form.RefreshInterval() + 5);
        while (kelvo::OwnWork::ThreadTime() < end) {
        }
    });
    emit form.Timer->Timer();
    emit form.Timer->Timer();
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(form.RefreshInterval(), 30);
}

TEST_F(FormTest, ALostDeviceShowsTheBackgroundAndIsReopenedAtMostOnceASecond)
{
    auto now = std::chrono::steady_clock::now();
    driver->autoFill = 200;
    frmMain form("");
    form.SetClock([&] { return now; });
    ASSERT_TRUE(form.Form_Load());
    emit form.Timer->Timer();
    ASSERT_GT(TracePixels(form), 0);

    driver->Fail();
    emit form.Timer->Timer();
    EXPECT_EQ(TracePixels(form), 0) << "no sound, no trace";
    EXPECT_EQ(driver->Calls().back(), "close");
    EXPECT_EQ(form.RefreshInterval(), 150);

    now += std::chrono::milliseconds(500);
    driver->openResult = MMSYSERR_NODRIVER;
    emit form.Timer->Timer();
    EXPECT_EQ(Opens(), 1) << "too soon to try again";

    now += std::chrono::milliseconds(600);
    emit form.Timer->Timer();
    EXPECT_EQ(Opens(), 2);
    EXPECT_EQ(TracePixels(form), 0);

    // The first block after the reopen arrives late: that is no reason to back off.
    now += std::chrono::milliseconds(1000);
    driver->openResult = MMSYSERR_NOERROR;
    driver->autoFill.reset();
    QTimer::singleShot(0, [&] {
        emit form.Timer->Timer();
        emit form.Timer->Timer();
        driver->autoFill = 200;  // for the kept event's tick
        driver->Deliver(std::vector<std::uint8_t>(1200, 200));
    });
    emit form.Timer->Timer();
    EXPECT_EQ(Opens(), 3);
    EXPECT_EQ(TraceRows(form, 50), std::vector<int>{48}) << "drawing resumes: round(200 / 256 x 61)";
    EXPECT_EQ(form.RefreshInterval(), 150) << "recovery never touches the interval";
}

TEST_F(FormTest, ASaveThatCannotBeMadeIsToldWithTheErrorIcon)
{
    // A file where the settings folder should be: nothing can be created.
    std::ofstream(hive.kelvoDir()) << "in the way";
    frmMain form("");
    ASSERT_TRUE(form.Form_Load());
    form.Unload();
    EXPECT_EQ(boxes, std::vector<std::string>{"Kelvo|Cannot save options.  Terminating.|16"});
}

// The preferences dialog opened while a frame tick waits for its sound.
TEST_F(FormTest, TheDialogPausesTheFrameTimerAndAnAppliedIntervalCountsFromTheNextTick)
{
    {
        frmMain form("");
        ASSERT_TRUE(form.Form_Load());
        driver->autoFill = 128;
        emit form.Timer->Timer();  // the first block, while the device warms up
        driver->autoFill.reset();
        bool checked = false;
        QTimer::singleShot(0, [&] {  // in the tick's wait: the menu command opens the dialog
            QTimer::singleShot(0, [&] {
                auto* dialog = form.findChild<frmPrefs*>();
                ASSERT_TRUE(dialog && dialog->isModal() && form.InTick());
                EXPECT_FALSE(form.Timer->Running()) << "time in the dialog is not frame time";
                dialog->txtFreq->setText(QStringLiteral("45"));
                dialog->Command3->click();
                EXPECT_TRUE(form.RefreshInterval() == 45 && !form.Timer->Running());
                driver->Deliver(std::vector<std::uint8_t>(1200, 200));  // the waiting tick's block
                driver->autoFill = 200;
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
        std::vector<std::string> hints;  // the block sizes: warm-up, the waiting tick, then every later tick
        for (const auto& call : driver->Calls()) {
            if (call.rfind("hint", 0) == 0) hints.push_back(call);
        }
        EXPECT_TRUE(hints.size() >= 3 && std::count(hints.begin(), hints.end(), "hint 1200") == 2 &&
                    hints[2] == "hint 360");
        EXPECT_EQ(form.RefreshInterval(), 45) << "nothing was lengthened";
        form.Unload();
    }
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "an applied interval is saved at exit";
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
