#include "app/SessionInstance.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace kelvo {
namespace {

// Room for the socket's name in a sockaddr_un, with some to spare.
constexpr std::size_t kLongestSocketPath = 100;

// ":0.1", "unix:0" and ":0" are one display; another host's is not.
std::string DisplayKey(const std::string& platform, std::string display)
{
    if (platform == "xcb") {
        if (display.rfind("unix:", 0) == 0) display.erase(0, 4);
        const std::size_t colon = display.rfind(':');
        const std::size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
        if (colon != std::string::npos && dot != std::string::npos) display.erase(dot);
    }
    std::string key = platform + "-" + display;
    for (char& c : key) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!plain) c = '_';
    }
    if (key.size() <= 48) return key;
    // A long socket path of Wayland's: its FNV-1a hash keeps the name short.
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return platform + "-" + hex;
}

// /tmp/kelvo-UID, made only the user's; empty when it is not.
std::string PrivateTempDir()
{
    const std::string dir = "/tmp/kelvo-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077))
        return "";
    return dir;
}

// A wish or answer longer than this is not one of ours.
constexpr std::size_t kLongestLine = 64;

bool AddressOf(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, 1 << 30));
}

// Waits for `events` on `fd` until `deadline`; false on time out or error.
bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

// The first line from `fd` (blocking until `deadline`), without its end;
// false when the peer ends, errs or says too much first.
bool ReadLine(int fd, Clock::time_point deadline, std::string& line)
{
    std::string received;
    for (;;) {
        const std::size_t end = received.find('\n');
        if (end != std::string::npos) {
            line = received.substr(0, end);
            return true;
        }
        if (received.size() > kLongestLine || !WaitFor(fd, POLLIN, deadline)) return false;
        char chunk[kLongestLine];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got == 0) return false;
        if (got < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (got > 0) received.append(chunk, static_cast<std::size_t>(got));
    }
}

}  // namespace

// A later start that has connected to the first.
struct SessionInstance::Peer {
    UniqueFd fd;
    QSocketNotifier* notifier = nullptr;
    std::string received;
};

SessionPlace SessionPlaceFor(const std::string& platform, const std::string& display, const std::string& runtimeDir)
{
    const std::string base = "/kelvo-" + DisplayKey(platform, display);
    std::string dir = runtimeDir;
    if (dir.empty() || dir[0] != '/' || dir.size() + base.size() + 7 > kLongestSocketPath) dir = PrivateTempDir();
    if (dir.empty()) return {};
    return {dir + base + ".lock", dir + base + ".socket"};
}

SessionPlace CurrentSessionPlace(const std::string& platform)
{
    const auto env = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    std::string display = platform == "wayland" ? env("WAYLAND_DISPLAY") : platform == "xcb" ? env("DISPLAY") : "";
    if (platform == "wayland" && display.empty()) display = "wayland-0";
    std::string runtimeDir = env("XDG_RUNTIME_DIR");
    // A folder the user cannot make the socket in would let a second start
    // run beside the first: the private folder serves, as without one.
    struct stat st {};
    if (!runtimeDir.empty() && (::stat(runtimeDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
                                st.st_uid != ::getuid() || (st.st_mode & 0300) != 0300)) {
        std::fprintf(stderr, "kelvo: XDG_RUNTIME_DIR %s is not a folder of this user's to write in; using %s\n",
                     runtimeDir.c_str(), PrivateTempDir().c_str());
        runtimeDir.clear();
    }
    return SessionPlaceFor(platform, display, runtimeDir);
}

SessionInstance::SessionInstance(SessionPlace place, QObject* parent) : QObject(parent), place_(std::move(place)) {}

SessionInstance::~SessionInstance()
{
    for (const auto& peer : peers_) delete peer->notifier;
    delete listener_;
    // Removed while the lock still guards it.
    if (listenFd_.valid()) ::unlink(place_.socket.c_str());
}

bool SessionInstance::TakeLock()
{
    if (!lockFd_.valid()) lockFd_.Reset(::open(place_.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lockFd_.valid()) return true;  // no lock to be had: run alone rather than not at all
    while (::flock(lockFd_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return false;
        if (errno != EINTR) return true;
    }
    return true;
}

SessionInstance::Claim SessionInstance::ClaimSession(bool show, std::chrono::milliseconds patience)
{
    if (place_.lock.empty() || TakeLock()) return Claim::First;
    if (HandOver(show, patience)) return Claim::HandedOver;
    // The holder may just have ended.
    return TakeLock() ? Claim::First : Claim::NoAnswer;
}

bool SessionInstance::HandOver(bool show, std::chrono::milliseconds patience)
{
    const Clock::time_point deadline = Clock::now() + patience;
    sockaddr_un address;
    if (!AddressOf(place_.socket, address)) return false;
    UniqueFd socket;
    // The first may hold the lock a moment before its socket listens.
    for (;;) {
        socket.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket.valid()) return false;
        // A full backlog blocks the connect; the time left bounds it (at least 1 ms: 0 is forever).
        const int left = std::max(MillisecondsLeft(deadline), 1);
        const timeval limit{left / 1000, (left % 1000) * 1000};
        ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
        socket.Reset();
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(20), deadline - Clock::now()));
    }
    const std::string wish = show ? "show\n" : "tray\n";
    std::size_t sent = 0;
    while (sent < wish.size()) {
        if (!WaitFor(socket.get(), POLLOUT, deadline)) return false;
        const ssize_t n = ::send(socket.get(), wish.data() + sent, wish.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno != EINTR && errno != EAGAIN) return false;
        if (n > 0) sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    return ReadLine(socket.get(), deadline, answer) && answer == "ok";
}

void SessionInstance::Listen(std::function<void()> onShow)
{
    if (!lockFd_.valid() || listenFd_.valid()) return;
    onShow_ = std::move(onShow);
    sockaddr_un address;
    const char* failed = "socket";
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.valid()) {
        const auto bind = [&] {
            return ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        };
        failed = "bind";
        bool bound = AddressOf(place_.socket, address) && bind();
        // The lock is ours, so a socket file still there is a killed Kelvo's.
        if (!bound && errno == EADDRINUSE && ::unlink(place_.socket.c_str()) == 0) bound = bind();
        if (bound) {
            failed = "listen";
            if (::listen(fd.get(), SOMAXCONN) == 0) failed = nullptr;
            else {
                const int error = errno;
                ::unlink(place_.socket.c_str());
                errno = error;
            }
        }
    }
    if (failed) {
        std::fprintf(stderr, "kelvo: %s: %s: %s; a second Kelvo will not find this one\n", place_.socket.c_str(),
                     failed, std::strerror(errno));
        return;
    }
    listenFd_ = std::move(fd);
    listener_ = new QSocketNotifier(listenFd_.get(), QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, [this] { Accept(); });
}

void SessionInstance::Accept()
{
    for (;;) {
        UniqueFd fd(::accept4(listenFd_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd.valid()) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;  // EAGAIN: all taken; anything else: try again when woken
        }
        auto peer = std::make_unique<Peer>();
        peer->fd = std::move(fd);
        peer->notifier = new QSocketNotifier(peer->fd.get(), QSocketNotifier::Read, this);
        Peer* raw = peer.get();
        connect(peer->notifier, &QSocketNotifier::activated, this, [this, raw] { Read(raw); });
        peers_.push_back(std::move(peer));
    }
}

void SessionInstance::Read(Peer* peer)
{
    char chunk[kLongestLine + 1];
    const ssize_t got = ::recv(peer->fd.get(), chunk, sizeof chunk, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (got <= 0) return Drop(peer);
    peer->received.append(chunk, static_cast<std::size_t>(got));
    const std::size_t end = peer->received.find('\n');
    if (end == std::string::npos) {
        if (peer->received.size() > kLongestLine) Drop(peer);  // not one of ours
        return;
    }
    const std::string wish = peer->received.substr(0, end + 1);
    // A fresh socket's buffer takes three bytes; the later start closes when it has them.
    ::send(peer->fd.get(), "ok\n", 3, MSG_NOSIGNAL | MSG_DONTWAIT);
    Drop(peer);
    if (wish == "show\n" && onShow_) onShow_();
}

void SessionInstance::Drop(Peer* peer)
{
    const auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const auto& p) { return p.get() == peer; });
    if (it == peers_.end()) return;
    // Its own signal may be running: the notifier goes later, its descriptor now.
    peer->notifier->setEnabled(false);
    peer->notifier->deleteLater();
    peers_.erase(it);
}

}  // namespace kelvo
