#include "user/sound_loop_host.h"

#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <span>

namespace user {
namespace {

class QtWait final : public QObject, public winmm::HostedWait {
public:
    explicit QtWait(std::function<void()> wake) : wake_(std::move(wake))
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { wake_(); });
    }

    void Arm(const pollfd* fds, std::size_t count, int timeoutMs) override
    {
        const std::span<const pollfd> wanted(fds, count);
        Sync(readers_, wanted, POLLIN, QSocketNotifier::Read);
        Sync(writers_, wanted, POLLOUT, QSocketNotifier::Write);
        if (timeoutMs >= 0) timer_.start(timeoutMs);
        else timer_.stop();
    }

    void Poke() override
    {
        if (poked_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                poked_ = false;
                wake_();
            },
            Qt::QueuedConnection);
    }

private:
    using Notifiers = std::map<int, QSocketNotifier*>;

    // A descriptor no longer asked for may be closed already: it is never
    // watched again. Its notifier may be the one whose signal runs now.
    void Sync(Notifiers& notifiers, std::span<const pollfd> wanted, short event, QSocketNotifier::Type type)
    {
        for (auto it = notifiers.begin(); it != notifiers.end();) {
            bool listed = false;
            short events = 0;
            for (const pollfd& p : wanted) {
                if (p.fd != it->first) continue;
                listed = true;
                events |= p.events;
            }
            if (listed) {
                it->second->setEnabled((events & event) != 0);
                ++it;
                continue;
            }
            it->second->setEnabled(false);
            it->second->deleteLater();
            it = notifiers.erase(it);
        }
        for (const pollfd& p : wanted) {
            if (p.fd < 0 || !(p.events & event) || notifiers.count(p.fd)) continue;
            auto* notifier = new QSocketNotifier(p.fd, type, this);
            QObject::connect(notifier, &QSocketNotifier::activated, this, [this] { wake_(); });
            notifiers.emplace(p.fd, notifier);
        }
    }

    std::function<void()> wake_;
    QTimer timer_;
    Notifiers readers_;
    Notifiers writers_;
    std::atomic<bool> poked_{false};
};

class QtLoopHost final : public winmm::LoopHost {
public:
    bool OnHostThread() const override { return QThread::currentThread() == thread_; }
    std::unique_ptr<winmm::HostedWait> Wait(std::function<void()> wake) override
    {
        return std::make_unique<QtWait>(std::move(wake));
    }

private:
    QThread* const thread_ = QThread::currentThread();
};

}  // namespace

std::shared_ptr<winmm::LoopHost> MakeQtLoopHost()
{
    return std::make_shared<QtLoopHost>();
}

}  // namespace user
