// Time from exec to a mapped window: starts a command and prints, in
// milliseconds, how long it took until the X server mapped a top-level
// window of the given size; then ends the command.
//   kelvo-map-timer WIDTH HEIGHT COMMAND [ARGUMENTS...]
// Prints "timeout" (and exits 1) when no such window comes within 20 s.
#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, Free>;

bool HasSize(xcb_connection_t* x, xcb_window_t window, int width, int height)
{
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(x, xcb_get_geometry(x, window), nullptr));
    return geometry && geometry->width == width && geometry->height == height;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kelvo-map-timer WIDTH HEIGHT COMMAND [ARGUMENTS...]\n");
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "kelvo-map-timer: cannot open the display\n");
        xcb_disconnect(x);
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    Reply<xcb_generic_error_t> error(
        xcb_request_check(x, xcb_change_window_attributes_checked(x, root, XCB_CW_EVENT_MASK, &mask)));
    if (error) {
        std::fprintf(stderr, "kelvo-map-timer: cannot watch the root window\n");
        xcb_disconnect(x);
        return 2;
    }

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) return 2;
    if (child == 0) {
        ::execvp(argv[3], argv + 3);
        std::perror("kelvo-map-timer: exec");
        ::_exit(127);
    }

    const auto deadline = start + std::chrono::seconds(20);
    bool mapped = false;
    std::chrono::steady_clock::duration elapsed{};
    while (!mapped && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
        ::poll(&fd, 1, 100);
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(x)}) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
            const auto seen = std::chrono::steady_clock::now() - start;
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
            if (!mapped && !map->override_redirect && HasSize(x, map->window, width, height)) {
                mapped = true;
                elapsed = seen;
            }
        }
        if (xcb_connection_has_error(x)) break;
    }
    if (mapped) {
        std::printf("%.1f\n", std::chrono::duration<double, std::milli>(elapsed).count());
    } else {
        std::printf("timeout\n");
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    xcb_disconnect(x);
    return mapped ? 0 : 1;
}
