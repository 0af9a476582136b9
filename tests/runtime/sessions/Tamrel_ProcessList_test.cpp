#include "runtime/sessions/Tamrel_ProcessList.h"

#include "host/Handles.h"
#include "host/SysUtils.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamrel;
using namespace tamrel::test;

namespace {

// The line of a process id; -1 when it is not listed.
int LineOf(const TStrings& list, DWORD pid) {
    for (int i = 0; i < list.Count(); ++i)
        if (ProcessIdOf(&list, i) == pid) return i;
    return -1;
}

} // namespace

TEST(ProcessList, ListsThisProgramAndAStartedChildByFullPathAndId) {
    std::wstring child = BinDir() + L"sessions_child.exe";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + child + L"\" wait";
    ASSERT_TRUE(CreateProcessW(child.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi));
    TKernelHandle process(pi.hProcess), thread(pi.hThread);
    TScopeExit kill([&] { TerminateProcess(pi.hProcess, 0); });
    // The child's modules can be read once its loader has run.
    WaitForInputIdle(pi.hProcess, 5000);

    TStringList list;
    list.Add(L"left over");
    GetProcessList(&list);
    int self = LineOf(list, GetCurrentProcessId());
    ASSERT_GE(self, 0);
    EXPECT_TRUE(SameText(GetModuleFileNameStr(nullptr), list.Get(self))) << list.Get(self);
    int started = -1;
    for (int round = 0; round < 50 && started < 0; ++round) {
        GetProcessList(&list);
        started = LineOf(list, pi.dwProcessId);
        if (started >= 0 && !SameText(child, list.Get(started))) started = -1; // modules not readable yet
        if (started < 0) Sleep(100);
    }
    ASSERT_GE(started, 0);
    EXPECT_TRUE(SameText(child, list.Get(started))) << list.Get(started);
    EXPECT_EQ(-1, list.IndexOf(L"left over"));
}
