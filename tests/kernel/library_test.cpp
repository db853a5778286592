#include "kernel/library.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

INT_PTR Answer()
{
    return 42;
}

class Library : public ::testing::Test {
protected:
    void SetUp() override { kernel::ProvideLibrary("kelvotest.dll", kernel::Exports{{"Answer", &Answer}}); }
    void TearDown() override { kernel::ProvideLibrary("kelvotest.dll", std::nullopt); }
};

TEST_F(Library, LoadsByNameAndFindsItsFunctions)
{
    for (const char* name : {"kelvotest.dll", "KELVOTEST", "C:\\WINDOWS\\SYSTEM\\KelvoTest.DLL"}) {
        const HMODULE module = LoadLibraryA(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(GetModuleHandleA("kelvotest.dll"), module);
        const FARPROC answer = GetProcAddress(module, "Answer");
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer(), 42);
        EXPECT_EQ(FreeLibrary(module), TRUE);
    }
    EXPECT_EQ(GetModuleHandleA("kelvotest.dll"), nullptr) << "every load was taken back";
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr) << "the program's own module";
}

TEST_F(Library, FailsAsThePublishedFunctionsDo)
{
    const HMODULE loaded = LoadLibraryA("kelvotest.dll");
    const auto unloaded = reinterpret_cast<HMODULE>(0x1234);
    const struct {
        const char* what;
        std::function<bool()> fails;
        LONG error;
    } cases[] = {
        {"unknown library", [] { return LoadLibraryA("nosuch.dll") == nullptr; }, ERROR_MOD_NOT_FOUND},
        {"no name", [] { return LoadLibraryA(nullptr) == nullptr; }, ERROR_INVALID_PARAMETER},
        {"unknown function", [&] { return GetProcAddress(loaded, "Question") == nullptr; }, ERROR_PROC_NOT_FOUND},
        {"ordinal", [&] { return GetProcAddress(loaded, reinterpret_cast<LPCSTR>(1)) == nullptr; },
         ERROR_PROC_NOT_FOUND},
        {"module not loaded", [&] { return GetProcAddress(unloaded, "Answer") == nullptr; }, ERROR_INVALID_HANDLE},
        {"free what is not loaded", [&] { return FreeLibrary(unloaded) == FALSE; }, ERROR_INVALID_HANDLE},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.fails()) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(c.error)) << c.what;
    }
    EXPECT_EQ(FreeLibrary(loaded), TRUE);
    EXPECT_EQ(FreeLibrary(loaded), FALSE) << "freed once too often";
}

}  // namespace
