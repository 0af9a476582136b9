// A module's main routine run in-process: the service manager's part is played by recorders in
// the wrapper layer's redirection slots, and control requests go through the module's control
// handler as the dispatcher thread would send them.
#pragma once

#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tamrel::test {

// The states reported through SetServiceStatus, with a way to wait for one.
struct TStatusLog {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<SERVICE_STATUS> Reports;

    void Add(const SERVICE_STATUS& s) {
        {
            std::lock_guard<std::mutex> l(Lock);
            Reports.push_back(s);
        }
        Changed.notify_all();
    }
    DWORD Last() {
        std::lock_guard<std::mutex> l(Lock);
        return Reports.empty() ? 0 : Reports.back().dwCurrentState;
    }
    // Waits until the latest report is State (after at least MinReports reports).
    bool WaitFor(DWORD state, DWORD timeoutMs, size_t minReports = 0) {
        std::unique_lock<std::mutex> l(Lock);
        return Changed.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
            return Reports.size() >= minReports && !Reports.empty() && Reports.back().dwCurrentState == state;
        });
    }
    size_t Count() {
        std::lock_guard<std::mutex> l(Lock);
        return Reports.size();
    }
};

// The recorders in the slots while the object lives; the slots are restored afterwards.
class TServiceSlots {
public:
    explicit TServiceSlots(TStatusLog* log) {
        Current() = log;
        FSlots->RkSetServiceStatus = &Record;
        FSlots->RkRegisterServiceCtrlHandler = &FakeRegister;
        FSlots->RkRegisterServiceCtrlHandlerEx = &FakeRegisterEx;
    }
    ~TServiceSlots() { Current() = nullptr; }
    TServiceSlots(const TServiceSlots&) = delete;
    TServiceSlots& operator=(const TServiceSlots&) = delete;

private:
    static TStatusLog*& Current() {
        static TStatusLog* log = nullptr;
        return log;
    }
    static SERVICE_STATUS_HANDLE WINAPI FakeRegister(LPCWSTR, LPHANDLER_FUNCTION) {
        return reinterpret_cast<SERVICE_STATUS_HANDLE>(0x77);
    }
    static SERVICE_STATUS_HANDLE WINAPI FakeRegisterEx(LPCWSTR, LPHANDLER_FUNCTION_EX, LPVOID) {
        return reinterpret_cast<SERVICE_STATUS_HANDLE>(0x77);
    }
    static BOOL WINAPI Record(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS s) {
        if (Current()) Current()->Add(*s);
        return TRUE;
    }
    TRkSlotsOverride FSlots;
};

// The main routine on a thread of its own, as the service manager would call it.
class TServiceRun {
public:
    explicit TServiceRun(TNtService* service) : FService(service) {}
    ~TServiceRun() { StopAndJoin(); }
    TServiceRun(const TServiceRun&) = delete;
    TServiceRun& operator=(const TServiceRun&) = delete;

    void Start() {
        FThread = std::thread([this] {
            std::wstring name = FService->ServiceName().empty() ? FService->Name() : FService->ServiceName();
            LPWSTR argv[] = {name.data()};
            FService->Main(1, argv);
        });
    }
    bool Running() const { return FThread.joinable(); }
    void Join() {
        if (FThread.joinable()) FThread.join();
    }
    void StopAndJoin() {
        if (!FThread.joinable()) return;
        FService->Controller(SERVICE_CONTROL_STOP, 0, nullptr);
        FThread.join();
    }

private:
    TNtService* FService;
    std::thread FThread;
};

} // namespace tamrel::test
