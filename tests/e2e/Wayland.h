// Wayland desktops and StatusNotifierItem trays for end-to-end tests: the
// user they run as, a session bus, sway with waybar's tray, weston, and a
// pointer that tests can click with on a compositor without input devices.
#pragma once

#include "e2e/Harness.h"

#include <QPoint>
#include <QSize>

#include <sys/types.h>

namespace e2e {

// sway refuses to run as root: as root a throw-away user is made, and on
// destruction every process still running as it is ended and the user
// removed. As anyone else, the desktops run as that user.
class DesktopUser {
public:
    DesktopUser();
    ~DesktopUser();
    DesktopUser(const DesktopUser&) = delete;
    DesktopUser& operator=(const DesktopUser&) = delete;

    // A folder of the user's, also its XDG_RUNTIME_DIR.
    const std::filesystem::path& Home() const { return home_.path(); }
    // `argv` run as the user with `env` (and HOME set to Home()).
    std::vector<std::string> Command(std::vector<std::string> argv, Environment env = {}) const;
    // Hands `path` and everything below it to the user.
    void Own(const std::filesystem::path& path) const;

private:
    TempDir home_;
    std::string name_;  // empty: the current user
    uid_t uid_;
    gid_t gid_;
};

// A private dbus-daemon --session with no activatable services.
class SessionBus {
public:
    explicit SessionBus(const DesktopUser* user = nullptr);
    std::string Address() const { return "unix:path=" + (dir_ / "bus").string(); }
    // dbus-send --session --print-reply with `arguments`, as the bus's user.
    CommandResult Send(std::vector<std::string> arguments) const;
    // The items the StatusNotifierWatcher lists ("" when there is none).
    std::vector<std::string> RegisteredItems() const;
    bool HostRegistered() const;

private:
    const DesktopUser* user_;
    std::filesystem::path dir_;
    std::optional<TempDir> ownDir_;
    std::unique_ptr<Process> daemon_;
};

// Adds a pointer to a wlroots compositor's seat (wlr-virtual-pointer) by
// speaking the Wayland wire protocol on its socket, and clicks with it.
class VirtualPointer {
public:
    VirtualPointer(const std::filesystem::path& socket, QSize screen);
    ~VirtualPointer();
    VirtualPointer(const VirtualPointer&) = delete;
    VirtualPointer& operator=(const VirtualPointer&) = delete;
    // button: 1 left, 3 right.
    void Click(QPoint at, int button, int count = 1);

private:
    void Send(std::uint32_t object, std::uint16_t opcode, const std::vector<std::uint32_t>& words);
    void Roundtrip();
    int fd_ = -1;
    QSize screen_;
    std::uint32_t nextId_ = 2;
    std::uint32_t pointer_ = 0;
    std::map<std::string, std::uint32_t> globals_;
};

struct Window {
    std::string appId;
    QRect rect;
};

// Headless sway (640 x 480) with waybar showing only its tray, on `bus`.
class Sway {
public:
    Sway(const DesktopUser& user, const SessionBus& bus);
    ~Sway();
    Desktop ForClients() const;
    QImage Screenshot() const;
    std::vector<Window> Windows() const;
    VirtualPointer& Pointer();

private:
    const DesktopUser& user_;
    const SessionBus& bus_;
    std::filesystem::path socket_;
    std::unique_ptr<Process> sway_;
    std::unique_ptr<Process> waybar_;
    std::unique_ptr<VirtualPointer> pointer_;
};

// weston with its desktop shell and no tray, 600 x 440 at the top left of
// `x` (its X11 back end takes xdotool's input; its headless one takes none).
class Weston {
public:
    explicit Weston(const XServer& x);
    Desktop ForClients() const;

private:
    TempDir dir_;
    std::unique_ptr<Process> weston_;
};

}  // namespace e2e
