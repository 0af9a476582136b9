#include "runtime/sessions/Tamrel_ProcessList.h"

#include "host/Handles.h"
#include "host/SysUtils.h"

#include <windows.h>
#include <tlhelp32.h>

namespace tamrel {

namespace {

// The path of the process's first module; empty when its modules cannot be read (another
// processor's process, access denied, a process that just ended).
std::wstring FirstModulePath(DWORD processId) {
    TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot) return {};
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    if (!Module32FirstW(snapshot.Get(), &module)) return {};
    module.szExePath[MAX_PATH - 1] = L'\0';
    return module.szExePath;
}

} // namespace

void GetProcessList(TStrings* Strings) {
    Strings->Clear();
    TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) RaiseLastOSError();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    BOOL more = Process32FirstW(snapshot.Get(), &entry);
    while (more) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        std::wstring line = FirstModulePath(entry.th32ProcessID);
        if (line.empty()) line = entry.szExeFile;
        Strings->AddObject(line, reinterpret_cast<TObject*>(static_cast<UINT_PTR>(entry.th32ProcessID)));
        more = Process32NextW(snapshot.Get(), &entry);
    }
    DWORD err = GetLastError();
    if (err != ERROR_NO_MORE_FILES) RaiseLastOSError(err);
}

} // namespace tamrel
