// What a save of the hive guarantees when the power fails at any moment: the
// hive file is never written in place, the new text is on the disk under
// another name before it replaces the hive, and the replacement itself is
// made durable. A process cannot see the disk's order, so this test sees the
// calls: fsync and rename are shimmed here and record what the store asks of
// them, in order.
#include "registry/TempHive.h"
#include "registry/winreg.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>

namespace {

bool recording = false;
std::vector<std::string> calls;  // "fsync PATH SIZE", "rename FROM TO"

// The next definition of a C library function: the real one.
#define NEXT(name) static const auto next = reinterpret_cast<decltype(&::name)>(::dlsym(RTLD_NEXT, #name))

}  // namespace

extern "C" int fsync(int fd)
{
    NEXT(fsync);
    std::error_code ec;
    const std::string path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    const auto size = std::filesystem::is_regular_file(path, ec) ? std::filesystem::file_size(path, ec) : 0;
    if (recording) calls.push_back("fsync " + path + " " + std::to_string(size));
    return next(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept
{
    NEXT(rename);
    if (recording) calls.push_back(std::string("rename ") + from + " " + to);
    return next(from, to);
}

namespace {

TEST(HiveSave, TheNewTextIsOnTheDiskUnderAnotherNameBeforeItReplacesTheHiveAndTheReplacementIsMadeDurable)
{
    kelvo::testing::TempHive hive;
    hive.Write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Kept]\n\"v\"=\"1\"\n\n");
    kelvo::registry::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    recording = true;
    const LONG saved = kelvo::testing::SetValue(key.get(), "v", REG_SZ, {"2", 2});
    recording = false;
    ASSERT_EQ(saved, ERROR_SUCCESS);
    ASSERT_NE(hive.Read().find("\"v\"=\"2\""), std::string::npos);

    std::string trail, temp;
    for (const std::string& call : calls) {
        trail += call + "\n";
        if (call.starts_with("rename ") && call.ends_with(" " + hive.file()))
            temp = call.substr(7, call.size() - 8 - hive.file().size());
    }
    ASSERT_FALSE(temp.empty()) << "the hive is replaced whole by a rename:\n" << trail;
    EXPECT_TRUE(temp != hive.file() && temp.rfind(hive.kelvoDir() + "/", 0) == 0) << "beside the hive:\n" << trail;
    const auto renamed = std::find(calls.begin(), calls.end(), "rename " + temp + " " + hive.file());
    const std::string whole = "fsync " + temp + " " + std::to_string(hive.Read().size());
    EXPECT_NE(std::find(calls.begin(), renamed, whole), renamed) << "whole on the disk before:\n" << trail;
    EXPECT_NE(std::find(renamed, calls.end(), "fsync " + hive.kelvoDir() + " 0"), calls.end())
        << "the rename is made durable:\n" << trail;
}

}  // namespace
