#include "app/TerminationSignals.h"

#include "user/message_pump.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kelvo {
namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t requested = 0;
std::function<void()> displayLost;
std::atomic<pid_t> ownProcess = 0;  // set once `displayLost` is

void EndOnLostDisplay()
{
    // An exit of the applet's own has no broken display connection.
    if (!displayLost || !user::DisplayConnectionBroken()) return;
    displayLost();
    std::fflush(nullptr);
    // The exit handlers still to come would tear down the toolkit under
    // objects that belong to it.
    std::_Exit(0);
}

void OnSignal(int)
{
    requested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

void OnBrokenPipe(int) {}

}  // namespace

void InstallTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
    // A display server that goes first (a logout) must show up as a broken
    // connection, not end the applet from inside a write to its socket. A
    // handler rather than SIG_IGN: programs the applet starts get the default.
    action.sa_handler = OnBrokenPipe;
    sigaction(SIGPIPE, &action, nullptr);
}

bool TerminationRequested()
{
    return requested != 0;
}

void OnTerminationSignal(QObject* context, std::function<void()> terminate)
{
    if (signalPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [terminate = std::move(terminate)] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        terminate();
    });
}

DisplayLostWatch OnDisplayLost(std::function<void()> lost)
{
    static const bool registered = std::atexit(EndOnLostDisplay) == 0;
    user::DisplayConnectionBroken();  // looks the connection up while on this thread
    if (registered) displayLost = std::move(lost);
    ownProcess = ::getpid();
    return {};
}

// An ordinary exit, once the application is gone, must not look at its freed
// display connection.
DisplayLostWatch::~DisplayLostWatch()
{
    displayLost = nullptr;
}

}  // namespace kelvo

// The toolkit's Wayland client ends the process with _exit(1) when the
// compositor goes away, from the user-interface thread and its event reader
// at once, past the exit handlers. The executable exports this _exit in place
// of the C library's (see its link options); a forked child, and every other
// exit, ends exactly as there.
extern "C" void _exit(int status)
{
    using namespace kelvo;
    if (::getpid() == ownProcess && displayLost && user::DisplayConnectionBroken()) {
        // The second thread must neither store too nor end the process under the first.
        static std::atomic_flag ending;
        if (ending.test_and_set()) {
            for (;;) ::pause();
        }
        displayLost();
        std::fflush(nullptr);
        status = 0;
    }
    for (;;) ::syscall(SYS_exit_group, status);
}
