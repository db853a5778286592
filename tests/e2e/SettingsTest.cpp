// The stored interval and the DirectDraw switch, end to end: the built applet
// and kelvo-reg sharing one hive file, against a real sound server and X server.
#include "e2e/Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

const std::string kKey = "HKCU\\SOFTWARE\\Quennel\\Kelvo";
const std::string kSection = "[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]";

constexpr QRgb kTrace = qRgb(128, 255, 255);
// The canvas's drawing area inside the window: 171 x 61 at (8, 24).
const QRect kClient(8, 24, 171, 61);

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The value lines of `section` in REGEDIT4 text, up to the next section.
std::vector<std::string> SectionLines(const std::string& text, const std::string& section)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inside = line == section;
        } else if (inside && !line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const auto& l : lines) s += "  " + l + "\n";
    return s;
}

// Every interval the /debug lines reported, in order.
std::vector<int> Intervals(const std::string& log)
{
    static const std::regex line("kelvo: frames=(\\d+) interval=(-?\\d+)");
    std::vector<int> out;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
        out.push_back(std::stoi((*it)[2].str()));
    }
    return out;
}

// The pacer lengthens the interval of ticks that run late in 5 ms steps (a
// busy machine, several applets starting at once); a few steps are allowed,
// nothing else.
bool Paced(int interval, int expected)
{
    return interval >= expected && interval <= expected + 25 && (interval - expected) % 5 == 0;
}

// The stored "Frequency" when it is one REG_DWORD line, else -1.
long long StoredFrequency(const std::vector<std::string>& lines)
{
    static const std::regex dword("\"Frequency\"=dword:([0-9a-f]{8})");
    long long value = -1;
    int count = 0;
    for (const auto& line : lines) {
        std::smatch m;
        if (line.rfind("\"Frequency\"=", 0) == 0) ++count;
        if (std::regex_match(line, m, dword)) value = std::stoll(m[1].str(), nullptr, 16);
    }
    return count == 1 ? value : -1;
}

std::string WithoutFrequency(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("\"Frequency\"=", 0) != 0) out += line + "\n";
    }
    return out;
}

int MostFrames(const std::string& log)
{
    static const std::regex line("kelvo: frames=(\\d+) interval=");
    int most = 0;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
        most = std::max(most, std::stoi((*it)[1].str()));
    }
    return most;
}

class StoredSettings : public ::testing::Test {
protected:
    static fs::path Hive(const fs::path& home) { return home / "kelvo" / "user.reg"; }
    std::string HiveText() const { return ReadFile(Hive(config.path())); }
    std::vector<std::string> KeyLines(const fs::path& home) const
    {
        return SectionLines(ReadFile(Hive(home)), kSection);
    }
    std::vector<std::string> KeyLines() const { return KeyLines(config.path()); }

    static CommandResult Reg(std::vector<std::string> arguments, const fs::path& home)
    {
        arguments.insert(arguments.begin(), (KelvoBinary().parent_path() / "kelvo-reg").string());
        return e2e::Run(arguments, {{"XDG_CONFIG_HOME", home.string()}});
    }
    CommandResult Reg(std::vector<std::string> arguments) const { return Reg(std::move(arguments), config.path()); }

    static void RegOk(const std::vector<std::string>& arguments, const fs::path& home)
    {
        const auto r = Reg(arguments, home);
        ASSERT_EQ(r.code, 0) << r.output;
    }
    void RegOk(const std::vector<std::string>& arguments) const { RegOk(arguments, config.path()); }

    std::unique_ptr<Kelvo> Launch(const fs::path& home)
    {
        return std::make_unique<Kelvo>(x, sound.ClientEnvironment(), std::vector<std::string>{"/debug"}, &home);
    }

    // Waits for the window and the first two frame-rate lines (the first
    // second may be partial); the window's id.
    static std::string Ready(Kelvo& kelvo)
    {
        const auto id = kelvo.MainWindow();
        if (!id) throw std::runtime_error("Kelvo showed no window:\n" + kelvo.Log());
        if (!WaitFor([&] { return Intervals(kelvo.Log()).size() >= 2; }, 10s))
            throw std::runtime_error("no frame-rate lines:\n" + kelvo.Log());
        return *id;
    }

    // Kelvo with /debug on the fixture's folder, ready.
    std::unique_ptr<Kelvo> StartKelvo()
    {
        auto kelvo = Launch(config.path());
        window = Ready(*kelvo);
        return kelvo;
    }

    // Every reported interval is `expected`, or paced up from it; the last.
    static int ExpectIntervals(const Kelvo& kelvo, int expected)
    {
        const auto intervals = Intervals(kelvo.Log());
        EXPECT_FALSE(intervals.empty()) << kelvo.Log();
        int last = expected;
        for (int i : intervals) {
            EXPECT_TRUE(Paced(i, expected) && i >= last) << "interval " << i << ", expected " << expected << "\n"
                                                          << kelvo.Log();
            last = i;
        }
        return last;
    }

    // The interval Kelvo stored at exit: the one it ran on last.
    static void ExpectStored(const std::vector<std::string>& lines, int expected, int lastReported)
    {
        const long long stored = StoredFrequency(lines);
        EXPECT_TRUE(stored >= lastReported && Paced(static_cast<int>(stored), expected))
            << "Frequency " << stored << ", expected " << expected << "\n"
            << Joined(lines);
    }

    int TracePixels() const
    {
        const QImage shot = x.Screenshot();
        const QPoint origin = x.Geometry(*window).topLeft() + kClient.topLeft();
        int pixels = 0;
        for (int dx = 0; dx < kClient.width(); ++dx) {
            for (int dy = 0; dy < kClient.height(); ++dy) {
                const QPoint p = origin + QPoint(dx, dy);
                if (shot.valid(p) && shot.pixel(p) == kTrace) ++pixels;
            }
        }
        return pixels;
    }

    XServer x;
    SoundServer sound;
    TempDir config;
    std::unique_ptr<Process> player = sound.Play(Tone(440, 0.8, 120));
    std::optional<std::string> window;
};

TEST_F(StoredSettings, AFirstRunStoresTheDesignIntervalAtExitAndTheNextRunReadsIt)
{
    int last = 0;
    ASSERT_FALSE(fs::exists(Hive(config.path())));
    {
        auto kelvo = StartKelvo();
        EXPECT_FALSE(fs::exists(Hive(config.path()))) << "nothing is stored before the exit";
        EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
        last = ExpectIntervals(*kelvo, 150);
    }
    const std::string text = HiveText();
    EXPECT_EQ(text.rfind("REGEDIT4", 0), 0u) << text;
    const auto lines = KeyLines();
    EXPECT_EQ(lines.size(), 1u) << text;
    ExpectStored(lines, 150, last);
    // As a rule nothing runs late and this is 150 itself.
    const long long stored = StoredFrequency(lines);
    ASSERT_GT(stored, 0) << text;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%llx", stored);
    const auto query = Reg({"query", kKey, "/v", "Frequency"});
    EXPECT_EQ(query.code, 0) << query.output;
    EXPECT_TRUE(std::regex_search(query.output, std::regex(std::string("Frequency\\s+REG_DWORD\\s+") + hex + "\\b")))
        << hex << "\n" << query.output;

    // The second run over the same folder reads what the first stored and
    // leaves the rest of the file as it was.
    {
        auto kelvo = StartKelvo();
        EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
        last = ExpectIntervals(*kelvo, static_cast<int>(stored));
    }
    EXPECT_EQ(WithoutFrequency(HiveText()), WithoutFrequency(text));
    ExpectStored(KeyLines(), static_cast<int>(stored), last);
}

// One Kelvo per stored value, all running at once, each on its own folder.
struct StoredCase {
    std::string type;
    std::string data;
    int interval;  // the interval the run must use, and store at exit
};

TEST_F(StoredSettings, AStoredIntervalIsAppliedOnlyWhenTheDialogCouldHaveSetIt)
{
    const std::vector<StoredCase> cases{
        {"REG_DWORD", "45", 45},
        // The edges of what the dialog could have set.
        {"REG_DWORD", "15", 15},
        {"REG_DWORD", "0x7fff", 32767},
        // Values that must not reach the frame timer: the run uses 150 and stores it.
        {"REG_DWORD", "0", 150},
        {"REG_DWORD", "5", 150},
        {"REG_DWORD", "14", 150},
        {"REG_DWORD", "32768", 150},
        {"REG_DWORD", "40000", 150},
        {"REG_DWORD", "0xffffffd3", 150},  // -45
        {"REG_SZ", "45", 150},
        {"REG_BINARY", "2d000000", 150},
    };
    std::vector<std::unique_ptr<TempDir>> homes;
    std::vector<std::unique_ptr<Kelvo>> runs;
    for (const auto& c : cases) {
        homes.push_back(std::make_unique<TempDir>());
        RegOk({"add", kKey, "/v", "Frequency", "/t", c.type, "/d", c.data, "/f"}, homes.back()->path());
        runs.push_back(Launch(homes.back()->path()));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        Kelvo& kelvo = *runs[i];
        SCOPED_TRACE(c.type + " " + c.data);
        Ready(kelvo);
        if (c.interval <= 1000) {
            EXPECT_TRUE(WaitFor([&] { return MostFrames(kelvo.Log()) > 0; }, 5s)) << "frames are drawn\n"
                                                                                   << kelvo.Log();
        }
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].type + " " + cases[i].data);
        EXPECT_EQ(runs[i]->process().Stop(SIGTERM), 0) << runs[i]->Log();
        const int last = ExpectIntervals(*runs[i], cases[i].interval);
        const auto lines = KeyLines(homes[i]->path());
        EXPECT_EQ(lines.size(), 1u) << Joined(lines);
        ExpectStored(lines, cases[i].interval, last);
    }
}

TEST_F(StoredSettings, TheToolChangesTheLiveFileAndKelvosExitKeepsItsChanges)
{
    // A subkey the tool adds and a value it changes before Kelvo starts.
    RegOk({"add", kKey + "\\Colours", "/v", "Trace", "/t", "REG_DWORD", "/d", "0xffff80", "/f"});
    RegOk({"add", kKey, "/v", "Frequency", "/t", "REG_DWORD", "/d", "60", "/f"});
    auto kelvo = StartKelvo();

    RegOk({"add", kKey, "/v", "Note", "/t", "REG_SZ", "/d", "hello", "/f"});
    RegOk({"add", kKey, "/v", "Kept", "/t", "REG_SZ", "/d", "a \"quoted\" C:\\path", "/f"});
    RegOk({"add", kKey, "/v", "Blob", "/t", "REG_BINARY", "/d", "00ff10", "/f"});
    // Kelvo's interval is in memory: a change under it only lasts until the exit.
    RegOk({"add", kKey, "/v", "Frequency", "/t", "REG_DWORD", "/d", "200", "/f"});

    auto query = Reg({"query", kKey, "/v", "Note"});
    EXPECT_EQ(query.code, 0) << query.output;
    EXPECT_TRUE(std::regex_search(query.output, std::regex("Note\\s+REG_SZ\\s+hello"))) << query.output;
    query = Reg({"query", kKey, "/s"});
    EXPECT_EQ(query.code, 0) << query.output;
    for (const char* expected : {"Frequency\\s+REG_DWORD\\s+0xc8\\b", "Note\\s+REG_SZ\\s+hello",
                                 "Blob\\s+REG_BINARY\\s+00FF10", "Trace\\s+REG_DWORD\\s+0xffff80\\b"}) {
        EXPECT_TRUE(std::regex_search(query.output, std::regex(expected, std::regex::icase)))
            << expected << "\n" << query.output;
    }

    const fs::path exported = config.path() / "exported.reg";
    RegOk({"export", kKey, exported.string()});
    const std::string exportedText = ReadFile(exported);
    EXPECT_EQ(exportedText.rfind("REGEDIT4", 0), 0u) << exportedText;
    const auto exportedLines = SectionLines(exportedText, kSection);
    for (const char* line : {"\"Frequency\"=dword:000000c8", "\"Note\"=\"hello\"",
                             "\"Kept\"=\"a \\\"quoted\\\" C:\\\\path\"", "\"Blob\"=hex(3):00,ff,10"}) {
        EXPECT_TRUE(Contains(exportedLines, line)) << line << "\n" << exportedText;
    }
    EXPECT_EQ(SectionLines(exportedText, "[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo\\Colours]"),
              std::vector<std::string>{"\"Trace\"=dword:00ffff80"})
        << exportedText;

    RegOk({"delete", kKey, "/v", "Note", "/f"});
    query = Reg({"query", kKey, "/v", "Note"});
    EXPECT_NE(query.code, 0) << query.output;

    const fs::path import = config.path() / "import.reg";
    // "hex:" is how the Windows registry editor writes binary data.
    std::ofstream(import, std::ios::binary) << "REGEDIT4\n\n" << kSection << "\n"
                                            << "\"Imported\"=dword:0000002a\n\"Greeting\"=\"hi there\"\n"
                                            << "\"Raw\"=hex:01,02\n\n";
    RegOk({"import", import.string()});
    query = Reg({"query", kKey, "/v", "Imported"});
    EXPECT_EQ(query.code, 0) << query.output;
    EXPECT_TRUE(std::regex_search(query.output, std::regex("Imported\\s+REG_DWORD\\s+0x2a\\b"))) << query.output;

    // Still running, still on the interval it read at start.
    EXPECT_TRUE(kelvo->process().Running()) << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
    const int last = ExpectIntervals(*kelvo, 60);

    const std::string text = HiveText();
    const auto lines = KeyLines();
    ExpectStored(lines, 60, last);
    const auto named = [&](const std::string& name) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind("\"" + name + "\"=", 0) == 0; });
    };
    EXPECT_EQ(named("Note"), 0) << "a deleted value stays deleted\n" << text;
    for (const char* line : {"\"Kept\"=\"a \\\"quoted\\\" C:\\\\path\"", "\"Blob\"=hex(3):00,ff,10",
                             "\"Imported\"=dword:0000002a", "\"Greeting\"=\"hi there\"",
                             "\"Raw\"=hex(3):01,02"}) {
        EXPECT_TRUE(Contains(lines, line)) << line << " survives Kelvo's exit\n" << text;
    }
    EXPECT_EQ(lines.size(), 6u) << Joined(lines);
    EXPECT_EQ(SectionLines(text, "[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo\\Colours]"),
              std::vector<std::string>{"\"Trace\"=dword:00ffff80"})
        << text;
    query = Reg({"query", kKey, "/v", "Frequency"});
    EXPECT_TRUE(std::regex_search(query.output, std::regex("Frequency\\s+REG_DWORD\\s+0x([3-5][0-9a-f])\\b")))
        << query.output;
}

TEST_F(StoredSettings, TheDirectDrawSwitchIsReadAndNeverRewritten)
{
    RegOk({"add", kKey, "/v", "Frequency", "/t", "REG_DWORD", "/d", "150", "/f"});
    RegOk({"add", kKey, "/v", "DirectX", "/t", "REG_SZ", "/d", "y", "/f"});
    const std::string before = HiveText();
    ASSERT_TRUE(Contains(KeyLines(), "\"DirectX\"=\"y\"")) << before;
    const auto queryBefore = Reg({"query", kKey, "/v", "DirectX"});
    ASSERT_EQ(queryBefore.code, 0) << queryBefore.output;

    auto kelvo = StartKelvo();
    int pixels = 0;
    EXPECT_TRUE(WaitFor([&] { return (pixels = TracePixels()) > 100; }, 20s))
        << "the trace is drawn as usual; pixels " << pixels << "\n" << kelvo->Log();
    EXPECT_EQ(kelvo->process().Stop(SIGTERM), 0) << kelvo->Log();
    const int last = ExpectIntervals(*kelvo, 150);
    // No complaint about the switch: Kelvo's own lines are the frame-rate
    // lines only (Qt's own notices may vary from one machine to another).
    std::istringstream log(kelvo->Log());
    for (std::string line; std::getline(log, line);) {
        if (line.rfind("kelvo:", 0) == 0) {
            EXPECT_EQ(line.rfind("kelvo: frames=", 0), 0u) << line;
        }
        EXPECT_FALSE(std::regex_search(line, std::regex("directx|directdraw|user\\.reg", std::regex::icase)))
            << line;
    }

    // The interval stored again: as a rule the same 150, and every byte as it was.
    ExpectStored(KeyLines(), 150, last);
    EXPECT_EQ(WithoutFrequency(HiveText()), WithoutFrequency(before));
    EXPECT_EQ(Reg({"query", kKey, "/v", "DirectX"}).output, queryBefore.output);
}

}  // namespace
