// Tolvane.dll through its import library, on the Windows platform under Wine, where no device
// of ours is present. The tests run in this order in one process: the first sees the library as
// loaded.
#include "tolvane.h"

#include "thread_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using tolvane::testing::ThreadWindowsTitled;

TEST(TolvaneLibrary, PercentageIs255BeforeAnything) {
    EXPECT_EQ(DFU_GetPercentage(), 255u);
}

TEST(TolvaneLibrary, InitializeMakesOneHiddenDummyDialogAndASecondCallNone) {
    ASSERT_TRUE(ThreadWindowsTitled(L"Dummy Dialog").empty());
    ASSERT_EQ(DFU_Initialize(), DFU_SUCCESS);
    const std::vector<HWND> windows = ThreadWindowsTitled(L"Dummy Dialog");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_FALSE(IsWindowVisible(windows[0]));

    EXPECT_EQ(DFU_Initialize(), DFU_SUCCESS);
    EXPECT_EQ(ThreadWindowsTitled(L"Dummy Dialog"), windows);

    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
    EXPECT_TRUE(ThreadWindowsTitled(L"Dummy Dialog").empty());
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
}

TEST(TolvaneLibrary, OkButtonAndCloseDoNotEndTheHiddenWindow) {
    ASSERT_EQ(DFU_Initialize(), DFU_SUCCESS);
    const std::vector<HWND> windows = ThreadWindowsTitled(L"Dummy Dialog");
    ASSERT_EQ(windows.size(), 1u);
    HWND dialog = windows[0];
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST(TolvaneLibrary, DeinitializeOnAnotherThreadReportsTheWindowsErrorAndStillEndsIdle) {
    ASSERT_EQ(DFU_Initialize(), DFU_SUCCESS);
    const std::vector<HWND> windows = ThreadWindowsTitled(L"Dummy Dialog");
    ASSERT_EQ(windows.size(), 1u);

    std::uint32_t result = 0;
    std::thread other([&] { result = DFU_Deinitialize(); });
    other.join();
    EXPECT_EQ(result, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    // The window could not be destroyed there; the watcher is idle all the same.
    EXPECT_TRUE(IsWindow(windows[0]));
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);

    ASSERT_EQ(DFU_Initialize(), DFU_SUCCESS);
    EXPECT_EQ(ThreadWindowsTitled(L"Dummy Dialog").size(), 2u);
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
    EXPECT_EQ(ThreadWindowsTitled(L"Dummy Dialog"), windows);
    DestroyWindow(windows[0]);
}

TEST(TolvaneLibrary, ResetsFindNothingAmongWinesOwnDevices) {
    ASSERT_EQ(DFU_Initialize(), DFU_SUCCESS);
    EXPECT_EQ(DFU_ResetToISP(0x1234, 0x5678), DFU_ERR_NOT_FOUND);
    // Wine's virtual mouse matches but has no feature reports.
    EXPECT_EQ(DFU_ResetToISP(0x845E, 0x0001), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(DFU_ResetToISP(0x5C3B, 0x030B), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(DFU_ResetToAP(), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(DFU_GetPercentage(), 255u);
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
}

TEST(TolvaneLibrary, ResetsWithoutAWatcherStillSearchFirst) {
    EXPECT_EQ(DFU_ResetToISP(0x1234, 0x5678), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(DFU_ResetToAP(), DFU_ERR_NOT_FOUND);
}

TEST(TolvaneLibrary, DownloadOfNothingSucceedsAtOnce) {
    const std::uint8_t image[1] = {0};
    EXPECT_EQ(DFU_Download(image, 0, 0, 0), DFU_SUCCESS);
    EXPECT_EQ(DFU_Download(nullptr, 0x1000, 0, 0x1234), DFU_SUCCESS);
    EXPECT_EQ(DFU_GetPercentage(), 255u);
}

std::wstring ModuleVersionString(const wchar_t* module, const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(module), path, MAX_PATH);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) {
        return {};
    }
    std::vector<std::byte> info(size);
    if (!GetFileVersionInfoW(path, 0, size, info.data())) {
        return {};
    }
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(info.data(), query.c_str(), &value, &length) || length == 0) {
        return {};
    }
    return static_cast<const wchar_t*>(value);
}

TEST(TolvaneLibrary, VersionResourceDescribesTheFileAsTolvane) {
    EXPECT_EQ(ModuleVersionString(L"Tolvane.dll", L"FileDescription"), L"Tolvane");
    EXPECT_EQ(ModuleVersionString(L"Tolvane.dll", L"OriginalFilename"), L"Tolvane.dll");
}

}  // namespace
