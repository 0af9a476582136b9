// The service module of PlainDaemonSample: every power event the system sends is written to the
// event log as one information entry.
#pragma once

#include "runtime/service/Tamrel_PowerEvents.h"

class TSampleService13 : public tamrel::TNtService {
    TAMREL_CLASS(TSampleService13, tamrel::TNtService)
public:
    using tamrel::TNtService::TNtService;

    // Its presence makes the service accept power events.
    tamrel::TRkPowerEventHandler* PowerEventHandler = nullptr;

    void PowerEventHandlerBatteryLow(tamrel::TObject* Sender);
    void PowerEventHandlerOemEvent(tamrel::TObject* Sender);
    void PowerEventHandlerPowerSettingChange(tamrel::TObject* Sender);
    void PowerEventHandlerPowerStatusChange(tamrel::TObject* Sender);
    void PowerEventHandlerQuerySuspend(tamrel::TObject* Sender);
    void PowerEventHandlerQuerySuspendFailed(tamrel::TObject* Sender);
    void PowerEventHandlerResumeAutomatic(tamrel::TObject* Sender);
    void PowerEventHandlerResumeCritical(tamrel::TObject* Sender);
    void PowerEventHandlerResumeSuspend(tamrel::TObject* Sender);
    void PowerEventHandlerSuspend(tamrel::TObject* Sender);

private:
    void LogPowerEvent(const wchar_t* text);
};

extern TSampleService13* SampleService13;
