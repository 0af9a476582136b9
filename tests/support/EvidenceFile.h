// The evidence file of the test programs: service processes have no stdout or stderr under
// Wine's manager, so a program appends one UTF-8 line per event to a file the test reads.
#pragma once

#include <windows.h>

#include <string>

namespace tamrel::test {

// Appends Line and a line break to File; an empty file name writes nothing.
inline void AppendEvidence(const std::wstring& file, const std::wstring& line) {
    if (file.empty()) return;
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    std::wstring text = line + L"\r\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
}

// Counts the library's hidden windows of the calling thread (the system adds windows of its own,
// such as the input-method window, which are left out).
inline BOOL CALLBACK CountLibraryWindow(HWND wnd, LPARAM count) {
    wchar_t name[64] = {};
    GetClassNameW(wnd, name, 64);
    if (std::wstring(name) == L"TamrelHiddenWindow") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

inline int LibraryWindowsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountLibraryWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace tamrel::test
