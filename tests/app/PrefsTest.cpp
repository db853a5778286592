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
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using testing_support::FakeCaptureDriver;
namespace fs = std::filesystem;

namespace {

TEST(PrefsFromTheMainWindow, TheDialogPausesTheFrameTimerAndAnAppliedIntervalCountsFromTheNextTick)
{
    std::string pattern = (fs::temp_directory_path() / "kelvo-prefs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    ::setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    auto driver = std::make_shared<FakeCaptureDriver>();
    winmm::SetCaptureDriver(driver);
    std::vector<std::string> boxes;
    user::SetMessageBoxHandler([&](const std::string& text, const std::string&, UINT) {
        boxes.push_back(text);
        return IDOK;
    });
    {
        frmMain form("");
        ASSERT_TRUE(form.Form_Load());
        driver->autoFill = 128;
        emit form.Timer->Timer();  // the first block, while the device warms up
        driver->autoFill.reset();

        bool checked = false;
        QTimer::singleShot(0, [&] {
            // In the tick's wait: the menu command opens the dialog, owned by the form.
            QTimer::singleShot(0, [&] {
                auto* dialog = form.findChild<frmPrefs*>();
                ASSERT_NE(dialog, nullptr);
                EXPECT_TRUE(dialog->isVisible() && dialog->isModal());
                EXPECT_TRUE(form.InTick());
                EXPECT_FALSE(form.Timer->Running()) << "time in the dialog is not frame time";
                EXPECT_EQ(dialog->txtFreq->text(), "150");
                dialog->txtFreq->setText(QStringLiteral("45"));
                dialog->Command3->click();
                EXPECT_EQ(form.RefreshInterval(), 45);
                EXPECT_FALSE(form.Timer->Running());
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
        EXPECT_FALSE(form.InTick());
        EXPECT_EQ(GetPixel(form.picCanvas->hDC(), 50, 48), RGB(128, 255, 255)) << "the waiting tick drew its block";

        emit form.Timer->Timer();
        std::vector<std::string> hints;
        for (const auto& call : driver->Calls()) {
            if (call.rfind("hint", 0) == 0) hints.push_back(call);
        }
        // The warm-up tick and the waiting tick: 1200 samples; every tick after: 45 ms.
        ASSERT_GE(hints.size(), 3u);
        EXPECT_EQ(std::count(hints.begin(), hints.end(), "hint 1200"), 2);
        EXPECT_EQ(std::count(hints.begin() + 2, hints.end(), "hint 360"), static_cast<long>(hints.size() - 2));
        EXPECT_EQ(form.RefreshInterval(), 45) << "nothing was lengthened";
        form.Unload();
    }
    EXPECT_EQ(LoadStoredSettings().interval, 45) << "an applied interval is saved at exit";
    EXPECT_TRUE(boxes.empty());
    user::SetMessageBoxHandler({});
    winmm::SetCaptureDriver(nullptr);
    fs::remove_all(pattern);
}

}  // namespace
