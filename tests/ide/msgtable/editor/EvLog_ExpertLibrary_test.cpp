// The add-in library itself: its registration under the experts key and its life in the
// environment stand-in, loaded from that key.
#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "tools/tamrelide/TamrelIde.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::evlog;

namespace {

std::wstring LibraryPath() {
    const std::wstring exe = GetModuleFileNameStr(nullptr);
    return ExtractFilePath(exe) + (sizeof(void*) == 8 ? L"tamrelmsgwiz64.dll" : L"tamrelmsgwiz.dll");
}

std::wstring RegisteredValue() {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, ExpertsKey, ExpertsValue, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return {};
    return value;
}

bool ExpertsKeyExists() {
    TRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, ExpertsKey, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

DWORD RunRegsvr32(const std::wstring& arguments) {
    std::wstring command = L"regsvr32.exe /s " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return GetLastError();
    TKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
}

} // namespace

TEST(EvLogExpertLibrary, Regsvr32WritesTheWholePathAndTheEnvironmentLoadsTheAddInFromIt) {
    const std::wstring path = LibraryPath();
    ASSERT_EQ(RunRegsvr32(L"\"" + path + L"\""), 0u);
    EXPECT_TRUE(SameText(RegisteredValue(), path)) << WideToUtf8(RegisteredValue());
    {
        TIdeHost host;
        EXPECT_GE(host.LoadRegisteredExperts(), 1);
        EXPECT_EQ(host.EditorViews(), std::vector<std::wstring>{L"Event log messages"});
        EXPECT_EQ(host.WizardIds(), std::vector<std::wstring>{L"EventLog Resource DLL"});
        EXPECT_EQ(host.IdeNotifierCount(), 1);
        ASSERT_TRUE(host.Unload(path));
        EXPECT_TRUE(host.EditorViews().empty());
        EXPECT_TRUE(host.WizardIds().empty());
        EXPECT_EQ(host.IdeNotifierCount(), 0);
        EXPECT_TRUE(host.Faults().empty()) << WideToUtf8(host.Faults().front().Line());
    }
    ASSERT_EQ(RunRegsvr32(L"/u \"" + path + L"\""), 0u);
    EXPECT_EQ(RegisteredValue(), L"");
}

TEST(EvLogExpertLibrary, UnregisterWithoutTheKeyAnswersZeroAndMakesNoKey) {
    RegDeleteTreeW(HKEY_CURRENT_USER, ExpertsKey);
    TModuleHandle library(LoadLibraryW(LibraryPath().c_str()));
    ASSERT_TRUE(library);
    auto unregister = reinterpret_cast<HRESULT(__stdcall*)()>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), "DllUnregisterServer")));
    ASSERT_NE(unregister, nullptr);
    EXPECT_EQ(unregister(), S_OK);
    EXPECT_FALSE(ExpertsKeyExists());
}
