// One Kelvo per desktop session. The first start holds a lock (flock: a
// killed Kelvo never leaves it held) and listens on a local socket beside
// it; a later start finds the lock taken and hands its wish over there.
#pragma once

#include "base/UniqueFd.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSocketNotifier;

namespace kelvo {

// The lock and socket of the session on `display` (the value of
// WAYLAND_DISPLAY or DISPLAY, as the platform uses) in the folder
// `runtimeDir`; each display of each user has its own.
struct SessionPlace {
    std::string lock;
    std::string socket;
};
SessionPlace SessionPlaceFor(const std::string& platform, const std::string& display, const std::string& runtimeDir);
// The same for this process: its platform's display, in $XDG_RUNTIME_DIR
// (or a private folder in /tmp when that is unset).
SessionPlace CurrentSessionPlace(const std::string& platform);

class SessionInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim { First, HandedOver, NoAnswer };

    explicit SessionInstance(SessionPlace place, QObject* parent = nullptr);
    ~SessionInstance() override;

    // Takes the lock, or asks the Kelvo that holds it to show its window
    // (`show`) or to stay as it is, waiting at most `patience` for its answer.
    // A lock that cannot be made at all lets this start run on its own.
    Claim ClaimSession(bool show, std::chrono::milliseconds patience = std::chrono::milliseconds(900));

    // For the first: `onShow` runs for each later start that asks to show.
    void Listen(std::function<void()> onShow);

private:
    bool TakeLock();
    bool HandOver(bool show, std::chrono::milliseconds patience);
    void Accept();
    struct Peer;
    void Read(Peer* peer);
    void Drop(Peer* peer);

    SessionPlace place_;
    UniqueFd lockFd_;  // held open, and so locked, for the whole run
    UniqueFd listenFd_;
    QSocketNotifier* listener_ = nullptr;
    std::vector<std::unique_ptr<Peer>> peers_;
    std::function<void()> onShow_;
};

}  // namespace kelvo
