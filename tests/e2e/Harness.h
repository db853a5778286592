// Real servers for end-to-end tests: a private sound server with a null
// sink, a virtual X server, a desktop user's private session bus, and Kelvo
// itself, each stopped when its owner goes out of scope.
#pragma once

#include <QImage>
#include <QRect>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;
using Environment = std::map<std::string, std::string>;

// A new folder, removed with all it holds on destruction.
class TempDir {
public:
    TempDir();
    const std::filesystem::path& path() const { return path_; }

private:
    QTemporaryDir dir_;
    std::filesystem::path path_;
};

// A child process in its own process group; ended (and reaped) on
// destruction.
class Process {
public:
    // Output goes to `log` (both streams) when given, else is discarded.
    Process(std::vector<std::string> argv, const Environment& extraEnv = {},
            std::optional<std::filesystem::path> log = std::nullopt);
    ~Process() { Stop(15, 3s); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    int pid() const { return pid_; }
    bool Running();
    // Sends `signal` and waits for the exit; the exit code, or -signal.
    int Stop(int signal = 15, std::chrono::milliseconds grace = 5s);
    // Waits for the process to end by itself.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout);

private:
    int pid_ = -1;
    std::optional<int> status_;
};

// The whole of a file (empty when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);

// Polls `condition` until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Input that arrives just as a surface appears can be lost: repeats `act`
// until `done` holds.
bool Retrying(const std::function<void()>& act, const std::function<bool()>& done);

// Runs a command to its end; its exit code and standard output.
struct CommandResult {
    int code = -1;
    std::string output;
};
CommandResult Run(const std::vector<std::string>& argv, const Environment& extraEnv = {});

class SoundServer {
public:
    // PipeWire: pipewire, pipewire-pulse and wireplumber under a private
    // session bus, speaking the same protocol at the same address.
    enum class Kind { PulseAudio, PipeWire };
    explicit SoundServer(Kind kind = Kind::PulseAudio) : kind_(kind) { Start(); }
    void Start();
    void Stop() { server_.reset(); }
    std::string ServerAddress() const { return "unix:" + (dir_.path() / "pulse" / "native").string(); }
    int pid() const { return server_ ? server_->pid() : -1; }  // to stop and continue it
    Environment ClientEnvironment() const { return {{"PULSE_SERVER", ServerAddress()}, {"PULSE_SOURCE", "kelvo_test.monitor"}}; }
    // Plays unsigned 8-bit mono 8000 Hz samples into `sink`, for as long as
    // the returned process lives, at 30 ms as a live player asks: a player
    // that asks for nothing gets 2 s, and the null sink then renders its
    // monitor in lumps that cost Kelvo a frame a second now and then.
    std::unique_ptr<Process> Play(const std::vector<std::uint8_t>& samples, const std::string& sink = "kelvo_test");
    // pactl with `arguments`, against this server.
    CommandResult Pactl(std::vector<std::string> arguments) const;

private:
    Kind kind_;
    TempDir dir_;
    std::unique_ptr<Process> server_;
    int playCount_ = 0;
};

struct Desktop;

class XServer {
public:
    XServer();
    std::string Display() const { return display_; }
    // Ends the server, as a logout does.
    void Stop() { server_.reset(); }
    Desktop ForClients() const;
    QImage Screenshot() const;
    // Window ids of visible windows whose title is `name`.
    std::vector<std::string> WindowsNamed(const std::string& name) const;
    std::vector<std::string> WindowsOfPid(int pid) const;
    QRect Geometry(const std::string& windowId) const;
    CommandResult Xdotool(std::vector<std::string> arguments) const;
    // button: 1 left, 3 right.
    void Click(QPoint at, int button, int count = 1) const;
    // A left-button drag from `from` by `by`, in steps.
    void Drag(QPoint from, QPoint by) const;

private:
    TempDir dir_;
    std::unique_ptr<Process> server_;
    std::string display_;
};

// trayer, an XEmbed tray host across the top left of `x`, once it is up;
// with a `tint` ("0x202020") its panel has that colour.
std::unique_ptr<Process> Trayer(const XServer& x, const std::string& tint = "");

// 8000 Hz unsigned 8-bit samples (amplitude 0: silence).
std::vector<std::uint8_t> Tone(double hertz, double amplitude, double seconds);

inline std::filesystem::path KelvoBinary() { return std::filesystem::path(KELVO_BUILD_DIR) / "kelvo"; }
// Kelvo's /debug lines in `log`, in order.
struct Report {
    long frames = 0;
    long interval = 0;
};
std::vector<Report> FrameReports(const std::string& log);

// Where `colour` (each channel within `tolerance`) is inside `area`: the
// smallest rectangle around it, and how many pixels have it.
struct Found {
    QRect box;
    int pixels = 0;
};
Found Find(const QImage& image, QRect area, QRgb colour, int tolerance = 0);

// WCAG 2 contrast ratio of two colours, 1 to 21.
double Contrast(QRgb a, QRgb b);
// What lies behind `colour` inside `area` (around it): the commonest other
// colour there.
QRgb Behind(const QImage& image, QRect area, QRgb colour);

// sway refuses to run as root: as root a throw-away user is made, and on
// destruction every process still running as it is ended and the user
// removed. As anyone else, the desktops run as that user.
class DesktopUser {
public:
    DesktopUser();
    ~DesktopUser();
    // A folder of the user's, also its XDG_RUNTIME_DIR.
    const std::filesystem::path& Home() const { return home_.path(); }
    // `argv` run as the user with `env` (and HOME set to Home()).
    std::vector<std::string> Command(std::vector<std::string> argv, Environment env = {}) const;
    // Hands `path` and everything below it to the user.
    void Own(const std::filesystem::path& path) const;

private:
    TempDir home_;
    std::string name_;  // empty: the current user
};

// A private dbus-daemon --session of `user`'s, with no activatable services.
class SessionBus {
public:
    explicit SessionBus(const DesktopUser& user);
    std::string Address() const { return "unix:path=" + (user_.Home() / "bus").string(); }
    // dbus-send --session --print-reply with `arguments`, as the bus's user.
    CommandResult Send(std::vector<std::string> arguments) const;
    // The items the StatusNotifierWatcher lists.
    std::vector<std::string> RegisteredItems() const;
    bool HostRegistered() const { return WatcherProperty("IsStatusNotifierHostRegistered").find(" true") != std::string::npos; }
    // gtk-sni-tray-standalone on `desktop`, once any earlier host has gone
    // and its own is registered.
    std::unique_ptr<Process> StartTray(const Desktop& desktop) const;

private:
    std::string WatcherProperty(const std::string& name) const;
    const DesktopUser& user_;
    std::unique_ptr<Process> daemon_;
};

// Where a program runs: the environment that names the desktop, the user it
// runs as (nullptr: the current one), and the X server if it is one.
struct Desktop {
    Environment environment;
    const DesktopUser* user = nullptr;
    const XServer* x = nullptr;
};

// The applet under test, with its own configuration folder (and, unless the
// desktop names one, XDG_RUNTIME_DIR); on an X
// desktop, started once more when it could not open the display.
class Kelvo {
public:
    Kelvo(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments = {},
          const std::filesystem::path* configHome = nullptr, const std::filesystem::path& binary = KelvoBinary());
    Process& process() { return *process_; }
    std::string Log() const { return ReadFile(log_); }
    const std::filesystem::path& ConfigHome() const { return configHome_; }
    // What it was started with, its own XDG_RUNTIME_DIR included.
    const Environment& environment() const { return env_; }
    // The main window's id, once it is shown on an X desktop (188 x 94 pixels,
    // each `ratio` device pixels wide).
    std::optional<std::string> MainWindow(std::chrono::milliseconds timeout = 10s, double ratio = 1);
    // How many windows it shows on the X desktop (its own, menus, boxes).
    std::size_t Windows() const { return x_->WindowsOfPid(process_->pid()).size(); }
    // Waits for the trace in its window's canvas to pass `check` (its box in
    // the canvas's device pixels); the last seen goes to `last`.
    bool WaitForTrace(const std::function<bool(const Found&)>& check, Found* last = nullptr, double ratio = 1);
    // Right-clicks `at`; true once a menu opened.
    bool OpenMenu(QPoint at) const;

private:
    const XServer* x_ = nullptr;
    TempDir dir_;
    std::filesystem::path configHome_;
    std::filesystem::path log_;
    Environment env_;
    std::unique_ptr<Process> process_;
};

}  // namespace e2e
