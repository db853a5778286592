// The applet's main window: start-up and shutdown, the frame tick and its
// renderers, and the state every part of the applet shares.
#pragma once

#include "app/AppletIconHandle.h"
#include "app/FormState.h"
#include "app/PictureBox.h"
#include "app/TickPacer.h"
#include "app/TimerControl.h"
#include "settings/StoredSettings.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class NotificationAreaWatch;

class frmMain : public QWidget {
    Q_OBJECT

public:
    explicit frmMain(std::string argumentText, QWidget* parent = nullptr);
    ~frmMain() override;

    // The load handler. False when start-up failed and the window has been
    // unloaded already.
    bool Form_Load();
    // Runs the unload handler once and closes the window.
    void Unload();
    bool IsUnloaded() const { return unloaded_; }

    LONG DisplayMode() const { return state.lDisplayMode; }
    // Switches between the window (0) and the tray display (1).
    void SetDisplayMode(LONG m);
    LONG TrayStyle() const { return state.lTrayStyle; }
    void SetTrayStyle(LONG value) { state.lTrayStyle = value; }
    std::int16_t RefreshInterval() const;
    // The user's interval: stored at once (and at exit when that failed);
    // only a save of what the user applied is worth a box when it fails.
    void SetRefreshInterval(std::int16_t value);
    // The display connection is gone: stores what is still unsaved, without a box.
    void DisplayLost();

    HWND hWnd();

    kelvo::FormState state;

    PictureBox* picCanvas;
    QWidget* picTray;
    HWND picTrayHwnd() const { return picTrayHwnd_; }
    TimerControl* Timer;
    TimerControl* TimerFPS;
    QMenu* mnuPopup;
    QAction* mnuPrefs;
    QMenu* mnuInput;
    QAction* mnuShowHide;
    QAction* mnuExit;
    QAction* mnuAbout;

    // Tests drive time for the reopen pacing.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    bool InTick() const { return pacer_.InTick(); }
    // Tests make drawing slow: runs after each frame is drawn.
    void SetRenderHook(std::function<void()> hook) { renderHook_ = std::move(hook); }

    // How long a start with /tray waits for a notification area to appear
    // (tests shorten it).
    void SetTrayWaitLimit(std::chrono::milliseconds limit) { trayWaitLimit_ = limit; }
    // Within that wait; a tray that comes later is taken all the same.
    bool WaitingForTray() const { return trayWanted_ && trayWait_->isActive(); }

    // Shows the window and raises it, as a double-click on the tray icon
    // does; for a second start of the applet.
    void BringBack();

    // The tray icon's notifications (x is the mouse message number).
    void picTray_MouseMove(int button, int shift, float x, float y);

signals:
    void Unloaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Unload();
    void Timer_Timer();
    void TimerFPS_Timer();
    void StartTick();
    bool RecordTick();
    void BlockArrived();
    void DrawTick();
    void EndTick();
    bool FinishTick();
    bool ReopenRecorder();
    void RenderWindowFrame(std::span<const std::uint8_t> samples);
    void SetUpDirectDraw();
    void RenderDirectDrawFrame(std::span<const std::uint8_t> samples);
    void LeaveDirectDraw(const std::exception& failure);
    void LoadSettings(const StoredSettings& stored);
    void SaveSettings();
    void ShowPopupMenu();
    void mnuPrefs_Click();
    void LoadInputChoice(const StoredSettings& stored);
    void WatchInputs();
    void FillInputMenu();
    void ChooseInput(const std::string& choice);
    void NotificationAreaChanged(bool available);
    bool EnterTray();
    void LeaveTray();
    void WaitForTray();
    void StopWaitingForTray();
    void TrayWaitOver();

    const std::string argumentText_;
    QImage background_;
    kelvo::TickPacer pacer_;
    kelvo::OwnWork work_;
    std::int32_t recordingLength_ = 0;
    std::function<void()> renderHook_;
    Clock clock_;
    std::chrono::steady_clock::time_point lastOpenAttempt_{};
    bool unloaded_ = false;
    bool intervalToSave_ = false;  // start-up got as far as the settings
    std::atomic<bool> inputsChanged_ = false;  // a fill of the "Input" menu is on its way
    // Stored as the user applies them; what could not be, at exit again.
    UnsavedSettings unsaved_;
    bool bInTrayEvent = false;
    bool toldNoNotificationArea_ = false;
    // Into the tray as soon as one appears: after a start with /tray, or
    // when the tray Kelvo was in went away.
    bool trayWanted_ = false;
    std::chrono::milliseconds trayWaitLimit_{30000};
    QTimer* trayWait_;
    HWND picTrayHwnd_ = nullptr;
    kelvo::AppletIconHandle icon_;
    std::unique_ptr<NotificationAreaWatch> trayWatch_;
};
