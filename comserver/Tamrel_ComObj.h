// Class factories bound to a service module of the program.
//
// Each factory is the host's factory of its kind plus the name of the service (a TComService)
// that hosts its class. Its class object is registered with COM only while that service runs and
// is not paused (the program's COM server object starts and stops the factories by service
// name), and the registry entries of the class point COM at the service: an AppID whose
// "LocalService" names it, except in debug runs and on systems without the service manager,
// where COM starts the program itself.
#pragma once

#include "host/ComObj.h"
#include "runtime/service/Tamrel_ComService.h"

namespace tamrel {

// What the four service-bound factories add to their host factory.
class TSvcFactoryBinding {
public:
    virtual ~TSvcFactoryBinding() = default;
    // The name of the hosting service module (compared ignoring case).
    const std::wstring& ServiceName() const { return FServiceName; }
    // The registration cookie, 0 while not registered.
    DWORD Registered() const { return FRegistered; }

protected:
    explicit TSvcFactoryBinding(std::wstring serviceName) : FServiceName(std::move(serviceName)) {}
    std::wstring FServiceName;
    DWORD FRegistered = 0;
};

// The service-bound behaviour over one host factory class.
template <class Base> class TSvcBoundFactory : public Base, public TSvcFactoryBinding {
public:
    // Single-instance classes become multi-instance (one class object serves every client of the
    // service); the threading model is always single.
    static TClassInstancing BoundInstancing(TClassInstancing instancing) {
        return instancing == ciSingleInstance ? ciMultiInstance : instancing;
    }

    template <class... A>
    explicit TSvcBoundFactory(const std::wstring& serviceName, A&&... baseArgs)
        : Base(std::forward<A>(baseArgs)...), TSvcFactoryBinding(serviceName) {}
    // A registered factory is revoked first.
    ~TSvcBoundFactory() override;

    // ServiceName + "." + ClassName when both are non-empty, else empty.
    std::wstring GetProgID() override;
    // The program's base name + "." + ClassName when ClassName is non-empty, else empty.
    std::wstring AltProgID() const;
    // Registers the class object for local and remote clients, one object for every client.
    // Nothing for internal classes or while registered. Raises EOleSysError on failure.
    void RegisterClassObject() override;
    // Revokes it (nothing when not registered); the cookie is cleared also when revoking fails.
    void UnRegisterClassObject() override;

protected:
    // RegisterServiceClass with this factory's values.
    void RegisterServiceClassOf(bool doRegister);
    // The class's keys and, after them, its type library's keys (removed in the other order).
    void UpdateTypedRegistry(bool doRegister);
};

class TSvcComObjectFactory : public TSvcBoundFactory<TComObjectFactory> {
public:
    TSvcComObjectFactory(TComServerObject* comServer, TComClass comClass, const GUID& classID,
                         const std::wstring& className, const std::wstring& description, TClassInstancing instancing,
                         const std::wstring& serviceName);
    void UpdateRegistry(bool doRegister) override;
};

class TSvcTypedComObjectFactory : public TSvcBoundFactory<TTypedComObjectFactory> {
public:
    TSvcTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass, const GUID& classID,
                              TClassInstancing instancing, const std::wstring& serviceName);
    void UpdateRegistry(bool doRegister) override;
};

class TSvcAutoObjectFactory : public TSvcBoundFactory<TAutoObjectFactory> {
public:
    TSvcAutoObjectFactory(TComServerObject* comServer, TComClass autoClass, const GUID& classID,
                          TClassInstancing instancing, const std::wstring& serviceName);
    void UpdateRegistry(bool doRegister) override;
};

class TSvcComponentFactory : public TSvcBoundFactory<TComponentFactory> {
public:
    TSvcComponentFactory(TComServerObject* comServer, const TComponentClass& componentClass, const GUID& classID,
                         TClassInstancing instancing, const std::wstring& serviceName, bool socketEnabled,
                         bool webEnabled);
    void UpdateRegistry(bool doRegister) override;
    bool SocketEnabled() const { return FSocketEnabled; }
    bool WebEnabled() const { return FWebEnabled; }

private:
    bool FSocketEnabled;
    bool FWebEnabled;
};

// ---------------------------------------------------------------------------------------------
// Unit routines

// The full path of the module that holds this code (the program).
std::wstring ModuleFileName();
// ModuleFileName without directory and extension.
std::wstring ModuleBaseName();
// How many components of Application are TComService modules.
int32_t ComServiceCount();
// The display name of the first TComService of Application named ServiceName (case ignored);
// raises "DCOM registration failed. Service with name "%s" not found" when there is none.
std::wstring ComServiceDisplayName(const std::wstring& serviceName);
// Writes (Register) or removes the class's keys under HKEY_CLASSES_ROOT; nothing when no
// TComService of that name exists.
void RegisterServiceClass(bool doRegister, const GUID& classID, const std::wstring& progID,
                          const std::wstring& serviceName, const std::wstring& description,
                          const std::wstring& altProgID);
// The class's Version and TypeLib keys.
void RegisterClassTypeLib(const GUID& classID, ITypeLib* typeLib);
void UnregisterClassTypeLib(const GUID& classID);

inline constexpr wchar_t SDcomServiceNotFound[] = L"DCOM registration failed. Service with name \"%s\" not found";

} // namespace tamrel
