// The two displays and what the user does to switch them, with a
// notification area that records what it is asked.
#include "app/AppFixture.h"
#include "settings/StoredSettings.h"
#include "shell/FakeNotificationArea.h"
#include "user/window_table.h"

#include <QKeyEvent>
#include <QMouseEvent>

using kelvo::test::FakeNotificationArea;

namespace {

class InteractionTest : public AppTest {
protected:
    InteractionTest() { driver->autoPattern = {0}; }

    static void Notify(frmMain& form, UINT mouseMessage)
    {
        user::WindowMessageEvent event(WM_MOUSEMOVE, 1, mouseMessage);
        QCoreApplication::sendEvent(form.picTray, &event);
    }

    FakeNotificationArea area;
};

TEST_F(InteractionTest, TheTraceMovesBetweenWindowAndIconByMenuAndDoubleClicksAndExitTakesTheIcon)
{
    frmMain form("/tray");
    ASSERT_TRUE(Load(form));
    EXPECT_EQ(form.DisplayMode(), 1);
    EXPECT_FALSE(form.isVisible()) << "/tray keeps the window hidden";
    ASSERT_EQ(area.calls.size(), 1u);
    EXPECT_EQ(area.calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_STREQ(area.calls[0].data.szTip, "Kelvo");
    ASSERT_TRUE(area.calls[0].picture) << "the applet's own icon";
    form.SetDisplayMode(1);
    EXPECT_EQ(area.calls.size(), 1u) << "no second icon";

    // A tick in the tray display draws into the icon: a steady 200 is row
    // 12, reached by one blue stroke down from the middle in column 1.
    driver->autoPattern = {200};
    Frame(form);
    ASSERT_EQ(area.calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    const auto& picture = *area.calls.back().picture;
    EXPECT_EQ(picture.argb[9 * picture.width + 1], 0xFF0000FFu);
    EXPECT_NE(picture.argb[9 * picture.width + 2], 0xFF0000FFu);

    Notify(form, WM_LBUTTONUP);
    Notify(form, WM_RBUTTONUP);
    EXPECT_EQ(form.DisplayMode(), 1) << "single clicks and releases do nothing";

    bool menuShown = false;
    QTimer::singleShot(0, [&] {
        menuShown = form.mnuPopup->isVisible();
        // A notification while the menu is open is dropped.
        Notify(form, WM_LBUTTONDBLCLK);
        EXPECT_EQ(form.DisplayMode(), 1);
        form.mnuPopup->close();
    });
    Notify(form, WM_RBUTTONDOWN);
    EXPECT_TRUE(menuShown);

    Notify(form, WM_LBUTTONDBLCLK);
    EXPECT_EQ(form.DisplayMode(), 0);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(area.calls.back().message, static_cast<DWORD>(NIM_DELETE));

    // On the window only a left double-click sends the trace into the tray.
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&form, &click);
        EXPECT_EQ(form.DisplayMode(), button == Qt::LeftButton ? 1 : 0) << button;
    }
    // The menu command switches both ways.
    form.mnuShowHide->trigger();
    EXPECT_EQ(form.DisplayMode(), 0);
    form.mnuShowHide->trigger();
    EXPECT_EQ(form.DisplayMode(), 1);

    form.mnuExit->trigger();
    EXPECT_TRUE(form.IsUnloaded());
    EXPECT_EQ(area.calls.back().message, static_cast<DWORD>(NIM_DELETE)) << "the icon goes with the applet";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(InteractionTest, ATrayThatComesLaterOrAgainTakesTheTraceUntilTheUserSwitchesWithoutOneTheUserIsToldOnce)
{
    std::ofstream(hive.kelvoDir()) << "a file where the settings folder should be: the save at exit fails";
    area.available = false;
    frmMain form("/tray");
    ASSERT_TRUE(Load(form));
    EXPECT_EQ(form.DisplayMode(), 0);
    EXPECT_TRUE(form.isVisible()) << "the window while no tray is there";
    EXPECT_TRUE(boxes.empty()) << "a start with /tray says nothing";

    // A tray that comes, goes and comes again takes the trace each time.
    for (const bool available : {true, false, true, false}) {
        area.SetAvailable(available);
        EXPECT_EQ(form.DisplayMode(), available ? 1 : 0);
        EXPECT_EQ(form.isVisible(), !available);
        EXPECT_EQ(form.mnuShowHide->text(), available ? "Show" : "Hide");
        EXPECT_EQ(area.calls.back().message, static_cast<DWORD>(available ? NIM_ADD : NIM_DELETE));
    }

    // The user's Hide without a tray: told once, and a tray that comes
    // later no longer takes the trace.
    form.mnuShowHide->trigger();
    form.SetDisplayMode(1);
    EXPECT_EQ(boxes, std::vector<std::string>{
                         "Kelvo|Kelvo cannot find a notification area on this desktop, so it stays in its window.|64"});
    const std::size_t calls = area.calls.size();
    area.SetAvailable(true);
    EXPECT_EQ(form.DisplayMode(), 0);
    EXPECT_EQ(area.calls.size(), calls);

    // The user's switches from the tray also count.
    form.SetDisplayMode(1);
    ASSERT_EQ(form.DisplayMode(), 1);
    form.mnuShowHide->trigger();
    area.SetAvailable(false);
    area.SetAvailable(true);
    EXPECT_EQ(form.DisplayMode(), 0);

    // A shell that refuses the icon counts as no notification area.
    area.result = FALSE;
    form.SetDisplayMode(1);
    EXPECT_EQ(form.DisplayMode(), 0);
    EXPECT_EQ(boxes.size(), 1u) << "told once per run";

    // A save that fails is worth a box only for an interval the user applied; otherwise a line.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    ::testing::internal::CaptureStderr();
    QCoreApplication::sendEvent(&form, &esc);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("kelvo: the settings could not be saved\n"), std::string::npos);
    EXPECT_TRUE(form.IsUnloaded());
    EXPECT_EQ(boxes.size(), 1u) << boxes.back();
    frmMain applied("");
    ASSERT_TRUE(Load(applied));
    applied.SetRefreshInterval(45);
    QCoreApplication::sendEvent(&applied, &esc);
    EXPECT_EQ(boxes.back(), "Kelvo|Cannot save options.  Terminating.|16");
}

// A tray that comes within the wait takes the trace: the test above begins so.
// One that comes after it, however late, is taken too.
TEST_F(InteractionTest, WithNoTrayWithinTheWaitAStartWithTraySaysSoInOneLineAndTakesALaterTray)
{
    area.available = false;
    frmMain form("/tray");
    form.SetTrayWaitLimit(std::chrono::milliseconds(50));
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(form.WaitingForTray());
    EXPECT_TRUE(Until([&] { return !form.WaitingForTray(); }));
    area.SetAvailable(true);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "kelvo: no notification area appeared within 0.05 s; staying in the window\n");
    EXPECT_EQ(form.DisplayMode(), 1);
    form.Unload();
    EXPECT_TRUE(boxes.empty());
}

// The "Input" submenu's entries as "text" or "[x] text", separators as "-",
// as they are before it ever opens.
std::vector<std::string> InputEntries(frmMain& form)
{
    std::vector<std::string> entries;
    for (QAction* action : form.mnuInput->actions()) {
        entries.push_back(action->isSeparator() ? "-"
                                                : (action->isChecked() ? "[x] " : "") + action->text().toStdString());
    }
    return entries;
}

TEST_F(InteractionTest, TheInputMenuListsTheSourcesAsTheServerHasThemAndAChoiceMovesTheRecordingAndIsStored)
{
    driver->list = {{{"mic", "Microphone", 1}, {"out.monitor", "Monitor of Speakers & Phones", 2}}, "mic", "out.monitor"};
    std::vector<std::string> items;
    {
        frmMain form("");
        ASSERT_TRUE(form.Form_Load());
        EXPECT_EQ(InputEntries(form)[0], "[x] Default input") << "nothing stored";
    }
    ASSERT_TRUE(SaveStoredSettings(150, "out.monitor"));
    for (const std::string environment : {"", "mic"}) {
        winmm::waveInSetPreferred(environment);  // as PULSE_SOURCE sets it
        frmMain form("");
        ASSERT_TRUE(form.Form_Load());
        const bool stored = environment.empty();
        EXPECT_EQ(driver->lastTarget.choice, stored ? "out.monitor" : "mic") << "PULSE_SOURCE wins for its run";
        EXPECT_EQ(InputEntries(form), (std::vector<std::string>{"Default input", "What is playing", "-",
                                                                stored ? "Microphone" : "[x] Microphone",
                                                                stored ? "[x] Monitor of Speakers && Phones"
                                                                       : "Monitor of Speakers && Phones"}));
        form.Unload();
        EXPECT_EQ(LoadStoredSettings().input, "out.monitor") << "kept while the user chooses nothing";
    }
    {
        frmMain form("");
        ASSERT_TRUE(form.Form_Load());
        for (QAction* action : form.mnuPopup->actions()) items.push_back(action->text().toStdString());

        // The server tells of a source that went and one that came; two that
        // share a description are told apart; an entry stays the same action.
        QAction* microphone = form.mnuInput->actions().at(3);
        driver->ChangeSources({{{"mic", "Microphone", 1}, {"usb", "Microphone", 1}}, "mic", ""});
        EXPECT_TRUE(Until([&] { return InputEntries(form).back() == "Microphone (usb)"; }));
        EXPECT_EQ(InputEntries(form), (std::vector<std::string>{"Default input", "What is playing", "-",
                                                                "[x] Microphone (mic)", "Microphone (usb)"}));
        EXPECT_EQ(form.mnuInput->actions().at(3), microphone);
        form.mnuInput->actions().at(1)->trigger();  // "What is playing"
        EXPECT_EQ(driver->Count("retarget @DEFAULT_MONITOR@"), 1);
        EXPECT_EQ(InputEntries(form)[1], "[x] What is playing");
        form.Unload();
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Preferences...", "Input", "Hide", "", "Exit", "", "About..."}));
    EXPECT_EQ(LoadStoredSettings().input, "@DEFAULT_MONITOR@");
}

}  // namespace
