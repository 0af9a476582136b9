#include "runtime/sessions/Tamrel_ProcessList.h"
#include "runtime/sessions/internal/Tamrel_ProcessListInternal.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>

namespace tamrel {

namespace {

std::atomic<uint64_t> gModuleSnapshots{0};

// The path of the process's first module; empty when its modules cannot be read (another
// processor's process, access denied, a process that just ended).
std::wstring FirstModulePath(DWORD processId) {
    ++gModuleSnapshots;
    TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot) return {};
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    if (!Module32FirstW(snapshot.Get(), &module)) return {};
    module.szExePath[MAX_PATH - 1] = L'\0';
    return module.szExePath;
}

// Every running process, in the snapshot's order.
template <class F> void WalkProcesses(F each) {
    TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) RaiseLastOSError();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    BOOL more = Process32FirstW(snapshot.Get(), &entry);
    while (more) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        each(entry);
        more = Process32NextW(snapshot.Get(), &entry);
    }
    DWORD err = GetLastError();
    if (err != ERROR_NO_MORE_FILES) RaiseLastOSError(err);
}

std::wstring LineOf(const PROCESSENTRY32W& entry) {
    std::wstring line = FirstModulePath(entry.th32ProcessID);
    return line.empty() ? std::wstring(entry.szExeFile) : line;
}

} // namespace

void GetProcessList(TStrings* Strings) {
    Strings->Clear();
    WalkProcesses([Strings](const PROCESSENTRY32W& entry) {
        Strings->AddObject(LineOf(entry), reinterpret_cast<TObject*>(static_cast<UINT_PTR>(entry.th32ProcessID)));
    });
}

std::vector<std::wstring> ProcessPathsNamed(const std::wstring& ImageName) {
    std::vector<std::wstring> lines;
    WalkProcesses([&](const PROCESSENTRY32W& entry) {
        if (AnsiCompareText(entry.szExeFile, ImageName) == 0) lines.push_back(LineOf(entry));
    });
    return lines;
}

uint64_t ModuleSnapshotsTaken() { return gModuleSnapshots.load(); }

} // namespace tamrel
