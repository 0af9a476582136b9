#include "host/ExceptionBoundary.h"

#include "host/SysUtils.h"

#include <windows.h>

namespace tamrel {

std::wstring ExceptionMessage(const std::exception_ptr& error) {
    if (!error) return {};
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        try {
            return Utf8ToWide(e.what());
        } catch (...) {
            return L"Exception";
        }
    } catch (...) {
        return L"Unknown exception";
    }
}

bool IsOutOfMemory(const std::exception_ptr& error) noexcept {
    if (!error) return false;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

void ReportToDebugger(const std::wstring& message) {
    const std::wstring line = L"tamrel: " + message + L"\r\n";
    OutputDebugStringW(line.c_str());
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE) return;
    const std::string bytes = WideToUtf8(line);
    DWORD written;
    WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void ReportUnreportable(const std::exception_ptr& error) noexcept {
    static const char outOfMemory[] = "tamrel: out of memory; a failure could not be reported\r\n";
    static const char other[] = "tamrel: a failure could not be reported\r\n";
    const bool oom = IsOutOfMemory(error);
    const char* text = oom ? outOfMemory : other;
    const DWORD size = static_cast<DWORD>(oom ? sizeof outOfMemory - 1 : sizeof other - 1);
    OutputDebugStringA(text);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written;
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, text, size, &written, nullptr);
}

} // namespace tamrel
