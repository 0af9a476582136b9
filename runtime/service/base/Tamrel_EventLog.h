// Writes records to the Windows event log under one source name. Every service module and the
// service application own one; all failures of a running service are reported through it.
#pragma once

#include "host/Api.h"
#include "host/Handles.h"

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>

namespace tamrel {

enum TNTEventType { etError, etWarning, etInformation, etAuditSuccess, etAuditFailure };

// EVENTLOG_ERROR_TYPE ... EVENTLOG_AUDIT_FAILURE.
TAMREL_API WORD NTEventTypeToWindows(TNTEventType type);

class TAMREL_API TNTEventLog {
public:
    explicit TNTEventLog(std::wstring name);
    TNTEventLog(const TNTEventLog&) = delete;
    TNTEventLog& operator=(const TNTEventLog&) = delete;
    ~TNTEventLog();

    const std::wstring& Name() const { return FName; }

    // None of these raises for a failing system call: a record that cannot be written is lost.
    // The source is registered on the first record; a failed registration is tried again with
    // the next one.
    void LogMessage(const std::wstring& message, TNTEventType eventType, int32_t id, int32_t category);
    void LogMessage(std::initializer_list<std::wstring> messages, TNTEventType eventType, int32_t id,
                    int32_t category);
    void LogData(const std::wstring& message, const void* data, int32_t dataSize, TNTEventType eventType,
                 int32_t id, int32_t category);
    // Data without a buffer or with a size of zero or less is written as no data.
    void LogData(std::initializer_list<std::wstring> messages, const void* data, int32_t dataSize,
                 TNTEventType eventType, int32_t id, int32_t category);

private:
    HANDLE SourceHandle();

    std::wstring FName;
    // Systems without the NT event log never register anything.
    bool FUnavailable = false;
    // The application's writer is used from the main thread and the dispatcher thread; the
    // lock keeps them from registering the source twice.
    std::mutex FLock;
    TEventSourceHandle FEventLog;
};

} // namespace tamrel
