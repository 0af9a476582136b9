#include "runtime/service/base/Tamrel_EventLog.h"

#include "runtime/service/base/Tamrel_WinVer.h"

#include <algorithm>
#include <vector>

namespace tamrel {

WORD NTEventTypeToWindows(TNTEventType type) {
    switch (type) {
    case etError:
        return EVENTLOG_ERROR_TYPE;
    case etWarning:
        return EVENTLOG_WARNING_TYPE;
    case etInformation:
        return EVENTLOG_INFORMATION_TYPE;
    case etAuditSuccess:
        return EVENTLOG_AUDIT_SUCCESS;
    case etAuditFailure:
        return EVENTLOG_AUDIT_FAILURE;
    }
    return EVENTLOG_ERROR_TYPE;
}

TNTEventLog::TNTEventLog(std::wstring name) : FName(std::move(name)), FUnavailable(!IsWinNT()) {}

TNTEventLog::~TNTEventLog() = default; // the handle deregisters the source

HANDLE TNTEventLog::SourceHandle() {
    if (FUnavailable) return nullptr;
    std::lock_guard<std::mutex> guard(FLock);
    if (!FEventLog) FEventLog.Reset(RegisterEventSourceW(nullptr, FName.c_str()));
    return FEventLog.Get();
}

void TNTEventLog::LogMessage(const std::wstring& message, TNTEventType eventType, int32_t id, int32_t category) {
    LogData({message}, nullptr, 0, eventType, id, category);
}

void TNTEventLog::LogMessage(std::initializer_list<std::wstring> messages, TNTEventType eventType, int32_t id,
                             int32_t category) {
    LogData(messages, nullptr, 0, eventType, id, category);
}

void TNTEventLog::LogData(const std::wstring& message, const void* data, int32_t dataSize, TNTEventType eventType,
                          int32_t id, int32_t category) {
    LogData({message}, data, dataSize, eventType, id, category);
}

void TNTEventLog::LogData(std::initializer_list<std::wstring> messages, const void* data, int32_t dataSize,
                          TNTEventType eventType, int32_t id, int32_t category) {
    HANDLE handle = SourceHandle();
    if (!handle) return;
    std::vector<const wchar_t*> strings;
    strings.reserve(messages.size());
    for (const std::wstring& m : messages) strings.push_back(m.c_str());
    // The record holds at most a WORD's worth of strings; more would wrap to a small count.
    WORD count = static_cast<WORD>(std::min<size_t>(strings.size(), 0xFFFF));
    DWORD size = (data && dataSize > 0) ? static_cast<DWORD>(dataSize) : 0;
    ReportEventW(handle, NTEventTypeToWindows(eventType), static_cast<WORD>(category), static_cast<DWORD>(id),
                 nullptr, count, size, count ? strings.data() : nullptr, size ? const_cast<void*>(data) : nullptr);
}

} // namespace tamrel
