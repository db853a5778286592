// The options beside the slash switches, the autostart entry they write, and
// the session lock and hand-over of a second start.
#include "app/Autostart.h"
#include "app/LinuxOptions.h"
#include "app/SessionInstance.h"
#include "registry/TempHive.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using kelvo::SessionInstance;

std::string Contents(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

TEST(LinuxOptions, EachOptionDoesItsWorkAndEndsOtherWordsLetKelvoRunAndTheAutostartEntryIsSound)
{
    const kelvo::testing::TempHive config;  // a private XDG_CONFIG_HOME
    const fs::path entry = fs::path(config.dir()) / "autostart" / "kelvo.desktop";
    // the words; the status (none: Kelvo runs), text the output holds, the errors, an entry after
    const std::tuple<std::vector<const char*>, std::optional<int>, std::string, std::string, bool> cases[] = {
        {{"kelvo"}, std::nullopt, "", "", false},
        {{"kelvo", "/tray", "/DEBUG", "-x", "words", "--"}, std::nullopt, "", "", false},
        {{"kelvo", "--help"}, 0, "Usage: kelvo [/tray] [/debug]\n", "", false},
        {{"kelvo", "/tray", "-h"}, 0, "  --no-autostart ", "", false},
        {{"kelvo", "--version"}, 0, "kelvo " KELVO_VERSION "\n", "", false},
        {{"kelvo", "--helpme", "--help"}, 2, "", "kelvo: unknown option --helpme (kelvo --help lists the options)\n", false},
        {{"kelvo", "--autostart"}, 0, "Kelvo starts in the tray at every login: " + entry.string() + "\n", "", true},
        {{"kelvo", "--autostart"}, 0, "", "", true},  // again: the entry is replaced whole
        {{"kelvo", "--no-autostart"}, 0, "Kelvo no longer starts at login", "", false},
        {{"kelvo", "--no-autostart"}, 0, "", "", false},
    };
    for (const auto& [args, status, says, errors, entryAfter] : cases) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        EXPECT_EQ(kelvo::RunLinuxOption(static_cast<int>(args.size()), args.data(), out, err), status) << args.back();
        const std::string printed = Contents(out);
        EXPECT_NE(printed.find(says), std::string::npos) << printed;
        if (!status) {
            EXPECT_EQ(printed, "");
        }
        EXPECT_EQ(Contents(err), errors) << args.back();
        EXPECT_EQ(fs::exists(entry), entryAfter) << args.back();
        std::fclose(out);
        std::fclose(err);
        if (entryAfter) {
            const fs::path self = fs::read_symlink("/proc/self/exe");
            const std::string exec = "\nTryExec=" + self.string() + "\nExec=" + kelvo::ExecValue(self, "/tray") + "\n";
            EXPECT_NE(config.Read(entry).find(exec), std::string::npos) << config.Read(entry);
            EXPECT_EQ(std::system(("desktop-file-validate " + entry.string()).c_str()), 0);
            EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), fs::directory_iterator()), 1);
        }
    }

    // Exec values are quoted and escaped as the desktop entry format asks.
    const std::pair<std::string, std::string> quoted[] = {
        {"/usr/lib/kelvo/kelvo", "/usr/lib/kelvo/kelvo /tray"},
        {"/home/a b/kelvo", R"("/home/a b/kelvo" /tray)"},
        {R"(/x/$HOME\y"z`)", R"("/x/\\$HOME\\\\y\\"z\\`" /tray)"},
        {"/opt/100%/kelvo", "/opt/100%%/kelvo /tray"},
    };
    for (const auto& [program, exec] : quoted) EXPECT_EQ(kelvo::ExecValue(program, "/tray"), exec) << program;
    // A path in another encoding than UTF-8 has no place in an entry: refused, nothing written.
    for (const char* other : {"/opt/k\xe9lvo/kelvo", "/opt/\xc0\xaf/k", "/opt/\xed\xa0\x80/k", "/opt/k\xc3"})
        EXPECT_NE(kelvo::WriteAutostart(other), "") << other;
    EXPECT_EQ(kelvo::WriteAutostart("/opt/k\xc3\xa9lvo \xf0\x9f\x8e\xb5/kelvo"), "");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", config.dir().c_str(), 1);
    EXPECT_EQ(kelvo::AutostartFile(), fs::path(config.dir()) / ".config/autostart/kelvo.desktop");
}

TEST(SessionInstance, EachDisplayOfEachUserHasItsOwnPlaceWhereASecondStartHandsOver)
{
    using kelvo::SessionPlaceFor;
    const std::string run = "/run/user/1000";
    EXPECT_EQ(SessionPlaceFor("xcb", ":0", run).socket, run + "/kelvo-xcb-_0.socket");
    EXPECT_EQ(SessionPlaceFor("xcb", ":0", run).lock, run + "/kelvo-xcb-_0.lock");
    for (const char* same : {":0.1", "unix:0", "unix:0.0"}) {
        EXPECT_EQ(SessionPlaceFor("xcb", same, run).lock, SessionPlaceFor("xcb", ":0", run).lock) << same;
    }
    for (const auto& [platform, other] : std::vector<std::pair<std::string, std::string>>{
             {"xcb", ":1"}, {"xcb", "localhost:10.0"}, {"wayland", "wayland-0"}, {"offscreen", ""}}) {
        EXPECT_NE(SessionPlaceFor(platform, other, run).lock, SessionPlaceFor("xcb", ":0", run).lock) << other;
    }
    EXPECT_NE(SessionPlaceFor("xcb", ":0", "/run/user/1001").lock, SessionPlaceFor("xcb", ":0", run).lock);
    // Without a runtime folder, or with one too deep for a socket's name: a
    // private folder in /tmp; a long Wayland path shortened.
    const std::string tmp = "/tmp/kelvo-" + std::to_string(::getuid()) + "/kelvo-";
    EXPECT_EQ(SessionPlaceFor("xcb", ":0", "").socket, tmp + "xcb-_0.socket");
    EXPECT_EQ(SessionPlaceFor("xcb", ":0", "/" + std::string(120, 'd')).socket, tmp + "xcb-_0.socket");
    const std::string longWayland = "/" + std::string(80, 'w') + "/wayland-1";
    EXPECT_LT(SessionPlaceFor("wayland", longWayland, run).socket.size(), 100u);
    EXPECT_NE(SessionPlaceFor("wayland", longWayland, run).socket,
              SessionPlaceFor("wayland", longWayland + "0", run).socket);
    // A runtime folder the user cannot write in, or a file: the private folder, said in one line.
    QTemporaryDir closed;
    const std::string file = closed.filePath(QStringLiteral("file")).toStdString();
    std::ofstream(file) << "";
    fs::permissions(closed.path().toStdString(), fs::perms::owner_read | fs::perms::owner_exec);
    ::setenv("DISPLAY", ":0", 1);
    for (const std::string& runtime : {closed.path().toStdString(), file}) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(kelvo::CurrentSessionPlace("xcb").socket, tmp + "xcb-_0.socket") << runtime;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(said.rfind("kelvo: XDG_RUNTIME_DIR " + runtime + " ", 0) == 0 && said.find('\n') + 1 == said.size()) << said;
    }
    fs::permissions(closed.path().toStdString(), fs::perms::owner_all);
    ::unsetenv("XDG_RUNTIME_DIR");

    // A second start hands over, and a lock left by an ended Kelvo is taken again.
    QTemporaryDir runtime;
    const kelvo::SessionPlace place = kelvo::SessionPlaceFor("xcb", ":5", runtime.path().toStdString());
    auto first = std::make_unique<SessionInstance>(place);
    ASSERT_EQ(first->ClaimSession(true), SessionInstance::Claim::First);
    EXPECT_EQ(SessionInstance(place).ClaimSession(true, std::chrono::milliseconds(50)),
              SessionInstance::Claim::NoAnswer)
        << "locked, not yet listening";

    // A second start, on a thread of its own while this one answers.
    const auto another = [&](bool show) {
        std::atomic<int> claim{-1};
        std::thread second([&] { claim = static_cast<int>(SessionInstance(place).ClaimSession(show)); });
        while (claim < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        second.join();
        return static_cast<SessionInstance::Claim>(claim.load());
    };
    int shown = 0;
    first->Listen([&] { ++shown; });
    for (const bool show : {true, false, true}) EXPECT_EQ(another(show), SessionInstance::Claim::HandedOver) << show;
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 2) << "only starts without /tray ask for the window";

    first.reset();  // as a killed Kelvo's, the lock and socket file are left
    std::ofstream(place.socket) << "";
    SessionInstance next(place);
    EXPECT_EQ(next.ClaimSession(true), SessionInstance::Claim::First);
    next.Listen([] {});
    EXPECT_EQ(another(false), SessionInstance::Claim::HandedOver) << "a stale socket file is replaced";
}

}  // namespace
