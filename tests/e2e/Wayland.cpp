#include "e2e/Wayland.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <pwd.h>
#include <regex>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace e2e {
namespace fs = std::filesystem;

namespace {

std::vector<int> ProcessesOf(uid_t uid)
{
    std::vector<int> pids;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream status(entry.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Uid:", 0) == 0) {
                if (std::stoul(line.substr(4)) == uid) pids.push_back(std::stoi(name));
                break;
            }
        }
    }
    return pids;
}

void WriteFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path) << text;
}

}  // namespace

DesktopUser::DesktopUser() : uid_(::getuid()), gid_(::getgid())
{
    if (::geteuid() != 0) return;
    name_ = "kelvo-e2e-" + std::to_string(::getpid());
    if (Run({"useradd", "--no-create-home", "--home-dir", Home().string(), "--shell", "/usr/sbin/nologin",
             "--user-group", name_})
            .code != 0) {
        throw std::runtime_error("useradd " + name_ + " failed");
    }
    const passwd* account = ::getpwnam(name_.c_str());
    if (!account) throw std::runtime_error("no account " + name_);
    uid_ = account->pw_uid;
    gid_ = account->pw_gid;
    Own(Home());
}

DesktopUser::~DesktopUser()
{
    if (name_.empty()) return;
    // What the desktops started on their own (bus activations and the like).
    WaitFor(
        [this] {
            const auto pids = ProcessesOf(uid_);
            for (int pid : pids) ::kill(pid, SIGKILL);
            return pids.empty();
        },
        10s);
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
    if (name_.empty()) return;
    if (::chown(path.c_str(), uid_, gid_) != 0) throw std::runtime_error("chown " + path.string());
    if (fs::is_directory(path)) {
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            if (::lchown(entry.path().c_str(), uid_, gid_) != 0) throw std::runtime_error("chown failed");
        }
    }
}

SessionBus::SessionBus(const DesktopUser* user) : user_(user)
{
    if (user_) {
        dir_ = user_->Home();
    } else {
        dir_ = ownDir_.emplace().path();
    }
    const fs::path config = dir_ / "bus.conf";
    WriteFile(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig><type>session</type><listen>" + Address() + "</listen>"
                      "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                      "<allow receive_sender=\"*\"/>"
                      "<allow own=\"*\"/></policy></busconfig>\n");
    std::vector<std::string> argv{"dbus-daemon", "--nofork", "--config-file=" + config.string()};
    if (user_) {
        user_->Own(config);
        argv = user_->Command(argv);
    }
    daemon_ = std::make_unique<Process>(argv, Environment{}, dir_ / "bus.log");
    if (!WaitFor([this] { return Send({"--dest=org.freedesktop.DBus", "/", "org.freedesktop.DBus.GetId"}).code == 0; },
                 15s)) {
        throw std::runtime_error("the session bus did not come up");
    }
}

CommandResult SessionBus::Send(std::vector<std::string> arguments) const
{
    std::vector<std::string> argv{"dbus-send", "--session", "--print-reply"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const Environment env{{"DBUS_SESSION_BUS_ADDRESS", Address()}};
    return user_ ? Run(user_->Command(argv, env)) : Run(argv, env);
}

namespace {

CommandResult WatcherProperty(const SessionBus& bus, const std::string& name)
{
    return bus.Send({"--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                     "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher", "string:" + name});
}

}  // namespace

std::vector<std::string> SessionBus::RegisteredItems() const
{
    const std::string reply = WatcherProperty(*this, "RegisteredStatusNotifierItems").output;
    std::vector<std::string> items;
    const std::regex quoted("string \"([^\"]*)\"");
    for (auto it = std::sregex_iterator(reply.begin(), reply.end(), quoted); it != std::sregex_iterator(); ++it) {
        items.push_back((*it)[1]);
    }
    return items;
}

bool SessionBus::HostRegistered() const
{
    return WatcherProperty(*this, "IsStatusNotifierHostRegistered").output.find("boolean true") != std::string::npos;
}

// The Wayland wire protocol: each message is the object id, then its size in
// bytes (high half) and opcode (low half), then 32-bit arguments; a string
// is its length with the NUL, then its bytes padded to 4.
namespace {

void AddString(std::vector<std::uint32_t>& words, const std::string& text)
{
    words.push_back(static_cast<std::uint32_t>(text.size() + 1));
    std::string padded = text;
    padded.resize((text.size() + 4) / 4 * 4, '\0');
    for (std::size_t i = 0; i < padded.size(); i += 4) {
        std::uint32_t word = 0;
        std::memcpy(&word, padded.data() + i, 4);
        words.push_back(word);
    }
}

std::string ReadString(const std::uint32_t* words)
{
    return std::string(reinterpret_cast<const char*>(words + 1), words[0] ? words[0] - 1 : 0);
}

constexpr std::uint32_t kDisplay = 1;
constexpr std::uint32_t kRegistry = 2;
constexpr std::uint32_t kLinuxLeftButton = 0x110;  // BTN_LEFT; BTN_RIGHT follows

std::uint32_t Milliseconds()
{
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}  // namespace

VirtualPointer::VirtualPointer(const fs::path& socket, QSize screen) : screen_(screen)
{
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot connect to " + socket.string());
    }
    Send(kDisplay, 1, {kRegistry});  // get_registry
    nextId_ = kRegistry + 1;
    Roundtrip();
    const std::string manager = "zwlr_virtual_pointer_manager_v1";
    if (!globals_.count("wl_seat") || !globals_.count(manager)) {
        throw std::runtime_error("the compositor offers no virtual pointer");
    }
    std::uint32_t ids[2] = {};
    int n = 0;
    for (const std::string& interface : {std::string("wl_seat"), manager}) {
        std::vector<std::uint32_t> bind{globals_[interface]};
        AddString(bind, interface);
        bind.push_back(1);  // version
        bind.push_back(ids[n++] = nextId_++);
        Send(kRegistry, 0, bind);
    }
    pointer_ = nextId_++;
    Send(ids[1], 0, {ids[0], pointer_});  // create_virtual_pointer(seat)
    Roundtrip();
}

VirtualPointer::~VirtualPointer()
{
    if (fd_ >= 0) ::close(fd_);
}

void VirtualPointer::Send(std::uint32_t object, std::uint16_t opcode, const std::vector<std::uint32_t>& words)
{
    std::vector<std::uint32_t> message{object, static_cast<std::uint32_t>((8 + 4 * words.size()) << 16 | opcode)};
    message.insert(message.end(), words.begin(), words.end());
    const auto bytes = static_cast<ssize_t>(message.size() * 4);
    if (::send(fd_, message.data(), static_cast<std::size_t>(bytes), MSG_NOSIGNAL) != bytes) {
        throw std::runtime_error("the compositor hung up");
    }
}

void VirtualPointer::Roundtrip()
{
    const std::uint32_t callback = nextId_++;
    Send(kDisplay, 0, {callback});  // sync
    std::vector<std::uint32_t> buffer;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        std::uint32_t chunk[1024];
        const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
        if (got <= 0) throw std::runtime_error("the compositor hung up");
        buffer.insert(buffer.end(), chunk, chunk + got / 4);
        while (buffer.size() >= 2 && buffer.size() >= (buffer[1] >> 16) / 4) {
            const std::uint32_t object = buffer[0], opcode = buffer[1] & 0xFFFF, size = (buffer[1] >> 16) / 4;
            const std::uint32_t* args = buffer.data() + 2;
            if (object == kRegistry && opcode == 0) globals_[ReadString(args + 1)] = args[0];
            if (object == kDisplay && opcode == 0) throw std::runtime_error("protocol error: " + ReadString(args + 2));
            if (object == callback) return;
            buffer.erase(buffer.begin(), buffer.begin() + size);
        }
    }
    throw std::runtime_error("the compositor does not answer");
}

void VirtualPointer::Click(QPoint at, int button, int count)
{
    const std::uint32_t pointer = pointer_;
    const std::uint32_t code = kLinuxLeftButton + (button == 3 ? 1 : 0);
    Send(pointer, 1, {Milliseconds(), static_cast<std::uint32_t>(at.x()), static_cast<std::uint32_t>(at.y()),
                      static_cast<std::uint32_t>(screen_.width()), static_cast<std::uint32_t>(screen_.height())});
    Send(pointer, 4, {});  // frame
    for (int i = 0; i < count; ++i) {
        for (std::uint32_t state : {1u, 0u}) {
            Send(pointer, 2, {Milliseconds(), code, state});
            Send(pointer, 4, {});
        }
    }
    Roundtrip();
}

Sway::Sway(const DesktopUser& user, const SessionBus& bus) : user_(user), bus_(bus)
{
    const fs::path home = user.Home();
    WriteFile(home / "sway.conf", "output * resolution 640x480\n");
    WriteFile(home / "waybar.json",
              R"({"layer": "top", "position": "top", "height": 24, "modules-left": ["tray"],)"
              R"( "tray": {"icon-size": 16, "spacing": 4}})");
    user.Own(home);
    Environment env{{"XDG_RUNTIME_DIR", home.string()}, {"DBUS_SESSION_BUS_ADDRESS", bus.Address()},
                    {"WLR_BACKENDS", "headless"},     {"WLR_LIBINPUT_NO_DEVICES", "1"},
                    {"WLR_RENDERER", "pixman"},       {"GTK_A11Y", "none"},
                    {"NO_AT_BRIDGE", "1"}};
    sway_ = std::make_unique<Process>(user.Command({"sway", "--config", (home / "sway.conf").string()}, env),
                                      Environment{}, home / "sway.log");
    const bool up = WaitFor(
        [&] {
            for (const auto& entry : fs::directory_iterator(home)) {
                const std::string name = entry.path().filename();
                if (name.rfind("wayland-", 0) == 0 && entry.path().extension() != ".lock") socket_ = entry.path();
            }
            return !socket_.empty() || !sway_->Running();
        },
        20s);
    if (!up || !sway_->Running()) throw std::runtime_error("sway did not come up");
    env["WAYLAND_DISPLAY"] = socket_.string();
    waybar_ = std::make_unique<Process>(user.Command({"waybar", "--config", (home / "waybar.json").string()}, env),
                                        Environment{}, home / "waybar.log");
    if (!WaitFor([&] { return bus.HostRegistered(); }, 20s)) throw std::runtime_error("waybar's tray did not come up");
}

Sway::~Sway() = default;

Desktop Sway::ForClients() const
{
    return Desktop{{{"WAYLAND_DISPLAY", socket_.string()},
                    {"QT_QPA_PLATFORM", "wayland"},
                    {"DBUS_SESSION_BUS_ADDRESS", bus_.Address()}},
                   &user_};
}

QImage Sway::Screenshot() const
{
    const fs::path file = user_.Home() / "shot.png";
    fs::remove(file);
    Run(user_.Command({"grim", file.string()},
                      {{"XDG_RUNTIME_DIR", user_.Home().string()}, {"WAYLAND_DISPLAY", socket_.string()}}));
    return QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

namespace {

void CollectWindows(const QJsonObject& node, std::vector<Window>& out)
{
    if (node.contains("app_id") && node.value("visible").toBool()) {
        const QJsonObject r = node.value("rect").toObject();
        out.push_back({node.value("app_id").toString().toStdString(),
                       QRect(r.value("x").toInt(), r.value("y").toInt(), r.value("width").toInt(),
                             r.value("height").toInt())});
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const auto& child : node.value(children).toArray()) CollectWindows(child.toObject(), out);
    }
}

}  // namespace

std::vector<Window> Sway::Windows() const
{
    std::string ipc;
    for (const auto& entry : fs::directory_iterator(user_.Home())) {
        if (entry.path().filename().string().rfind("sway-ipc.", 0) == 0) ipc = entry.path();
    }
    const CommandResult tree = Run(user_.Command({"swaymsg", "--socket", ipc, "--raw", "--type", "get_tree"}));
    std::vector<Window> windows;
    CollectWindows(QJsonDocument::fromJson(QByteArray::fromStdString(tree.output)).object(), windows);
    return windows;
}

VirtualPointer& Sway::Pointer()
{
    if (!pointer_) pointer_ = std::make_unique<VirtualPointer>(socket_, QSize(640, 480));
    return *pointer_;
}

Weston::Weston(const XServer& x)
{
    fs::permissions(dir_.path(), fs::perms::owner_all);
    weston_ = std::make_unique<Process>(
        std::vector<std::string>{"weston", "--backend=x11-backend.so", "--use-pixman", "--width=600", "--height=440",
                                 "--socket=wayland-kelvo"},
        Environment{{"DISPLAY", x.Display()}, {"XDG_RUNTIME_DIR", dir_.path().string()}},
        dir_.path() / "weston.log");
    if (!WaitFor([&] { return fs::exists(dir_.path() / "wayland-kelvo") || !weston_->Running(); }, 20s) ||
        !weston_->Running()) {
        throw std::runtime_error("weston did not come up");
    }
    // Off weston's window, so that the first move into it is an entry.
    x.Xdotool({"mousemove", "639", "479"});
}

Desktop Weston::ForClients() const
{
    return Desktop{{{"WAYLAND_DISPLAY", (dir_.path() / "wayland-kelvo").string()}, {"QT_QPA_PLATFORM", "wayland"}}};
}

}  // namespace e2e
