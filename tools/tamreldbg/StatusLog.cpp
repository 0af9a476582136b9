#include "StatusLog.h"

#include "Text.h"
#include "host/Handles.h"

#include <mutex>

namespace tamreldbg {

namespace {

class TLog {
public:
    void Line(const std::string& record) {
        const std::string line = "tamreldbg: " + record + "\r\n";
        std::lock_guard<std::mutex> guard(FLock);
        if (!FOpened) Open();
        DWORD n;
        HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
        if (err && err != INVALID_HANDLE_VALUE) {
            DWORD mode;
            if (GetConsoleMode(err, &mode)) {
                std::wstring w = Widen(line, CP_UTF8);
                WriteConsoleW(err, w.data(), static_cast<DWORD>(w.size()), &n, nullptr);
            } else {
                WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
            }
        }
        if (FFile) WriteFile(FFile.Get(), line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
    }

private:
    void Open() {
        FOpened = true;
        std::wstring path = EnvironmentValue(L"TAMRELDBG_LOG");
        if (path.empty()) return;
        FFile.Reset(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }

    std::mutex FLock;
    bool FOpened = false;
    tamrel::TFileHandle FFile;
};

TLog& Log() {
    static TLog* log = new TLog;
    return *log;
}

} // namespace

void LogLine(const std::string& record) {
    Log().Line(record);
}

std::string Outcome(const std::string& record) {
    LogLine(record);
    return record;
}

std::string Refused(const std::string& record, DWORD error) {
    return Outcome(record + " result=refused error=" + Dec(error));
}

void RefuseCall(const std::string& record, DWORD error) {
    Refused(record, error);
    SetLastError(error);
}

} // namespace tamreldbg
