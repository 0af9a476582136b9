// A child program for the session tests.
//   SessionsChild wait            runs until it is killed (a stand-in for the interactive shell)
//   SessionsChild record <file>   writes "station=<name>", "desktop=<name>", "marker=<%TAMREL_MARKER%>"
//                                 to the file and ends
//   SessionsChild stay <file>     records like "record", then runs until it is killed
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::wstring ObjectName(HANDLE object) {
    wchar_t name[256] = {};
    DWORD needed = 0;
    if (!GetUserObjectInformationW(object, UOI_NAME, name, sizeof name - sizeof(wchar_t), &needed)) return L"?";
    return name;
}

void Record(const wchar_t* path) {
    wchar_t marker[256] = {};
    if (!GetEnvironmentVariableW(L"TAMREL_MARKER", marker, 255)) wcscpy(marker, L"<none>");
    std::wstring text = L"station=" + ObjectName(GetProcessWindowStation()) + L"\r\ndesktop=" +
                        ObjectName(GetThreadDesktop(GetCurrentThreadId())) + L"\r\nmarker=" + marker + L"\r\n";
    // Written whole under a temporary name, then renamed: a reader never sees half a record.
    std::wstring temp = std::wstring(path) + L".tmp";
    HANDLE f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(f, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(f);
    MoveFileExW(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"wait";
    if ((mode == L"record" || mode == L"stay") && argc > 2) Record(argv[2]);
    if (mode == L"record") return 0;
    for (;;) Sleep(1000);
}
