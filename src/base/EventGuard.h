// No error may escape an event handler: it is logged and the applet runs on.
#pragma once

#include <cstdio>
#include <exception>

namespace kelvo {

template <typename Handler>
void GuardEvent(const char* where, Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvo: %s: %s\n", where, e.what());
    } catch (...) {
        std::fprintf(stderr, "kelvo: %s: unexpected error\n", where);
    }
}

}  // namespace kelvo
