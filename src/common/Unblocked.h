// Slow work (a connection to a server that may hang) on a thread of its own,
// while the caller's event loop keeps the user interface alive.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kelvo {

// Runs `work` on a thread of its own from construction. Whoever holds it
// asks for the result with Take; once it is destroyed, a result that is
// still to come goes to `discard` on the worker's thread. `wake` (called
// from the worker's thread) tells the caller the result is there.
template <typename Result>
class Unblocked {
public:
    Unblocked(std::function<Result()> work, std::function<void(Result&)> discard, std::function<void()> wake)
        : shared_(std::make_shared<Shared>())
    {
        shared_->discard = std::move(discard);
        std::thread([shared = shared_, work = std::move(work), wake = std::move(wake)] {
            Result result = work();
            {
                std::lock_guard lock(shared->mutex);
                if (!shared->abandoned) {
                    shared->result = std::move(result);
                    if (wake) wake();
                    return;
                }
            }
            if (shared->discard) shared->discard(result);
        }).detach();
    }
    ~Unblocked()
    {
        std::optional<Result> unclaimed;
        {
            std::lock_guard lock(shared_->mutex);
            shared_->abandoned = true;
            unclaimed = std::move(shared_->result);
        }
        if (unclaimed && shared_->discard) shared_->discard(*unclaimed);
    }
    Unblocked(const Unblocked&) = delete;
    Unblocked& operator=(const Unblocked&) = delete;

    // The result once the work is done (only once), else nothing.
    std::optional<Result> Take()
    {
        std::lock_guard lock(shared_->mutex);
        std::optional<Result> result = std::move(shared_->result);
        shared_->result.reset();
        return result;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::optional<Result> result;
        std::function<void(Result&)> discard;
        bool abandoned = false;
    };
    std::shared_ptr<Shared> shared_;
};

// Runs `work` and pumps events until it is done, or until `giveUp` holds.
template <typename Result>
std::optional<Result> RunUnblocked(std::function<Result()> work, std::function<void(Result&)> discard,
                                   const std::function<void()>& pump, std::function<void()> wake,
                                   const std::function<bool()>& giveUp)
{
    Unblocked<Result> job(std::move(work), std::move(discard), std::move(wake));
    for (;;) {
        if (auto result = job.Take()) return result;
        if (giveUp()) return std::nullopt;
        pump();
    }
}

}  // namespace kelvo
