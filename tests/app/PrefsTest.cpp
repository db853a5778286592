// The preferences dialog opened from the main window while a frame tick
// waits for its sound.
#include "app/frmMain.h"

#include "gdi/gdi.h"
#include "settings/StoredSettings.h"
#include "settings/frmPrefs.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_box.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {

TEST(PrefsFromTheMainWindow, TheDialogPausesTheFrameTimerAndAnAppliedIntervalCountsFromTheNextTick)
{
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    auto driver = std::make_shared<testing_support::FakeCaptureDriver>();
    winmm::SetCaptureDriver(driver);
    user::SetMessageBoxHandler([](const std::string& text, const std::string&, UINT) {
        return ADD_FAILURE() << text, IDOK;
    });
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
        EXPECT_EQ(GetPixel(form.picCanvas->hDC(), 50, 48), RGB(128, 255, 255)) << "the waiting tick drew its block";
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
    user::SetMessageBoxHandler({});
    winmm::SetCaptureDriver(nullptr);
}

}  // namespace
