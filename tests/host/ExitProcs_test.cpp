#include "host/ExitProcs.h"
#include "host/Globals.h"
#include "host/SysUtils.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace tamrel;

namespace {

// Leaves nothing pending for the next test (or for the end of this program).
struct TExitProcsClean {
    ~TExitProcsClean() { RunExitProcs(); }
};

} // namespace

TEST(ExitProcs, RunLastAddedFirstAndEachOnlyOnce) {
    TExitProcsClean clean;
    std::vector<int> ran;
    for (int i = 1; i <= 3; ++i) AddExitProc([&ran, i] { ran.push_back(i); });
    AddExitProc(nullptr); // ignored
    EXPECT_TRUE(ExitProcsPending());
    RunExitProcs();
    EXPECT_EQ((std::vector<int>{3, 2, 1}), ran);
    EXPECT_FALSE(ExitProcsPending());
    RunExitProcs();
    EXPECT_EQ(3u, ran.size());
    // Added after a run: the next run takes only the new one.
    AddExitProc([&ran] { ran.push_back(4); });
    RunExitProcs();
    EXPECT_EQ((std::vector<int>{3, 2, 1, 4}), ran);
}

TEST(ExitProcs, FailingProcedureDoesNotStopTheOthers) {
    TExitProcsClean clean;
    std::vector<int> ran;
    AddExitProc([&ran] { ran.push_back(1); });
    AddExitProc([] { throw Exception(L"exit failure"); });
    AddExitProc([] { throw std::runtime_error("std failure"); });
    AddExitProc([] { throw 42; });
    AddExitProc([&ran] { ran.push_back(5); });
    EXPECT_NO_THROW(RunExitProcs());
    EXPECT_EQ((std::vector<int>{5, 1}), ran);
    EXPECT_FALSE(ExitProcsPending());
}

TEST(ExitProcs, ProcedureAddedWhileRunningRunsInTheSamePass) {
    TExitProcsClean clean;
    std::vector<int> ran;
    AddExitProc([&ran] { ran.push_back(1); });
    AddExitProc([&ran] {
        ran.push_back(2);
        AddExitProc([&ran] { ran.push_back(3); });
    });
    RunExitProcs();
    EXPECT_EQ((std::vector<int>{2, 3, 1}), ran);
}

TEST(ExitProcs, ImageEndRunsThemOnlyForTheProgram) {
    TExitProcsClean clean;
    int ran = 0;
    AddExitProc([&ran] { ++ran; });
    // The end of a DLL (here: the C run-time's, any DLL will do) runs under the loader lock.
    EXPECT_FALSE(detail::RunExitProcsAtImageEnd(GetModuleHandleW(L"kernel32.dll")));
    EXPECT_EQ(0, ran);
    EXPECT_TRUE(ExitProcsPending());
    EXPECT_TRUE(detail::RunExitProcsAtImageEnd(GetModuleHandleW(nullptr)));
    EXPECT_EQ(1, ran);
    EXPECT_EQ(GetModuleHandleW(nullptr), detail::ThisImage());
}

// Each probe sets up a library global and two exit procedures, then ends in the given way. The
// last added procedure starts a thread and waits for it, which cannot work under the loader
// lock: run there, it would not report success.
TEST(ExitProcs, ProbesEndInTheRightOrderWithTheLibraryAsDllAndCompiledIn) {
    const std::vector<std::string> full = {"global created", "exit proc last-added: thread ran",
                                           "exit proc first-added: global alive", "global released"};
    const std::vector<std::string> explicitRun = {"global created", "exit proc last-added: thread ran",
                                                  "exit proc first-added: global alive", "main end",
                                                  "global released"};
    // Nothing may run at the DLL's detach while procedures are pending: the global stays too.
    const std::vector<std::string> untouched = {"global created"};
    struct Case {
        const wchar_t* program;
        const wchar_t* mode;
        std::vector<std::string> lines;
    } cases[] = {
        {L"exitprocs_probe_static.exe", L"return", full},
        {L"exitprocs_probe_static.exe", L"exit", full},
        {L"exitprocs_probe_static.exe", L"explicit", explicitRun},
        {L"exitprocs_probe_static.exe", L"exitprocess", untouched},
        {L"exitprocs_probe_dll.exe", L"return", full},
        {L"exitprocs_probe_dll.exe", L"exit", full},
        {L"exitprocs_probe_dll.exe", L"explicit", explicitRun},
        {L"exitprocs_probe_dll.exe", L"exitprocess", untouched},
        {L"exitprocs_probe_dll_nohook.exe", L"return", untouched},
        {L"exitprocs_probe_dll_nohook.exe", L"exit", untouched},
        {L"exitprocs_probe_dll_nohook.exe", L"explicit", explicitRun},
    };
    for (const auto& c : cases) {
        auto result = test::RunProcess(test::ProgramPath(c.program) + L" " + c.mode, {}, 30000);
        std::string label = test::ToUtf8(c.program) + " " + test::ToUtf8(c.mode);
        EXPECT_FALSE(result.TimedOut) << label;
        EXPECT_EQ(0u, result.ExitCode) << label;
        EXPECT_EQ(c.lines, test::SplitLines(result.Out)) << label << "\n" << result.Err;
    }
}

// ---------------------------------------------------------------------------------------------
// Library globals

namespace {

std::atomic<int> counterMade{0};

struct TCounterGlobal {
    TCounterGlobal() {
        ++counterMade;
        Sleep(20); // widen the window in which other threads ask for it too
    }
    int Value = 0;
};

TCounterGlobal& CounterGlobal() {
    static TLibraryGlobal<TCounterGlobal> global;
    return *global;
}

} // namespace

TEST(LibraryGlobal, MadeOnFirstUseOnceForAllThreads) {
    EXPECT_EQ(0, counterMade.load()); // nothing made before the first use
    std::atomic<bool> go{false};
    std::vector<TCounterGlobal*> seen(16, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            seen[i] = &CounterGlobal();
        });
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(1, counterMade.load());
    for (auto* p : seen) EXPECT_EQ(&CounterGlobal(), p);
}
