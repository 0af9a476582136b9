// The log of the tools library and the importer: each call is a line (UTF-8, CR LF) appended to
// the file named by TAMREL_TOOLS_LOG; nothing without it.
#pragma once

#include "host/Handles.h"

#include <windows.h>

#include <string>

namespace tamrel {

inline void AppendToolsLog(const std::wstring& line) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"TAMREL_TOOLS_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const TFileHandle f(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return;
    const std::wstring text = line + L"\r\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace tamrel
