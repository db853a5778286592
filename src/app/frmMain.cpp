#include "app/frmMain.h"

#include "about/frmAbout.h"
#include "app/Artwork.h"
#include "app/CommandLine.h"
#include "app/TerminationSignals.h"
#include "app/TrayReceiver.h"
#include "base/EventGuard.h"
#include "common/Routines.h"
#include "common/RuntimeError.h"
#include "common/Unblocked.h"
#include "settings/StoredSettings.h"
#include "shell/notification_area.h"
#include "surfaces/TrayIcon.h"
#include "user/device_pixels.h"
#include "user/message_box.h"
#include "user/message_pump.h"
#include "user/sound_loop_host.h"
#include "user/window_table.h"
#include "winmm/capture_driver.h"
#include "winmm/input_choice.h"
#include "winmm/mmsystem.h"

#include <QCloseEvent>
#include <QPaintEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <cstdio>

namespace {

constexpr int kDesignInterval = 120;
constexpr const char* kNoDeviceText =
    "Kelvo requires that you have a soundcard installed that has the ability to record audio.  No such card is "
    "installed or configured.  Kelvo will now terminate.";
constexpr const char* kNoDeviceTitle = "No recoring devices";
constexpr const char* kCannotOpenText =
    "Kelvo cannot record from your soundcard.  Another application may be already using the device.  Kelvo will "
    "now terminate.";
constexpr const char* kCannotOpenTitle = "Can't open Wave device";

}  // namespace

frmMain::frmMain(std::string argumentText, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      picCanvas(new PictureBox(171, 61, true, this)),
      picTray(new TrayReceiver(this, [this](int button, int shift, float x, float y) {
          kelvo::GuardEvent("tray icon", [&] { picTray_MouseMove(button, shift, x, y); });
      })),
      Timer(new TimerControl(kDesignInterval, this)),
      TimerFPS(new TimerControl(1000, this)),
      mnuPopup(new QMenu(QStringLiteral("POPUP"), this)),
      argumentText_(std::move(argumentText)),
      clock_([] { return std::chrono::steady_clock::now(); })
{
    setFixedSize(188, 94);
    setWindowIcon(kelvo::AppletIcon());
    background_ = kelvo::FormBackground(picCanvas->Ratio());
    background_.setDevicePixelRatio(picCanvas->Ratio());
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Centred from the start, so that it is also there when it first shows
    // after a start in the tray.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }

    picCanvas->move(6, 22);
    picCanvas->SetPicture(kelvo::CanvasPicture(user::DevicePixels(172, picCanvas->Ratio()),
                                               user::DevicePixels(61, picCanvas->Ratio())));
    picCanvas->SetForeColor(RGB(128, 255, 255));
    // Presses and double-clicks over the canvas belong to the window.
    picCanvas->setAttribute(Qt::WA_TransparentForMouseEvents);

    picTray->setGeometry(148, 20, 19, 17);
    picTray->hide();
    picTrayHwnd_ = user::RegisterWindow(picTray);

    mnuPrefs = mnuPopup->addAction(QStringLiteral("Preferences..."));
    mnuInput = mnuPopup->addMenu(QStringLiteral("Input"));
    mnuShowHide = mnuPopup->addAction(QStringLiteral("Hide"));
    mnuPopup->addSeparator();
    mnuExit = mnuPopup->addAction(QStringLiteral("Exit"));
    mnuPopup->addSeparator();
    mnuAbout = mnuPopup->addAction(QStringLiteral("About..."));
    mnuPopup->setDefaultAction(mnuShowHide);
    connect(mnuPrefs, &QAction::triggered, this,
            [this] { kelvo::GuardEvent("Preferences...", [this] { mnuPrefs_Click(); }); });
    connect(mnuExit, &QAction::triggered, this, [this] { kelvo::GuardEvent("Exit", [this] { Unload(); }); });
    connect(mnuAbout, &QAction::triggered, this,
            [this] { kelvo::GuardEvent("About...", [this] { frmAbout::ShowModal(windowIcon()); }); });
    connect(mnuShowHide, &QAction::triggered, this, [this] {
        kelvo::GuardEvent("Show/Hide", [this] { SetDisplayMode(state.lDisplayMode == 0 ? 1 : 0); });
    });

    connect(Timer, &TimerControl::Timer, this, &frmMain::Timer_Timer);
    connect(TimerFPS, &TimerControl::Timer, this, &frmMain::TimerFPS_Timer);

    trayWait_ = new QTimer(this);
    trayWait_->setSingleShot(true);
    connect(trayWait_, &QTimer::timeout, this, [this] { kelvo::GuardEvent("tray wait", [this] { TrayWaitOver(); }); });

    // The sound is read on this window's thread once its stream starts here;
    // until then on a thread of its own. The block is drawn here either way.
    winmm::SetWaveInWakeup(
        [this] { QMetaObject::invokeMethod(this, [this] { BlockArrived(); }, Qt::QueuedConnection); });
    winmm::SetLoopHost(user::MakeQtLoopHost());
    trayWatch_ = std::make_unique<NotificationAreaWatch>(
        [this](bool available) { kelvo::GuardEvent("notification area", [&] { NotificationAreaChanged(available); }); });
}

frmMain::~frmMain()
{
    winmm::waveInWatchSources(nullptr);
    state.oRecorder.reset();  // closes the device while the wakeup is still valid
    winmm::SetWaveInWakeup(nullptr);
    winmm::SetLoopHost(nullptr);
}

HWND frmMain::hWnd()
{
    return user::RegisterWindow(this);
}

bool frmMain::Form_Load()
{
    const kelvo::Switches switches = kelvo::ParseSwitches(argumentText_);
    state.bDebug = switches.debug;

    // A termination signal stops start-up where it is.
    const auto stopped = [this] {
        if (kelvo::TerminationRequested()) Unload();
        return unloaded_;
    };

    // Asking a sound server that hangs must not keep a signal waiting.
    const auto devices = kelvo::RunUnblocked<UINT>([] { return waveInGetNumDevs(); }, {}, &user::WaitAndDoEvents,
                                                   &user::WakeMessagePump, stopped);
    if (!devices) return false;
    if (*devices == 0) {
        MessageBoxA(hWnd(), kNoDeviceText, kNoDeviceTitle, MB_OK);
        Unload();
        return false;
    }

    state.lSampleRate = 8000;
    state.lBitsPerSample = 8;
    if (stopped()) return false;
    const StoredSettings stored = LoadStoredSettings();
    LoadInputChoice(stored);
    state.oRecorder = std::make_unique<WaveIn>(&user::WaitAndDoEvents, &user::WakeMessagePump);
    if (!state.oRecorder->WaveOpen(false, state.lSampleRate, state.lBitsPerSample)) {
        if (stopped()) return false;
        MessageBoxA(hWnd(), kCannotOpenText, kCannotOpenTitle, MB_OK);
        Unload();
        return false;
    }
    if (stopped()) return false;
    // Whole before any menu opens, and kept so as the server changes.
    FillInputMenu();
    WatchInputs();

    SetTrayStyle(0);
    state.iFullScale = state.lBitsPerSample == 8 ? 256 : 32767;
    // A panel often starts after its applications: the window shows until
    // a tray comes.
    if (switches.tray && !EnterTray()) WaitForTray();
    state.lPlatform = GetPlatform();
    LoadSettings(stored);
    if (stopped()) return false;
    if (state.bDirectX) SetUpDirectDraw();
    if (stopped()) return false;
    if (state.bDebug) TimerFPS->SetEnabled(true);
    Timer->SetEnabled(true);

    if (state.lDisplayMode == 0) show();
    return true;
}

void frmMain::Unload()
{
    if (unloaded_) return;
    unloaded_ = true;
    Form_Unload();
    hide();
    emit Unloaded();
}

void frmMain::Form_Unload()
{
    Timer->SetEnabled(false);
    winmm::waveInWatchSources(nullptr);
    user::DoEvents();
    if (state.oRecorder) {
        state.oRecorder->Cancel();
        state.oRecorder->WaveClose();
    }
    // The recording in flight went with the device.
    recordingLength_ = 0;
    FinishTick();
    trayWatch_.reset();
    StopWaitingForTray();
    if (mnuShowHide->text() == QLatin1String("Show")) kelvo::TrayDelete(picTrayHwnd_, 1);
    // A start-up that ended early has no interval of the user's to save: the
    // stored one must survive.
    if (intervalToSave_) SaveSettings();
}

std::int16_t frmMain::RefreshInterval() const
{
    return NarrowTo<std::int16_t>(Timer->Interval());
}

void frmMain::SetRefreshInterval(std::int16_t value)
{
    intervalToSave_ = true;
    Timer->SetInterval(value);
    unsaved_.interval = value;
    StoreSettings(unsaved_);
}

void frmMain::LoadSettings(const StoredSettings& stored)
{
    state.bDirectX = stored.bDirectX;
    unsaved_.storedInterval = stored.intervalStored ? stored.interval : 0;
    intervalToSave_ = true;
    Timer->SetInterval(stored.interval);
}

void frmMain::SaveSettings()
{
    const bool userValues = unsaved_.interval || unsaved_.input;
    if (StoreSettingsAtExit(unsaved_, RefreshInterval())) return;
    // A hive refused at start-up was said to be left alone then.
    if (userValues) {
        MessageBoxA(hWnd(), kSaveFailedText, kSaveFailedTitle, kSaveFailedStyle);
    } else {
        std::fputs("kelvo: the settings could not be saved\n", stderr);
    }
}

void frmMain::DisplayLost()
{
    if (intervalToSave_ && !StoreSettingsAtExit(unsaved_, RefreshInterval()))
        std::fputs("kelvo: the settings could not be saved\n", stderr);
}

void frmMain::paintEvent(QPaintEvent* event)
{
    // Rectangle by rectangle: the region around the canvas drawn at once
    // would make Qt share the fill out to two pool threads (and their memory).
    QPainter painter(this);
    const qreal ratio = background_.devicePixelRatio();
    for (const QRect& r : event->region()) {
        painter.drawImage(QRectF(r), background_,
                          QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    kelvo::GuardEvent("close", [this] { Unload(); });
    event->accept();
}
