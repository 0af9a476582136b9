// The add-in library itself: its registration under the experts key and its life in the
// environment stand-in, loaded from that key.
#include "ide/msgtable/editor/EvLog_Expert.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "ide/msgtable/editor/EvLog_EditorFrame.h"
#include "tests/support/TestSupport.h"
#include "tools/devenv/tamrelide/TamrelIde.h"

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
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) return GetLastError();
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

TEST(EvLogExpertLibrary, EachCopyOfTheFrameworkReadsItsOwnStoredFormsAndTheLibrarysCopyLeavesWithIt) {
    // This program carries the add-in's units too: two copies of every framework class, one in
    // each image, under the same names.
    const HMODULE program = GetModuleHandleW(nullptr);
    ASSERT_EQ(GetClass(L"TWQEditorView"), &TWQEditorView::StaticClassInfo());
    TOwnedPtr<TEvLogExpertModule> mine;
    {
        TIdeHost host;
        ASSERT_TRUE(host.LoadExpert(LibraryPath()));
        const HMODULE library = GetModuleHandleW(LibraryPath().c_str());
        ASSERT_NE(library, nullptr);
        // The library's copy was registered last and is what a name finds now...
        const TClassInfo* found = GetClass(L"TWQEditorView");
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(ModuleOfClass(*found), library);
        // ...but this program's stored form is read with this program's classes.
        mine.reset(Create<TEvLogExpertModule>(nullptr));
        ASSERT_NE(mine->EvLogEditorView, nullptr);
        EXPECT_EQ(ModuleOfClass(mine->EvLogEditorView->ClassInfo()), program);
        EXPECT_EQ(ModuleOfClass(mine->EventLogCreator->ClassInfo()), program);
        ASSERT_TRUE(host.Unload(LibraryPath()));
        EXPECT_EQ(GetModuleHandleW(LibraryPath().c_str()), nullptr);
        // The library's classes left the registry with it: the names find this program's again.
        EXPECT_EQ(GetClass(L"TWQEditorView"), &TWQEditorView::StaticClassInfo());
        EXPECT_EQ(GetClass(L"TEvLogEditorFrame"), &TEvLogEditorFrame::StaticClassInfo());
        EXPECT_EQ(GetClass(L"TEvLogExpertModule"), &TEvLogExpertModule::StaticClassInfo());
        // What this program made still works, and goes cleanly.
        EXPECT_EQ(host.EditorViews(), std::vector<std::wstring>{L"Event log messages"});
        mine.reset();
        EXPECT_TRUE(host.EditorViews().empty());
        EXPECT_TRUE(host.Faults().empty()) << WideToUtf8(host.Faults().front().Line());
    }
}

TEST(EvLogExpertLibrary, TheConsoleHostOpensAUnitItsPageSavesItUnderANewNameAndClosesIt) {
    const std::wstring work = tamrel::test::TempFileName(L"msgwiz work");
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    tamrel::test::WriteFileBytes(work + L"\\Events.pas", "unit Events;\r\n");
    {
        TEvLogDocument document;
        document.AddBlock();
        ASSERT_TRUE(document.SaveAs(work + L"\\Events.elp"));
    }
    const std::wstring script = tamrel::test::TempFileName(L"msgwiz script") + L".txt";
    tamrel::test::WriteFileBytes(script, "expert " + WideToUtf8(LibraryPath()) + "\r\n"
                                         "open Events.pas\r\n"
                                         "window Events.pas\r\n"
                                         "page 1 Event log messages\r\n"
                                         "saveas Events.pas \"Renamed.pas\"\r\n"
                                         "closewindow 1\r\n"
                                         "close \"Renamed.pas\"\r\n");
    const tamrel::test::TProcessResult r = tamrel::test::RunProcess(
        tamrel::test::ProgramPath(L"tamrelide.exe") + L" /work:\"" + work + L"\" \"" + script + L"\"");
    EXPECT_EQ(r.ExitCode, 0u) << r.Err;
    EXPECT_NE(r.Out.find("window 1"), std::string::npos) << r.Out;
    // The unit under its new name, its text made for that name, and both files beside it.
    const std::string unit = tamrel::test::ReadFileBytes(work + L"\\Renamed.pas");
    EXPECT_EQ(unit.rfind("unit Renamed;", 0), 0u) << unit;
    EXPECT_NE(unit.find("Block_0100"), std::string::npos);
    TEvLogDocument reread;
    ASSERT_TRUE(reread.Open(work + L"\\Renamed.elp"));
    EXPECT_EQ(reread.MessageTable().BlockCount(), 1);
    EXPECT_TRUE(FileExists(work + L"\\Renamed.dll"));
}
