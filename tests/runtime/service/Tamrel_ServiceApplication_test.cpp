// Control mode of the service application in-process: the service manager is played by fakes in
// the wrapper layer's redirection slots, so that every request can be made to fail with a chosen
// code. A failed request must reach the user as the operating-system error with that code.
#include "runtime/service/Tamrel_NTService.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/internal/Tamrel_NTServiceInternal.h"
#include "runtime/service/internal/Tamrel_WinSvcInternal.h"

#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tamrel;

namespace {

const SC_HANDLE Manager = reinterpret_cast<SC_HANDLE>(0x1000);
const SC_HANDLE Service = reinterpret_cast<SC_HANDLE>(0x2000);

// What the fake manager does and what it was asked.
struct TFakeManager {
    DWORD FailOpenManager = 0, FailOpenService = 0; // 0: succeeds
    DWORD FailControl = 0, FailStart = 0, FailQuery = 0;
    DWORD FailControlCode = 0; // the control that fails (with FailControl)
    DWORD QueriedState = SERVICE_STOPPED;
    std::vector<DWORD> Controls;
    int Starts = 0, Opened = 0, Closed = 0;
};
TFakeManager* gFake = nullptr;

template <class R> R Fail(DWORD error, R result) {
    SetLastError(error);
    return result;
}

SC_HANDLE WINAPI OpenManager(LPCWSTR, LPCWSTR, DWORD) {
    if (gFake->FailOpenManager) return Fail<SC_HANDLE>(gFake->FailOpenManager, nullptr);
    ++gFake->Opened;
    return Manager;
}
SC_HANDLE WINAPI OpenService(SC_HANDLE, LPCWSTR, DWORD) {
    if (gFake->FailOpenService) return Fail<SC_HANDLE>(gFake->FailOpenService, nullptr);
    ++gFake->Opened;
    return Service;
}
BOOL WINAPI Close(SC_HANDLE) {
    ++gFake->Closed;
    return TRUE;
}
BOOL WINAPI Control(SC_HANDLE, DWORD code, LPSERVICE_STATUS) {
    gFake->Controls.push_back(code);
    if (gFake->FailControl && code == gFake->FailControlCode) return Fail(gFake->FailControl, FALSE);
    return TRUE;
}
BOOL WINAPI Start(SC_HANDLE, DWORD, LPCWSTR*) {
    ++gFake->Starts;
    if (gFake->FailStart) return Fail(gFake->FailStart, FALSE);
    return TRUE;
}
BOOL WINAPI Query(SC_HANDLE, LPSERVICE_STATUS status) {
    if (gFake->FailQuery) return Fail(gFake->FailQuery, FALSE);
    *status = SERVICE_STATUS{};
    status->dwCurrentState = gFake->QueriedState;
    return TRUE;
}

struct ControlModeTest : ::testing::Test {
    TFakeManager fake;
    TRkSlotsOverride slots;
    TRestartTimingOverride timing{1, 50};

    void SetUp() override {
        gFake = &fake;
        slots->RkOpenSCManager = OpenManager;
        slots->RkOpenService = OpenService;
        slots->RkCloseServiceHandle = Close;
        slots->RkControlService = Control;
        slots->RkStartService = Start;
        slots->RkQueryServiceStatus = Query;
    }
    void TearDown() override { gFake = nullptr; }
    // The code of the OS error the action raised, 0 when it raised nothing.
    DWORD ErrorOf(TRkControl action) {
        try {
            Application->ExecuteServiceAction(L"Probe", action);
            return 0;
        } catch (const EOSError& e) {
            return e.ErrorCode();
        }
    }
};

} // namespace

TEST_F(ControlModeTest, EachFailedRequestRaisesItsErrorAndClosesWhatItOpened) {
    struct Case {
        const char* name;
        TRkControl action;
        void (*arrange)(TFakeManager&);
        DWORD error;
    } cases[] = {
        {"start refused", svcStart, [](TFakeManager& f) { f.FailStart = ERROR_SERVICE_ALREADY_RUNNING; },
         ERROR_SERVICE_ALREADY_RUNNING},
        {"stop refused", svcStop,
         [](TFakeManager& f) {
             f.FailControl = ERROR_SERVICE_NOT_ACTIVE;
             f.FailControlCode = SERVICE_CONTROL_STOP;
         },
         ERROR_SERVICE_NOT_ACTIVE},
        {"pause refused", svcPause,
         [](TFakeManager& f) {
             f.FailControl = ERROR_INVALID_SERVICE_CONTROL;
             f.FailControlCode = SERVICE_CONTROL_PAUSE;
         },
         ERROR_INVALID_SERVICE_CONTROL},
        {"continue refused", svcContinue,
         [](TFakeManager& f) {
             f.FailControl = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
             f.FailControlCode = SERVICE_CONTROL_CONTINUE;
         },
         ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
        {"restart: stop refused for another reason than not running", svcRestart,
         [](TFakeManager& f) {
             f.FailControl = ERROR_DEPENDENT_SERVICES_RUNNING;
             f.FailControlCode = SERVICE_CONTROL_STOP;
         },
         ERROR_DEPENDENT_SERVICES_RUNNING},
        {"restart: status query fails", svcRestart, [](TFakeManager& f) { f.FailQuery = ERROR_ACCESS_DENIED; },
         ERROR_ACCESS_DENIED},
        {"restart: start after the stop refused", svcRestart,
         [](TFakeManager& f) { f.FailStart = ERROR_SERVICE_DISABLED; }, ERROR_SERVICE_DISABLED},
        {"service missing", svcStart, [](TFakeManager& f) { f.FailOpenService = ERROR_SERVICE_DOES_NOT_EXIST; },
         ERROR_SERVICE_DOES_NOT_EXIST},
        {"manager refused", svcStop, [](TFakeManager& f) { f.FailOpenManager = ERROR_ACCESS_DENIED; },
         ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fake = TFakeManager{};
        c.arrange(fake);
        EXPECT_EQ(c.error, ErrorOf(c.action));
        EXPECT_EQ(fake.Opened, fake.Closed);
    }
}

TEST_F(ControlModeTest, RequestsThatSucceedRaiseNothing) {
    for (TRkControl action : {svcStart, svcStop, svcPause, svcContinue, svcRestart}) {
        fake = TFakeManager{};
        EXPECT_EQ(0u, ErrorOf(action)) << action;
        EXPECT_EQ(2, fake.Closed) << action;
    }
    // A restart of a service that is not running just starts it.
    fake = TFakeManager{};
    fake.FailControl = ERROR_SERVICE_NOT_ACTIVE;
    fake.FailControlCode = SERVICE_CONTROL_STOP;
    EXPECT_EQ(0u, ErrorOf(svcRestart));
    EXPECT_EQ(1, fake.Starts);
}
