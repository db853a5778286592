#include "winmm/loop_host.h"

#include <mutex>

namespace winmm {
namespace {

std::mutex& HostMutex()
{
    static auto* m = new std::mutex;
    return *m;
}
std::shared_ptr<LoopHost>& Host()
{
    static auto* h = new std::shared_ptr<LoopHost>;
    return *h;
}

}  // namespace

void SetLoopHost(std::shared_ptr<LoopHost> host)
{
    std::lock_guard lock(HostMutex());
    Host() = std::move(host);
}

std::shared_ptr<LoopHost> CurrentLoopHost()
{
    std::lock_guard lock(HostMutex());
    return Host();
}

}  // namespace winmm
