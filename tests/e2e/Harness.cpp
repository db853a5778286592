#include "e2e/Harness.h"

#include "e2e/Wayland.h"

#include <QByteArray>

#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "kelvo-e2e-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

namespace {

std::vector<std::string> MergedEnvironment(const Environment& extra)
{
    std::map<std::string, std::string> all;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos) all[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : extra) all[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : all) out.push_back(k + "=" + v);
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

Process::Process(std::vector<std::string> argv, const Environment& extraEnv, std::optional<fs::path> log,
                 std::optional<fs::path> input)
{
    std::vector<std::string> env = MergedEnvironment(extraEnv);
    auto argp = Pointers(argv);
    auto envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = log ? log->string() : "/dev/null";
    const std::string in = input ? input->string() : "/dev/null";
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    const int rc = posix_spawnp(&pid_, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Process::~Process()
{
    Stop(SIGTERM, 3s);
}

bool Process::Running()
{
    if (status_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return false;
    }
    return true;
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
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
}

CommandResult Run(const std::vector<std::string>& argv, const Environment& extraEnv)
{
    TempDir dir;
    const fs::path out = dir.path() / "out";
    CommandResult result;
    {
        Process p(argv, extraEnv, out);
        result.code = p.WaitExit(30s).value_or(-1);
    }
    std::ifstream in(out);
    std::stringstream ss;
    ss << in.rdbuf();
    result.output = ss.str();
    return result;
}

std::string SoundServer::ServerAddress() const
{
    return "unix:" + (dir_.path() / "pulse" / "native").string();
}

int SoundServer::pid() const
{
    return server_ ? server_->pid() : -1;
}

Environment SoundServer::ClientEnvironment() const
{
    return {{"PULSE_SERVER", ServerAddress()}, {"PULSE_SOURCE", Monitor()}};
}

void SoundServer::Start()
{
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                                 "--disallow-exit", "--load=module-native-protocol-unix auth-anonymous=1",
                                 "--load=module-null-sink sink_name=kelvo_test"},
        Environment{{"XDG_RUNTIME_DIR", dir_.path().string()}, {"HOME", dir_.path().string()}},
        dir_.path() / "pulseaudio.log");
    const bool up = WaitFor(
        [this] { return Run({"pactl", "list", "short", "sources"}, ClientEnvironment()).output.find(Monitor()) !=
                        std::string::npos; },
        20s);
    if (!up) throw std::runtime_error("the sound server did not come up");
    // Open to a desktop that runs as another user (see e2e/Wayland.h).
    for (const fs::path& dir : {dir_.path(), dir_.path() / "pulse"}) {
        fs::permissions(dir, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    }
}

void SoundServer::Stop()
{
    server_.reset();
}

std::unique_ptr<Process> SoundServer::Play(const std::vector<std::uint8_t>& samples)
{
    const fs::path file = dir_.path() / ("sound" + std::to_string(playCount_++) + ".raw");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()),
                                                static_cast<std::streamsize>(samples.size()));
    return std::make_unique<Process>(
        std::vector<std::string>{"pacat", "--playback", "--raw", "--format=u8", "--rate=8000", "--channels=1",
                                 "--device=kelvo_test", file.string()},
        ClientEnvironment());
}

XServer::XServer()
{
    for (int attempt = 0; attempt < 20 && !server_; ++attempt) {
        const int n = 100 + static_cast<int>((::getpid() * 7 + attempt * 13) % 800);
        if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
        display_ = ":" + std::to_string(n);
        auto server = std::make_unique<Process>(
            std::vector<std::string>{"Xvfb", display_, "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        const bool up = WaitFor(
            [&] { return !server->Running() || Run({"xdpyinfo"}, {{"DISPLAY", display_}}).code == 0; }, 15s);
        if (up && server->Running()) server_ = std::move(server);
    }
    if (!server_) throw std::runtime_error("no X server could be started");
}

QImage XServer::Screenshot() const
{
    TempDir dir;
    const fs::path file = dir.path() / "shot.png";
    Run({"import", "-display", display_, "-window", "root", file.string()});
    return QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> XServer::WindowsNamed(const std::string& name) const
{
    return Lines(Run({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"}, {{"DISPLAY", display_}})
                     .output);
}

std::vector<std::string> XServer::WindowsOfPid(int pid) const
{
    return Lines(
        Run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}, {{"DISPLAY", display_}}).output);
}

QRect XServer::Geometry(const std::string& windowId) const
{
    const auto lines = Lines(Run({"xdotool", "getwindowgeometry", "--shell", windowId}, {{"DISPLAY", display_}}).output);
    std::map<std::string, int> values;
    for (const auto& line : lines) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    }
    return QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
}

void XServer::Xdotool(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Run(argv, {{"DISPLAY", display_}});
}

std::vector<std::uint8_t> Silence(double seconds)
{
    return std::vector<std::uint8_t>(static_cast<std::size_t>(seconds * 8000), 128);
}

std::vector<std::uint8_t> Tone(double hertz, double amplitude, double seconds)
{
    std::vector<std::uint8_t> v(static_cast<std::size_t>(seconds * 8000));
    for (std::size_t i = 0; i < v.size(); ++i) {
        v[i] = static_cast<std::uint8_t>(std::lround(128 + 127 * amplitude * std::sin(2 * M_PI * hertz * i / 8000.0)));
    }
    return v;
}

fs::path KelvoBinary()
{
    return fs::path(KELVO_BUILD_DIR) / "kelvo";
}

std::optional<QPoint> CentreOfColour(const QImage& image, QRect area, QRgb colour)
{
    QRect found;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) == colour) found |= QRect(x, y, 1, 1);
        }
    }
    if (found.isEmpty()) return std::nullopt;
    return found.center();
}

Kelvo::Kelvo(const XServer& x, const Environment& sound, std::vector<std::string> arguments,
             const fs::path* configHome, const fs::path& binary)
    : x_(&x), configHome_(configHome ? *configHome : dir_.path() / "config"), log_(dir_.path() / "kelvo.log")
{
    Start(Desktop{{{"DISPLAY", x.Display()}, {"QT_QPA_PLATFORM", "xcb"}}}, sound, std::move(arguments), binary);
}

Kelvo::Kelvo(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments)
    : configHome_(dir_.path() / "config"), log_(dir_.path() / "kelvo.log")
{
    Start(desktop, sound, std::move(arguments), KelvoBinary());
}

void Kelvo::Start(const Desktop& desktop, const Environment& sound, std::vector<std::string> arguments,
                  const fs::path& binary)
{
    fs::create_directories(dir_.path() / "runtime");
    fs::permissions(dir_.path() / "runtime", fs::perms::owner_all);
    Environment env = sound;
    for (const auto& [name, value] : desktop.environment) env[name] = value;
    env["XDG_CONFIG_HOME"] = configHome_.string();
    env["XDG_RUNTIME_DIR"] = (dir_.path() / "runtime").string();
    std::vector<std::string> argv{binary.string()};
    if (desktop.user) {
        // The build folder may be closed to the user: it runs a copy.
        argv[0] = (dir_.path() / "kelvo").string();
        fs::copy_file(binary, argv[0]);
        desktop.user->Own(dir_.path());
    }
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    if (desktop.user) argv = desktop.user->Command(argv, env);
    process_ = std::make_unique<Process>(argv, env, log_);
    if (!x_) return;
    // About one X connection in a hundred fails on a loaded machine; Kelvo
    // then says so and ends with status 1. One more try is enough.
    const auto connected = [&] {
        return !Run({"xdotool", "search", "--pid", std::to_string(process_->pid())}, {{"DISPLAY", x_->Display()}})
                    .output.empty();
    };
    WaitFor([&] { return !process_->Running() || connected(); }, 10s);
    if (process_->WaitExit(0ms) == std::optional<int>(1) && Log().find("cannot open the display") != std::string::npos) {
        fs::remove(log_);
        process_ = std::make_unique<Process>(argv, env, log_);
    }
}

std::string Kelvo::Log() const
{
    std::ifstream in(log_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::optional<std::string> Kelvo::MainWindow(std::chrono::milliseconds timeout)
{
    std::optional<std::string> found;
    if (!x_) return found;
    WaitFor(
        [&] {
            for (const auto& id : x_->WindowsOfPid(process_->pid())) {
                if (x_->Geometry(id).size() == QSize(188, 94)) {
                    found = id;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

}  // namespace e2e
