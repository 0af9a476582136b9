#include "host/ExitProcs.h"

#include "host/ExceptionBoundary.h"

#include <mutex>
#include <string>
#include <vector>

namespace tamrel {

namespace {

// Never released: procedures may be added and run from any static destructor.
struct TExitProcList {
    std::mutex Lock;
    std::vector<TExitProc> Procs;
};

TExitProcList& ExitProcList() {
    static auto* list = new TExitProcList;
    return *list;
}

} // namespace

void AddExitProc(TExitProc Proc) {
    if (!Proc) return;
    auto& list = ExitProcList();
    std::lock_guard<std::mutex> guard(list.Lock);
    list.Procs.push_back(std::move(Proc));
}

void RunExitProcs() {
    auto& list = ExitProcList();
    for (;;) {
        TExitProc proc;
        {
            std::lock_guard<std::mutex> guard(list.Lock);
            if (list.Procs.empty()) return;
            proc = std::move(list.Procs.back());
            list.Procs.pop_back();
        }
        // The program is ending: there is nobody left to tell but a debugger and stderr.
        CatchLog(proc, [](const std::wstring& message) { ReportToDebugger(L"Exit procedure failed: " + message); });
    }
}

bool ExitProcsPending() {
    auto& list = ExitProcList();
    std::lock_guard<std::mutex> guard(list.Lock);
    return !list.Procs.empty();
}

namespace detail {

bool RunExitProcsAtImageEnd(HMODULE Image) noexcept {
    try {
        if (Image == GetModuleHandleW(nullptr)) RunExitProcs();
        return !ExitProcsPending();
    } catch (...) {
        return false;
    }
}

} // namespace detail

} // namespace tamrel
