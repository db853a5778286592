// LoadStoredSettings and SaveStoredSettings against a real hive file.
#include "registry/TempHive.h"
#include "settings/StoredSettings.h"
#include "settings/clsRegistry.h"

namespace {

using StoredSettingsTest = kelvo::testing::HiveTest;

// The input is text stored beside "Frequency"; anything else counts as none.
TEST_F(StoredSettingsTest, FirstRunGivesDefaultsStoresTheInputBesideFrequencyAndAFailedSaveIsReported)
{
    const StoredSettings settings = LoadStoredSettings();
    EXPECT_TRUE(!settings.bDirectX && settings.input.empty());
    EXPECT_FALSE(std::filesystem::exists(hive.file()));  // loading writes nothing
    ASSERT_TRUE(SaveStoredSettings(settings.interval, "alsa_input.usb-mic"));
    EXPECT_NE(hive.Read().find("\"Frequency\"=dword:00000096\n\"Input\"=\"alsa_input.usb-mic\"\n"), std::string::npos)
        << hive.Read();
    EXPECT_EQ(LoadStoredSettings().input, "alsa_input.usb-mic");
    hive.Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"Input\"=dword:00000001\n");
    EXPECT_EQ(LoadStoredSettings().input, "");
    std::filesystem::create_directory(hive.file() + ".tmp");  // the key exists, the write fails
    EXPECT_FALSE(SaveStoredSettings(151)) << "a failed save is reported";
}

TEST_F(StoredSettingsTest, IntervalsTheDialogCouldNeverSetAreNotAppliedAndSaidSoOthersAndTheSwitchAreApplied)
{
    auto dword = [](std::uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };  // little-endian host
    const std::tuple<DWORD, std::string, std::int16_t, std::string> cases[] = {
        {REG_DWORD, dword(32767), 32767, ""},
        {REG_DWORD, dword(14), 150, "\"Frequency\" 14 is"},
        {REG_DWORD, dword(-45u), 150, "\"Frequency\" 4294967251 is"},
        {REG_DWORD, dword(100000), 150, "\"Frequency\" 100000 is"},
        {REG_BINARY, "12345678", 150, "\"Frequency\" of type 3, 8 bytes is"},
        {REG_SZ, std::string("45\0", 3), 150, "\"Frequency\" \"45\" is"},
        {REG_DWORD, dword(15), 15, ""},
        {REG_BINARY, dword(15), 150, "of type 3, 4 bytes"}};  // the same bytes: a change of type alone
    clsRegistry reg;
    ASSERT_TRUE(reg.CreateKey(kSettingsKey, true, HKEY_CURRENT_USER));
    for (const auto& [type, data, expected, told] : cases) {
        ASSERT_EQ(kelvo::testing::SetValue(reg.Key(), "Frequency", type, data), ERROR_SUCCESS);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(LoadStoredSettings().interval, expected) << "type " << type << " size " << data.size();
        const std::string line = ::testing::internal::GetCapturedStderr();
        if (told.empty()) {
            EXPECT_EQ(line, "") << expected;
        } else {
            EXPECT_EQ(line.rfind("kelvo: the stored ", 0), 0u) << line;
            EXPECT_NE(line.find(told), std::string::npos) << line;
            EXPECT_NE(line.find("; using 150 ms\n"), std::string::npos) << line;
        }
    }

    // Stored values are applied, edits seen, and the switch never written.
    const std::string key = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n";
    hive.Write(key + "\"Frequency\"=dword:0000002d\n\"DirectX\"=\"y\"\n");
    const StoredSettings stored = LoadStoredSettings();
    EXPECT_EQ(stored.interval, 45);
    EXPECT_TRUE(stored.bDirectX);
    EXPECT_TRUE(SaveStoredSettings(155));
    EXPECT_NE(hive.Read().find("\"Frequency\"=dword:0000009b\n\"DirectX\"=\"y\"\n"), std::string::npos)
        << "the switch is never written: " << hive.Read();
    hive.Write(key + "\"DirectX\"=\"n\"\n");  // edited by hand while the applet runs
    EXPECT_FALSE(LoadStoredSettings().bDirectX);
}

// At exit only what this run changed is written, and what the hive lacks: a
// value someone else (kelvo-reg) changed meanwhile stays, unless the user's
// own could not be stored when applied.
TEST_F(StoredSettingsTest, AnExitWritesWhatThisRunChangedAndLeavesSomeoneElsesEdit)
{
    const std::string key = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n";
    const auto frequency = [](const char* value) { return std::string("\"Frequency\"=") + value + "\n"; };
    // read at start, written by someone else meanwhile ("": none), the user's unsaved, in use at exit; after
    const std::tuple<const char*, const char*, std::optional<std::int16_t>, std::int16_t, const char*> rows[] = {
        {"dword:00000020", "dword:0000002d", {}, 32, "dword:0000002d"},  // the edit stays
        {"dword:00000020", "dword:0000002d", {}, 37, "dword:0000002d"},  // also over a lengthening
        {"dword:00000020", "dword:0000002d", 60, 60, "dword:0000003c"},  // the user's unsaved wins
        {"dword:00000020", "", {}, 37, "dword:00000025"},                // lengthened in this run
        {"", "", {}, 150, "dword:00000096"},                            // a first run
        {"\"abc\"", "", {}, 150, "dword:00000096"}};                    // unusable
    for (const auto& [atStart, edit, user, interval, atEnd] : rows) {
        hive.Write(key + (*atStart ? frequency(atStart) : "") + "\"Input\"=\"mic\"\n");
        const StoredSettings read = LoadStoredSettings(true);
        UnsavedSettings unsaved{user, {}, read.intervalStored ? read.interval : std::int16_t{0}};
        if (*edit) hive.Write(key + frequency(edit) + "\"Input\"=\"other\"\n");
        EXPECT_TRUE(StoreSettingsAtExit(unsaved, interval));
        EXPECT_NE(hive.Read().find(frequency(atEnd)), std::string::npos) << atStart << " " << hive.Read();
        EXPECT_NE(hive.Read().find(*edit ? "\"other\"" : "\"mic\""), std::string::npos) << "an input not chosen";
    }
}

}  // namespace
