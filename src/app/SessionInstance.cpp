#include "app/SessionInstance.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

}  // namespace

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
    return SessionPlaceFor(platform, display, env("XDG_RUNTIME_DIR"));
}

SessionInstance::SessionInstance(SessionPlace place, QObject* parent) : QObject(parent), place_(std::move(place)) {}

SessionInstance::~SessionInstance()
{
    delete server_;  // removes the socket while the lock still guards it
    if (lockFd_ >= 0) ::close(lockFd_);
}

bool SessionInstance::TakeLock()
{
    if (lockFd_ < 0) lockFd_ = ::open(place_.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) return true;  // no lock to be had: run alone rather than not at all
    while (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
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
    const QDeadlineTimer deadline(patience.count());
    QLocalSocket socket;
    // The first may hold the lock a moment before its socket listens.
    for (;;) {
        socket.connectToServer(QString::fromStdString(place_.socket));
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) break;
        socket.abort();
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    socket.write(show ? "show\n" : "tray\n");
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) return false;
    }
    return socket.readLine() == "ok\n";
}

void SessionInstance::Listen(std::function<void()> onShow)
{
    if (lockFd_ < 0 || server_) return;
    onShow_ = std::move(onShow);
    server_ = new QLocalServer(this);
    const QString name = QString::fromStdString(place_.socket);
    // The lock is ours, so a socket file still there is a killed Kelvo's.
    if (!server_->listen(name) && server_->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        server_->listen(name);
    }
    if (!server_->isListening()) {
        std::fprintf(stderr, "kelvo: %s: %s; a second Kelvo will not find this one\n", place_.socket.c_str(),
                     server_->errorString().toLocal8Bit().constData());
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 64) socket->abort();  // not one of ours
                    return;
                }
                const QByteArray wish = socket->readLine();
                socket->write("ok\n");
                socket->flush();
                if (wish == "show\n" && onShow_) onShow_();
            });
        }
    });
}

}  // namespace kelvo
