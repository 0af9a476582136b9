// A service module that serves COM objects.
//
// TComService enters a single-threaded apartment on its service thread and has the program's COM
// server object (SvcComServer) register the class objects bound to its service name while it
// runs and is not paused; installing and uninstalling write and remove the COM registration. The
// COM server object is the program's: SvcComServer stays nil unless the program links the COM
// server unit, and every COM step is then skipped.
#pragma once

#include "host/Api.h"
#include "host/ComObj.h"
#include "host/Lists.h"
#include "runtime/service/Tamrel_NTService.h"

namespace tamrel {

// The server object as the service framework sees it: the host's abstract server object and the
// service-bound operations.
class TSvcComServerObject : public TComServerObject {
public:
    // Registers (Start) or revokes (Stop) the class objects of the factories bound to ServiceName.
    virtual void StartServiceFactories(const std::wstring& serviceName) = 0;
    virtual void StopServiceFactories(const std::wstring& serviceName) = 0;
    // Writes (Register) or removes the program's COM registration.
    virtual void UpdateServerRegistry(bool doRegister) = 0;
    // The AppID under which the program registers.
    virtual GUID GetServerAppID() = 0;
};

// The program's COM server object, or nil.
TAMREL_API TSvcComServerObject* SvcComServer();
TAMREL_API void SetSvcComServer(TSvcComServerObject* server);

class TAMREL_API TComService : public TNtService {
    TAMREL_CLASS(TComService, TNtService)
public:
    explicit TComService(TComponent* owner);
    ~TComService() override;

    // The AppID as registry text, in braces. A module being designed that has no AppID yet gets a
    // new one when it is first read. Setting malformed text raises EConvertError.
    std::wstring AppID() const;
    void SetAppID(const std::wstring& value);
    GUID AppIDGUID() const;

    void Loaded() override;
    bool DoPause() override;
    bool DoContinue() override;
    // Enters the apartment and, when the start was not refused, starts the factories; runs the
    // request loop (which also delivers the apartment's calls), then stops the factories and
    // leaves the apartment, on every path.
    void Run() override;
    void Install() override;
    void Uninstall() override;

protected:
    // False: the service thread is the apartment of the objects clients hold.
    bool SuspendsThreadOnPause() const override;

private:
    // Stops or starts the factories for a pause or a continue. A failure is logged with
    // FailureMessage, what was switched before it is switched back, and the answer is False: the
    // request is refused as a refused pause or continue is, and the classes stay as they were.
    bool SwitchFactories(bool start, const wchar_t* failureMessage);

    bool FLoaded = false;
    mutable GUID FSvcAppID = GUID_NULL;
};

// Every TComService of the process, from the end of its construction to the start of its
// destruction. Made on first use, never released.
TAMREL_API TThreadList& ComServiceList();
// The first listed service whose ServiceName equals Name (case ignored), or nil.
TAMREL_API TComService* FindComService(const std::wstring& name);

} // namespace tamrel
