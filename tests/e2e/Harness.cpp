#include "e2e/Harness.h"

#include <QDir>
#include <QtCore/qtestsupport_core.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::stringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
}

TempDir::TempDir() : dir_(QDir::tempPath() + "/kelvo-e2e-XXXXXX"), path_(dir_.path().toStdString())
{
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
}

namespace {

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

}  // namespace

Process::Process(std::vector<std::string> argv, const Environment& extraEnv, std::optional<fs::path> log)
{
    // sh for the redirections, then env(1) for the extra variables over the
    // inherited ones; both exec, so the child's pid is the program's.
    std::vector<std::string> command{"sh", "-c", "exec \"$@\" </dev/null >>\"$0\" 2>&1",
                                     log ? log->string() : "/dev/null", "env"};
    for (const auto& [name, value] : extraEnv) command.push_back(name + "=" + value);
    command.insert(command.end(), argv.begin(), argv.end());
    std::vector<char*> argp;
    for (auto& word : command) argp.push_back(word.data());
    argp.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    const int rc = posix_spawnp(&pid_, argp[0], nullptr, &attr, argp.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

bool Process::Running()
{
    int status = 0;
    if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    return !status_;
}

std::optional<int> Process::WaitExit(std::chrono::milliseconds timeout)
{
    WaitFor([this] { return !Running(); }, timeout);
    return status_;
}

int Process::Stop(int signal, std::chrono::milliseconds grace)
{
    if (Running()) {
        ::kill(-pid_, signal);
        if (!WaitExit(grace)) {
            ::kill(-pid_, SIGKILL);
            WaitExit(5s);
        }
    }
    // Whatever the child left in its group goes too.
    ::kill(-pid_, SIGKILL);
    return status_.value_or(-SIGKILL);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor(condition, static_cast<int>(timeout.count()));
}

bool Retrying(const std::function<void()>& act, const std::function<bool()>& done)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        act();
        if (WaitFor(done, 4s)) return true;
    }
    return false;
}

CommandResult Run(const std::vector<std::string>& argv, const Environment& extraEnv)
{
    TempDir dir;
    // In order, as a braced list runs: the output is read once the command has ended.
    return {Process(argv, extraEnv, dir.path() / "out").WaitExit(30s).value_or(-1), ReadFile(dir.path() / "out")};
}

void SoundServer::Start()
{
    const Environment env{{"XDG_RUNTIME_DIR", dir_.path().string()}, {"HOME", dir_.path().string()}};
    if (kind_ == Kind::PipeWire) {
        server_ = std::make_unique<Process>(
            std::vector<std::string>{"dbus-run-session", "--", "sh", "-c", "pipewire & pipewire-pulse & wireplumber & wait"},
            env, dir_.path() / "pipewire.log");
        if (!WaitFor([this] { return Pactl({"info"}).code == 0; }, 20s)) throw std::runtime_error("no pipewire-pulse");
        Pactl({"load-module", "module-null-sink", "sink_name=kelvo_test"});
    } else {
        server_ = std::make_unique<Process>(
            std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                     "--disallow-exit", "--load=module-native-protocol-unix auth-anonymous=1",
                                     "--load=module-null-sink sink_name=kelvo_test"},
            env, dir_.path() / "pulseaudio.log");
    }
    const bool up = WaitFor(
        [this] { return Pactl({"list", "short", "sources"}).output.find("kelvo_test.monitor") != std::string::npos; },
        20s);
    if (!up) throw std::runtime_error("the sound server did not come up");
    // Open to a desktop that runs as another user (see DesktopUser).
    for (const fs::path& dir : {dir_.path(), dir_.path() / "pulse"}) {
        fs::permissions(dir, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    }
}

CommandResult SoundServer::Pactl(std::vector<std::string> arguments) const
{
    arguments.insert(arguments.begin(), "pactl");
    return Run(arguments, {{"PULSE_SERVER", ServerAddress()}});
}

std::unique_ptr<Process> SoundServer::Play(const std::vector<std::uint8_t>& samples, const std::string& sink)
{
    const fs::path file = dir_.path() / ("sound" + std::to_string(playCount_++) + ".raw");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                                static_cast<std::streamsize>(samples.size()));
    return std::make_unique<Process>(
        std::vector<std::string>{"pacat", "--playback", "--latency-msec=30", "--raw", "--format=u8", "--rate=8000", "--channels=1",
                                 "--device=" + sink, file.string()},
        ClientEnvironment());
}

// Xvfb picks a free display itself and writes its number once it is ready.
// Without -noreset it resets whenever its last client leaves, and a client
// that connects meanwhile is refused (trayer, one start in ten here).
XServer::XServer()
    : server_(std::make_unique<Process>(
          std::vector<std::string>{"Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", "640x480x24", "-nolisten", "tcp"},
          Environment{}, dir_.path() / "log"))
{
    const std::regex number("(^|\n)(\\d+)\n");
    std::smatch found;
    std::string log;
    if (!WaitFor([&] { return std::regex_search(log = ReadFile(dir_.path() / "log"), found, number); }, 15s)) {
        throw std::runtime_error("no X server could be started");
    }
    display_ = ":" + found[2].str();
}

Desktop XServer::ForClients() const
{
    return {{{"DISPLAY", display_}, {"QT_QPA_PLATFORM", "xcb"}}, nullptr, this};
}

QImage XServer::Screenshot() const
{
    TempDir dir;
    const fs::path file = dir.path() / "shot.png";
    Run({"import", "-display", display_, "-window", "root", file.string()});
    return QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

std::vector<std::string> XServer::WindowsNamed(const std::string& name) const
{
    return Words(Xdotool({"search", "--onlyvisible", "--name", "^" + name + "$"}).output);
}

std::vector<std::string> XServer::WindowsOfPid(int pid) const
{
    return Words(Xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid)}).output);
}

QRect XServer::Geometry(const std::string& windowId) const
{
    const std::string shell = Xdotool({"getwindowgeometry", "--shell", windowId}).output;
    int x = 0, y = 0, width = 0, height = 0;
    std::sscanf(shell.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &width, &height);
    return QRect(x, y, width, height);
}

CommandResult XServer::Xdotool(std::vector<std::string> arguments) const
{
    arguments.insert(arguments.begin(), "xdotool");
    return Run(arguments, {{"DISPLAY", display_}});
}

void XServer::Click(QPoint at, int button, int count) const
{
    // A real move first: after a modal window, a press without one is lost.
    Xdotool({"mousemove", std::to_string(at.x() + 1), std::to_string(at.y()), "mousemove", std::to_string(at.x()),
             std::to_string(at.y()), "click", "--repeat", std::to_string(count), "--delay", "80", std::to_string(button)});
}

void XServer::Drag(QPoint from, QPoint by) const
{
    Xdotool({"mousemove", std::to_string(from.x()), std::to_string(from.y()), "mousedown", "1"});
    for (int step = 1; step <= 4; ++step) {
        const QPoint at = from + by * step / 4;
        Xdotool({"mousemove", std::to_string(at.x()), std::to_string(at.y())});
    }
    Xdotool({"mouseup", "1"});
}

std::unique_ptr<Process> Trayer(const XServer& x, const std::string& tint)
{
    std::vector<std::string> argv{"trayer", "--edge",      "top",  "--align",        "left", "--widthtype", "request",
                                  "--height", "24",        "--SetDockType", "false"};
    if (!tint.empty()) argv.insert(argv.end(), {"--transparent", "true", "--alpha", "0", "--tint", tint});
    auto trayer = std::make_unique<Process>(argv, Environment{{"DISPLAY", x.Display()}});
    if (!WaitFor([&] { return !x.WindowsNamed("panel").empty(); }, 20s)) throw std::runtime_error("no trayer");
    return trayer;
}

std::vector<std::uint8_t> Tone(double hertz, double amplitude, double seconds)
{
    std::vector<std::uint8_t> v(static_cast<std::size_t>(seconds * 8000));
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = static_cast<std::uint8_t>(std::lround(128 + 127 * amplitude * std::sin(2 * M_PI * hertz * i / 8000.0)));
    }
    return v;
}

std::vector<Report> FrameReports(const std::string& log)
{
    const std::regex line("kelvo: frames=(\\d+) interval=(\\d+)\n");
    std::vector<Report> reports;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        reports.push_back({std::stol((*it)[1]), std::stol((*it)[2])});
    return reports;
}

Found Find(const QImage& image, QRect area, QRgb colour, int tolerance)
{
    Found found;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) <= tolerance && std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                std::abs(qBlue(p) - qBlue(colour)) <= tolerance) {
                found.box |= QRect(x, y, 1, 1);
                ++found.pixels;
            }
        }
    }
    return found;
}

double Contrast(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto linear = [](int channel) {
            const double v = channel / 255.0;
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb Behind(const QImage& image, QRect area, QRgb colour)
{
    std::map<QRgb, int> counts;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF)) ++counts[image.pixel(x, y)];
        }
    }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? colour : most->first;
}

DesktopUser::DesktopUser()
{
    if (::geteuid() != 0) return;
    name_ = "kelvo-e2e-" + std::to_string(::getpid());
    if (Run({"useradd", "--no-create-home", "--home-dir", Home().string(), "--shell", "/usr/sbin/nologin",
             "--user-group", name_}).code != 0) {
        throw std::runtime_error("useradd " + name_ + " failed");
    }
    Own(Home());
}

DesktopUser::~DesktopUser()
{
    if (name_.empty()) return;
    // What the desktops started on their own (bus activations and the like);
    // pkill says 1 once none is left.
    WaitFor([this] { return Run({"pkill", "-KILL", "-U", name_}).code == 1; }, 10s);
    Run({"userdel", name_});
}

std::vector<std::string> DesktopUser::Command(std::vector<std::string> argv, Environment env) const
{
    env["HOME"] = Home().string();
    std::vector<std::string> command{"env"};
    if (!name_.empty()) command = {"runuser", "-u", name_, "--", "env"};
    for (const auto& [name, value] : env) command.push_back(name + "=" + value);
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

void DesktopUser::Own(const fs::path& path) const
{
    if (!name_.empty() && Run({"chown", "-R", name_ + ":" + name_, path.string()}).code != 0) {
        throw std::runtime_error("chown " + path.string());
    }
}

SessionBus::SessionBus(const DesktopUser& user) : user_(user)
{
    const fs::path config = user.Home() / "bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>" + Address() + "</listen>"
                             "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                             "<allow receive_sender=\"*\"/><allow own=\"*\"/><allow user=\"*\"/></policy></busconfig>\n";
    user.Own(config);
    daemon_ = std::make_unique<Process>(user.Command({"dbus-daemon", "--nofork", "--config-file=" + config.string()}),
                                        Environment{}, user.Home() / "bus.log");
    if (!WaitFor([this] { return Send({"--dest=org.freedesktop.DBus", "/", "org.freedesktop.DBus.GetId"}).code == 0; },
                 15s)) {
        throw std::runtime_error("the session bus did not come up");
    }
}

CommandResult SessionBus::Send(std::vector<std::string> arguments) const
{
    arguments.insert(arguments.begin(), {"dbus-send", "--session", "--print-reply"});
    return Run(user_.Command(arguments, {{"DBUS_SESSION_BUS_ADDRESS", Address()}}));
}

std::string SessionBus::WatcherProperty(const std::string& name) const
{
    return Send({"--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                 "string:org.kde.StatusNotifierWatcher", "string:" + name})
        .output;
}

std::vector<std::string> SessionBus::RegisteredItems() const
{
    const std::string reply = WatcherProperty("RegisteredStatusNotifierItems");
    std::vector<std::string> items;
    const std::regex quoted("string \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(reply.begin(), reply.end(), quoted); it != std::sregex_iterator(); ++it) {
        items.push_back((*it)[1]);
    }
    return items;
}

std::unique_ptr<Process> SessionBus::StartTray(const Desktop& desktop) const
{
    // A host that has just gone may still be registered for a moment.
    WaitFor([this] { return !HostRegistered(); }, 10s);
    // On a busy machine this host at times trips over its own watcher as it
    // starts, and ends: it is started again then.
    std::unique_ptr<Process> tray;
    for (int start = 0; start < 3 && !HostRegistered(); ++start) {
        tray = std::make_unique<Process>(
            std::vector<std::string>{"gtk-sni-tray-standalone", "--top", "--beginning", "--watcher", "--size", "24"},
            desktop.environment);
        WaitFor([&] { return HostRegistered() || !tray->Running(); }, 20s);
    }
    if (!HostRegistered()) throw std::runtime_error("no StatusNotifierItem host");
    return tray;
}

Kelvo::Kelvo(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments,
             const fs::path* configHome, const fs::path& binary)
    : x_(desktop.x), configHome_(configHome ? *configHome : dir_.path() / "config"), log_(dir_.path() / "kelvo.log")
{
    env_ = sound;
    for (const auto& [name, value] : desktop.environment) env_[name] = value;
    env_["XDG_CONFIG_HOME"] = configHome_.string();
    env_.emplace("XDG_RUNTIME_DIR", dir_.path().string());  // only its owner's, as a new folder is
    arguments.insert(arguments.begin(), binary.string());
    if (desktop.user) {
        // The build folder may be closed to the user: it runs a copy.
        arguments[0] = (dir_.path() / "kelvo").string();
        fs::copy_file(binary, arguments[0]);
        desktop.user->Own(dir_.path());
        arguments = desktop.user->Command(arguments, env_);
    }
    process_ = std::make_unique<Process>(arguments, env_, log_);
    if (!x_) return;
    // About one X connection in a hundred fails on a loaded machine; Kelvo
    // then says so and ends with status 1. One more try is enough.
    const auto connected = [&] { return !x_->Xdotool({"search", "--pid", std::to_string(process_->pid())}).output.empty(); };
    WaitFor([&] { return !process_->Running() || connected(); }, 10s);
    if (process_->WaitExit(0ms) == std::optional<int>(1) && Log().find("cannot open the display") != std::string::npos) {
        fs::remove(log_);
        process_ = std::make_unique<Process>(arguments, env_, log_);
    }
}

std::optional<std::string> Kelvo::MainWindow(std::chrono::milliseconds timeout, double ratio)
{
    const QSize size = QSize(188, 94) * ratio;
    std::optional<std::string> found;
    if (!x_) return found;
    WaitFor(
        [&] {
            for (const auto& id : x_->WindowsOfPid(process_->pid())) {
                if (x_->Geometry(id).size() == size) found = id;
            }
            return found.has_value();
        },
        timeout);
    return found;
}

bool Kelvo::WaitForTrace(const std::function<bool(const Found&)>& check, Found* last, double ratio)
{
    const auto id = MainWindow(10s, ratio);
    if (!id) return false;
    // 171 x 61 at (8, 24), each side rounded half to even as Kelvo does.
    const QSize size(std::lrint(171 * ratio), std::lrint(61 * ratio));
    const QRect canvas(x_->Geometry(*id).topLeft() + QPoint(8, 24) * ratio, size);
    Found seen;
    const auto trace = [&] { return Find(x_->Screenshot().copy(canvas), QRect(QPoint(), size), qRgb(128, 255, 255)); };
    const bool held = WaitFor([&] { return check(seen = trace()); }, 20s);
    if (last) *last = seen;
    return held;
}

bool Kelvo::OpenMenu(QPoint at) const
{
    const std::size_t windows = Windows();
    x_->Click(at, 3);
    return WaitFor([&] { return Windows() > windows; }, 10s);
}

}  // namespace e2e
