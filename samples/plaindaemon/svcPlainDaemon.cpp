#include "svcPlainDaemon.h"

using namespace tamrel;

TAMREL_IMPLEMENT_CLASS(TSampleService13) {
    using T = TSampleService13;
    b.Field(L"PowerEventHandler", &T::PowerEventHandler);
    b.Method<&T::PowerEventHandlerBatteryLow>(L"PowerEventHandlerBatteryLow");
    b.Method<&T::PowerEventHandlerOemEvent>(L"PowerEventHandlerOemEvent");
    b.Method<&T::PowerEventHandlerPowerSettingChange>(L"PowerEventHandlerPowerSettingChange");
    b.Method<&T::PowerEventHandlerPowerStatusChange>(L"PowerEventHandlerPowerStatusChange");
    b.Method<&T::PowerEventHandlerQuerySuspend>(L"PowerEventHandlerQuerySuspend");
    b.Method<&T::PowerEventHandlerQuerySuspendFailed>(L"PowerEventHandlerQuerySuspendFailed");
    b.Method<&T::PowerEventHandlerResumeAutomatic>(L"PowerEventHandlerResumeAutomatic");
    b.Method<&T::PowerEventHandlerResumeCritical>(L"PowerEventHandlerResumeCritical");
    b.Method<&T::PowerEventHandlerResumeSuspend>(L"PowerEventHandlerResumeSuspend");
    b.Method<&T::PowerEventHandlerSuspend>(L"PowerEventHandlerSuspend");
}

TSampleService13* SampleService13 = nullptr;

void TSampleService13::LogPowerEvent(const wchar_t* text) { EventLog()->LogMessage(text, etInformation, 0, 0); }

void TSampleService13::PowerEventHandlerBatteryLow(TObject*) { LogPowerEvent(L"PowerEventHandler: BatteryLow"); }
void TSampleService13::PowerEventHandlerOemEvent(TObject*) { LogPowerEvent(L"PowerEventHandler: OemEvent"); }
void TSampleService13::PowerEventHandlerPowerSettingChange(TObject*) {
    LogPowerEvent(L"PowerEventHandler: PowerSettingChange");
}
void TSampleService13::PowerEventHandlerPowerStatusChange(TObject*) {
    LogPowerEvent(L"PowerEventHandler: PowerStatusChange");
}
void TSampleService13::PowerEventHandlerQuerySuspend(TObject*) { LogPowerEvent(L"PowerEventHandler: QuerySuspend"); }
void TSampleService13::PowerEventHandlerQuerySuspendFailed(TObject*) {
    LogPowerEvent(L"PowerEventHandler: QuerySuspendFailed");
}
void TSampleService13::PowerEventHandlerResumeAutomatic(TObject*) {
    LogPowerEvent(L"PowerEventHandler: ResumeAutomatic");
}
void TSampleService13::PowerEventHandlerResumeCritical(TObject*) {
    LogPowerEvent(L"PowerEventHandler: ResumeCritical");
}
void TSampleService13::PowerEventHandlerResumeSuspend(TObject*) { LogPowerEvent(L"PowerEventHandler: ResumeSuspend"); }
void TSampleService13::PowerEventHandlerSuspend(TObject*) { LogPowerEvent(L"PowerEventHandler: HandlerSuspend"); }
