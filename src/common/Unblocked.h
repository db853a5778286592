// Slow work (a connection to a server that may hang) on a thread of its own,
// while the caller's event pump keeps the user interface alive.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kelvo {

// Runs `work` and pumps events until it is done, or until `giveUp` holds:
// then the result, when it comes, goes to `discard` on the worker's thread.
// `wake` (callable from any thread) ends a pump that waits for events.
template <typename Result>
std::optional<Result> RunUnblocked(std::function<Result()> work, std::function<void(Result&)> discard,
                                   const std::function<void()>& pump, std::function<void()> wake,
                                   const std::function<bool()>& giveUp)
{
    struct Shared {
        std::mutex mutex;
        std::optional<Result> result;
        bool abandoned = false;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work), discard = std::move(discard), wake = std::move(wake)] {
        Result result = work();
        {
            std::lock_guard lock(shared->mutex);
            if (!shared->abandoned) {
                shared->result = std::move(result);
                wake();
                return;
            }
        }
        if (discard) discard(result);
    }).detach();
    for (;;) {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->result) return std::move(shared->result);
            if (giveUp()) {
                shared->abandoned = true;
                return std::nullopt;
            }
        }
        pump();
    }
}

}  // namespace kelvo
