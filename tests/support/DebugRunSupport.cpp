#include "tests/support/DebugRunSupport.h"

namespace tamrel::test {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> LinesWith(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> r;
    for (const auto& l : lines)
        if (Contains(l, part)) r.push_back(l);
    return r;
}

std::vector<std::string> LogRecords(const std::string& text) {
    std::vector<std::string> r;
    const std::string prefix = "tamreldbg: ";
    for (const auto& l : SplitLines(text)) {
        size_t at = l.find(prefix);
        if (at != std::string::npos) r.push_back(l.substr(at + prefix.size()));
    }
    return r;
}

std::string Field(const std::string& record, const std::string& key) {
    size_t at = record.find(" " + key + "=");
    if (at == std::string::npos) return {};
    at += key.size() + 2;
    return record.substr(at, record.find(' ', at) - at);
}

std::vector<std::string> StatesOf(const std::vector<std::string>& log, const std::string& name) {
    std::vector<std::string> states;
    for (const auto& r : log)
        if (r.rfind("status " + name + " ", 0) == 0) states.push_back(Field(r, "state"));
    return states;
}

std::wstring UniqueName(const std::wstring& stem) {
    static LONG counter = 0;
    return stem + std::to_wstring(GetCurrentProcessId()) + L"x" + std::to_wstring(InterlockedIncrement(&counter));
}

bool TPipeClient::Connect(const std::wstring& name, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        FPipe.Reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (FPipe) return true;
        Sleep(50);
    }
    return false;
}

std::string TPipeClient::Send(const std::string& command) {
    std::string line = command + "\n";
    DWORD n;
    if (!WriteFile(FPipe.Get(), line.data(), static_cast<DWORD>(line.size()), &n, nullptr)) return "<write failed>";
    std::string reply;
    char c;
    while (ReadFile(FPipe.Get(), &c, 1, &n, nullptr) && n == 1) {
        if (c == '\n') return reply;
        reply.push_back(c);
    }
    return "<read failed> " + reply;
}

TDebugSession::TDebugSession(const std::wstring& commandLine, std::map<std::wstring, std::wstring> env,
                             DWORD timeoutMs, bool captureEventLog)
    : FPipeName(UniqueName(L"tamreldbg-test-")), FLog(TempFileName(L"dbglog")) {
    env[L"TAMRELDBG_PIPE"] = FPipeName;
    env[L"TAMRELDBG_LOG"] = FLog;
    FThread = std::thread([this, commandLine, env, timeoutMs, captureEventLog] {
        if (captureEventLog) {
            FEvents = RunAndCaptureEventLog(commandLine, env, timeoutMs);
            FResult = FEvents.Process;
        } else {
            FResult = RunProcess(commandLine, env, timeoutMs);
        }
    });
}

TDebugSession::~TDebugSession() {
    FClient.Close();
    if (FThread.joinable()) FThread.join();
    DeleteFileW(FLog.c_str());
}

const TProcessResult& TDebugSession::Finish() {
    FClient.Close();
    if (FThread.joinable()) FThread.join();
    return FResult;
}

} // namespace tamrel::test
