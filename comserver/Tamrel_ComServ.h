// The program's COM server object for classes served by service modules.
//
// One TSvcComServer per process, made by this unit's initialization and published as
// SvcComServer; the program's factories take it as their server object. It counts objects and
// factories without ever ending the process, loads the program's own type library, registers
// and revokes the class objects of one service by name, and writes and removes the program-wide
// COM registration (the AppID keys, the type library and every factory's keys).
#pragma once

#include "comserver/Tamrel_ComObj.h"

#include <atomic>

namespace tamrel {

TAMREL_ENUM(TSvcComServerStartMode, smInstall, smUninstall, smControl);

class TSvcComServer : public TSvcComServerObject {
public:
    TSvcComServer();
    // Frees every factory of this server object.
    ~TSvcComServer() override;

    TSvcComServerStartMode StartMode() const { return FStartMode; }

    int32_t CountObject(bool created) override;
    int32_t CountFactory(bool created) override;
    std::wstring GetHelpFileName() override;
    std::wstring GetServerFileName() override { return {}; }
    std::wstring GetServerKey() override { return {}; }
    std::wstring GetServerName() override { return {}; }
    bool GetStartSuspended() override { return false; }
    TComPtr<ITypeLib> GetTypeLib() override;
    void SetHelpFileName(const std::wstring& value) override;
    void StartServiceFactories(const std::wstring& serviceName) override;
    void StopServiceFactories(const std::wstring& serviceName) override;
    // The AppID keys every time; the type library and the factories' keys once per process in
    // each direction.
    void UpdateServerRegistry(bool doRegister) override;
    GUID GetServerAppID() override;

    // Loads the program's type library once; raises EOleSysError when it cannot.
    void LoadTypeLib();

private:
    void RegisterServerAppID(bool doRegister);
    void UnregisterTypeLibrary();
    void ForEachServiceFactory(const std::wstring& serviceName, bool start);

    std::atomic<int32_t> FObjectCount{0};
    std::atomic<int32_t> FFactoryCount{0};
    std::atomic<ITypeLib*> FTypeLib{nullptr}; // one reference, kept for the process's life
    std::wstring FHelpFileName;
    TSvcComServerStartMode FStartMode;
    bool FRegister = false;
    bool FRegistered = false;
    bool FUnRegistered = false;
};

// The carrier of one start or stop walk over the factories.
class TComServiceStarter : public TObject {
public:
    explicit TComServiceStarter(std::wstring serviceName) : ServiceName(std::move(serviceName)) {}
    void StartFactory(TComObjectFactory* factory);
    void StopFactory(TComObjectFactory* factory);
    std::wstring ServiceName;

private:
    bool Bound(TComObjectFactory* factory) const;
};

// The unit's initialization, for units that must run after it: loads OLEAUT32.DLL and makes the
// server object once; answers it.
TSvcComServer* InitializeComServ();

} // namespace tamrel
