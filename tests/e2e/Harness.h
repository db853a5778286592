// Real servers for end-to-end tests: a private sound server with a null
// sink, a virtual X server, and Kelvo itself, each stopped when its owner
// goes out of scope.
#pragma once

#include <QImage>
#include <QRect>

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

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A child process in its own process group; ended (and reaped) on
// destruction.
class Process {
public:
    // Output goes to `log` (both streams) when given, else is discarded.
    Process(std::vector<std::string> argv, const Environment& extraEnv = {},
            std::optional<std::filesystem::path> log = std::nullopt,
            std::optional<std::filesystem::path> input = std::nullopt);
    ~Process();
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

// Polls `condition` until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Runs a command to its end; its exit code and standard output.
struct CommandResult {
    int code = -1;
    std::string output;
};
CommandResult Run(const std::vector<std::string>& argv, const Environment& extraEnv = {});

class SoundServer {
public:
    SoundServer() { Start(); }
    ~SoundServer() { Stop(); }
    void Start();
    void Stop();
    std::string ServerAddress() const;  // for PULSE_SERVER
    int pid() const;  // to stop and continue it
    std::string Monitor() const { return "kelvo_test.monitor"; }
    Environment ClientEnvironment() const;
    // Plays unsigned 8-bit mono 8000 Hz samples into the null sink, looping
    // them for as long as the returned process lives.
    std::unique_ptr<Process> Play(const std::vector<std::uint8_t>& samples);

private:
    TempDir dir_;
    std::unique_ptr<Process> server_;
    int playCount_ = 0;
};

class XServer {
public:
    XServer();
    std::string Display() const { return display_; }
    QImage Screenshot() const;
    // Window ids of visible windows whose title is `name`.
    std::vector<std::string> WindowsNamed(const std::string& name) const;
    std::vector<std::string> WindowsOfPid(int pid) const;
    QRect Geometry(const std::string& windowId) const;
    void Xdotool(const std::vector<std::string>& arguments) const;

private:
    std::string display_;
    std::unique_ptr<Process> server_;
};

// 8000 Hz unsigned 8-bit samples.
std::vector<std::uint8_t> Silence(double seconds);
std::vector<std::uint8_t> Tone(double hertz, double amplitude, double seconds);

std::filesystem::path KelvoBinary();

// The centre of the smallest rectangle that holds every pixel of `colour`
// inside `area` (a tray icon's trace, say); nullopt when there is none.
std::optional<QPoint> CentreOfColour(const QImage& image, QRect area, QRgb colour);

class DesktopUser;
// Where a program runs: the environment that names the desktop, and the user
// it runs as (nullptr: the current one).
struct Desktop {
    Environment environment;
    const DesktopUser* user = nullptr;
};

// The applet under test, with its own configuration folder; on an X
// desktop, started once more when it could not open the display.
class Kelvo {
public:
    Kelvo(const XServer& x, const Environment& sound, std::vector<std::string> arguments = {},
          const std::filesystem::path* configHome = nullptr, const std::filesystem::path& binary = KelvoBinary());
    // On any desktop (Wayland ones in e2e/Wayland.h); MainWindow needs an X one.
    Kelvo(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments = {});
    Process& process() { return *process_; }
    std::string Log() const;
    const std::filesystem::path& ConfigHome() const { return configHome_; }
    // The main window's id, once it is shown.
    std::optional<std::string> MainWindow(std::chrono::milliseconds timeout = 10s);

private:
    void Start(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments,
               const std::filesystem::path& binary);

    const XServer* x_ = nullptr;
    TempDir dir_;
    std::filesystem::path configHome_;
    std::filesystem::path log_;
    std::unique_ptr<Process> process_;
};

}  // namespace e2e
