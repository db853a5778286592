// The server's sources as wave-in devices, and where the mapper records from.
#include "support/FakeCaptureDriver.h"
#include "winmm/input_choice.h"
#include "winmm/mmsystem.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace {

using winmm::ResolveChoice;
using winmm::SourceList;

const SourceList kServer{{{"mic", "Built-in Microphone", 2},
                          {"speakers.monitor", "Monitor of Built-in Audio Analog Stereo Output", 2},
                          {"usb", "USB \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 1}},
                         "mic",
                         "speakers.monitor"};

TEST(InputChoice, MapperRules)
{
    const SourceList noOutput{kServer.sources, "mic", ""};
    const std::tuple<SourceList, std::string, std::string, bool> cases[] = {  // list, choice; source, missing
        {kServer, "", "mic", false},
        {kServer, "@DEFAULT_SOURCE@", "mic", false},
        {kServer, "@DEFAULT_MONITOR@", "speakers.monitor", false},
        {noOutput, "@DEFAULT_MONITOR@", "mic", false},
        {kServer, "usb", "usb", false},
        {kServer, "unplugged", "mic", true},  // the default input stands in
        {SourceList{}, "usb", "", true},
    };
    for (const auto& [list, choice, source, missing] : cases) {
        const winmm::ResolvedChoice resolved = ResolveChoice(list, choice);
        EXPECT_EQ(resolved.source, source) << choice;
        EXPECT_EQ(resolved.missing, missing) << choice;
    }
}

class DeviceListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        driver->list = kServer;
        winmm::SetCaptureDriver(driver);
        winmm::waveInSetPreferred("");
    }
    void TearDown() override
    {
        winmm::waveInSetPreferred("");
        winmm::SetCaptureDriver(nullptr);
    }

    std::string Name(UINT_PTR id)
    {
        WAVEINCAPSA caps;
        std::memset(&caps, 'x', sizeof caps);
        const MMRESULT result = waveInGetDevCapsA(id, &caps, sizeof caps);
        return result == MMSYSERR_NOERROR ? std::string(caps.szPname) : "error " + std::to_string(result);
    }

    std::shared_ptr<testing_support::FakeCaptureDriver> driver = std::make_shared<testing_support::FakeCaptureDriver>();
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
};

TEST_F(DeviceListTest, TheSourcesAreTheDevicesNamedAsWindowsCutsThem)
{
    EXPECT_EQ(waveInGetNumDevs(), 3u);
    EXPECT_EQ(Name(0), "Built-in Microphone");
    EXPECT_EQ(Name(1), "Monitor of Built-in Audio Analo") << "31 bytes and the NUL";
    EXPECT_EQ(Name(2), "USB \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9") << "no character cut in two";
    EXPECT_EQ(Name(3), "error " + std::to_string(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(Name(WAVE_MAPPER), "Built-in Microphone") << "the mapper names the device it stands for";

    WAVEINCAPSA caps{};
    ASSERT_EQ(waveInGetDevCapsA(0, &caps, 6), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname[0], 0) << "a short record gets only what fits";

    // Numbers follow the list at the time of the call.
    driver->list.sources.erase(driver->list.sources.begin());
    EXPECT_EQ(waveInGetNumDevs(), 2u);
    EXPECT_EQ(Name(0), "Monitor of Built-in Audio Analo");
    winmm::waveInSetPreferred("@DEFAULT_MONITOR@");
    EXPECT_EQ(Name(WAVE_MAPPER), "Monitor of Built-in Audio Analo");
}

TEST_F(DeviceListTest, ANumberedDeviceRecordsItsSourceAndOnlyTheMapperMovesWithTheChoice)
{
    HWAVEIN numbered = nullptr;
    HWAVEIN mapped = nullptr;
    ASSERT_EQ(waveInOpen(&numbered, 2, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(driver->lastTarget.choice, "usb");
    EXPECT_FALSE(driver->lastTarget.follows);
    winmm::waveInSetPreferred("usb");
    ASSERT_EQ(waveInOpen(&mapped, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    EXPECT_EQ(driver->lastTarget.choice, "usb");
    EXPECT_TRUE(driver->lastTarget.follows);

    winmm::waveInSetPreferred("@DEFAULT_MONITOR@");
    EXPECT_EQ(winmm::waveInGetPreferred(), "@DEFAULT_MONITOR@");
    EXPECT_EQ(driver->Count("retarget @DEFAULT_MONITOR@"), 1) << "the mapped device only";
    waveInClose(numbered);
    waveInClose(mapped);
}

}  // namespace
