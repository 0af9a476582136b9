#include "comserver/Tamrel_ComObj.h"

#include "host/ExitProcs.h"
#include "runtime/service/Tamrel_WinSvc.h"
#include "runtime/service/base/Tamrel_WinVer.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Unit routines

std::wstring ModuleFileName() {
    wchar_t buffer[262];
    DWORD length = GetModuleFileNameW(detail::ThisImage(), buffer, static_cast<DWORD>(std::size(buffer)));
    return std::wstring(buffer, length);
}

std::wstring ModuleBaseName() {
    std::wstring name = ExtractFileName(ModuleFileName());
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}

int32_t ComServiceCount() {
    int32_t count = 0;
    for (TComponent* c : Application->ComponentList())
        if (dynamic_cast<TComService*>(c)) ++count;
    return count;
}

std::wstring ComServiceDisplayName(const std::wstring& serviceName) {
    for (TComponent* c : Application->ComponentList())
        if (auto* service = dynamic_cast<TComService*>(c); service && AnsiCompareText(service->ServiceName(), serviceName) == 0)
            return service->DisplayName();
    throw Exception(SDcomServiceNotFound, serviceName);
}

namespace {

// The program's short path; raises the last error when there is none.
std::wstring ShortProgramPath() {
    const std::wstring path = ParamStr(0);
    std::wstring buffer(261, L'\0');
    DWORD length = GetShortPathNameW(path.c_str(), buffer.data(), 260);
    if (length >= 260) {
        // Longer than the usual limit: ask again with the size it needs.
        buffer.resize(length + 1);
        length = GetShortPathNameW(path.c_str(), buffer.data(), length + 1);
    }
    if (length == 0 || length >= buffer.size()) RaiseLastOSError();
    buffer.resize(length);
    return buffer;
}

} // namespace

void RegisterServiceClass(bool doRegister, const GUID& classID, const std::wstring& progID,
                          const std::wstring& serviceName, const std::wstring& description,
                          const std::wstring& altProgID) {
    TComService* service = FindComService(serviceName);
    if (!service) return;
    const std::wstring clsid = GUIDToString(classID);
    const std::wstring appid = service->AppID();
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring serverName = ComServiceCount() < 2 ? ComServiceDisplayName(serviceName) : std::wstring();

    if (doRegister) {
        CreateRegKey(classKey, L"", description);
        CreateRegKey(classKey, L"AppID", appid);
        if (TamrelFindCommand(L"DEBUG"))
            CreateRegKey(classKey + L"\\LocalServer32", L"", ShortProgramPath() + L" /debug /autostart");
        else if (IsWinNT())
            CreateRegKey(L"AppID\\" + appid, L"LocalService", serviceName);
        else
            CreateRegKey(classKey + L"\\LocalServer32", L"", ShortProgramPath() + L" /autostart");
        CreateRegKey(L"AppID\\" + appid, L"", serverName);
        if (!progID.empty()) {
            CreateRegKey(progID, L"", description);
            CreateRegKey(progID + L"\\Clsid", L"", clsid);
            CreateRegKey(classKey + L"\\ProgID", L"", progID);
        }
        if (!altProgID.empty()) {
            CreateRegKey(altProgID, L"", description);
            CreateRegKey(altProgID + L"\\Clsid", L"", clsid);
        }
        return;
    }
    if (!progID.empty()) {
        DeleteRegKey(classKey + L"\\LocalServer32");
        DeleteRegKey(L"AppID\\" + appid);
        DeleteRegKey(classKey + L"\\ProgID");
        DeleteRegKey(progID + L"\\Clsid");
        DeleteRegKey(progID);
    }
    if (!altProgID.empty()) {
        DeleteRegKey(altProgID + L"\\Clsid");
        DeleteRegKey(altProgID);
    }
    DeleteRegKey(classKey);
}

void RegisterClassTypeLib(const GUID& classID, ITypeLib* typeLib) {
    TLIBATTR* attr = nullptr;
    OleCheck(typeLib->GetLibAttr(&attr));
    TScopeExit release([&] { typeLib->ReleaseTLibAttr(attr); });
    const std::wstring classKey = L"CLSID\\" + GUIDToString(classID);
    CreateRegKey(classKey + L"\\Version", L"", Format(L"%d.%d", attr->wMajorVerNum, attr->wMinorVerNum));
    CreateRegKey(classKey + L"\\TypeLib", L"", GUIDToString(attr->guid));
}

void UnregisterClassTypeLib(const GUID& classID) {
    const std::wstring classKey = L"CLSID\\" + GUIDToString(classID);
    DeleteRegKey(classKey + L"\\TypeLib");
    DeleteRegKey(classKey + L"\\Version");
}

// ---------------------------------------------------------------------------------------------
// The service-bound behaviour

template <class Base> TSvcBoundFactory<Base>::~TSvcBoundFactory() {
    try {
        UnRegisterClassObject();
    } catch (...) {
        // The cookie is gone either way; a destructor reports nothing.
    }
}

template <class Base> std::wstring TSvcBoundFactory<Base>::GetProgID() {
    if (FServiceName.empty() || this->ClassName().empty()) return {};
    return FServiceName + L"." + this->ClassName();
}

template <class Base> std::wstring TSvcBoundFactory<Base>::AltProgID() const {
    if (this->ClassName().empty()) return {};
    return ModuleBaseName() + L"." + this->ClassName();
}

template <class Base> void TSvcBoundFactory<Base>::RegisterClassObject() {
    if (this->Instancing() == ciInternal || FRegistered) return;
    DWORD cookie = 0;
    OleCheck(CoRegisterClassObject(this->ClassID(), static_cast<IClassFactory*>(this),
                                   CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER, REGCLS_MULTIPLEUSE, &cookie));
    FRegistered = cookie;
}

template <class Base> void TSvcBoundFactory<Base>::UnRegisterClassObject() {
    if (this->Instancing() == ciInternal || !FRegistered) return;
    TScopeExit clear([this] { FRegistered = 0; });
    OleCheck(CoRevokeClassObject(FRegistered));
}

template <class Base> void TSvcBoundFactory<Base>::RegisterServiceClassOf(bool doRegister) {
    RegisterServiceClass(doRegister, this->ClassID(), GetProgID(), FServiceName, this->Description(), AltProgID());
}

template <class Base> void TSvcBoundFactory<Base>::UpdateTypedRegistry(bool doRegister) {
    if (doRegister) {
        RegisterServiceClassOf(true);
        RegisterClassTypeLib(this->ClassID(), this->ComServer()->GetTypeLib().Get());
    } else {
        UnregisterClassTypeLib(this->ClassID());
        RegisterServiceClassOf(false);
    }
}

template class TSvcBoundFactory<TComObjectFactory>;
template class TSvcBoundFactory<TTypedComObjectFactory>;
template class TSvcBoundFactory<TAutoObjectFactory>;
template class TSvcBoundFactory<TComponentFactory>;

// ---------------------------------------------------------------------------------------------
// The four factories

TSvcComObjectFactory::TSvcComObjectFactory(TComServerObject* comServer, TComClass comClass, const GUID& classID,
                                           const std::wstring& className, const std::wstring& description,
                                           TClassInstancing instancing, const std::wstring& serviceName)
    : TSvcBoundFactory(serviceName, comServer, comClass, classID, className, description,
                       BoundInstancing(instancing), tmSingle) {}

void TSvcComObjectFactory::UpdateRegistry(bool doRegister) {
    if (Instancing() == ciInternal) return;
    RegisterServiceClassOf(doRegister);
}


TSvcTypedComObjectFactory::TSvcTypedComObjectFactory(TComServerObject* comServer, TComClass typedComClass,
                                                     const GUID& classID, TClassInstancing instancing,
                                                     const std::wstring& serviceName)
    : TSvcBoundFactory(serviceName, comServer, typedComClass, classID, BoundInstancing(instancing), tmSingle) {}

void TSvcTypedComObjectFactory::UpdateRegistry(bool doRegister) {
    if (Instancing() == ciInternal) return;
    UpdateTypedRegistry(doRegister);
}

TSvcAutoObjectFactory::TSvcAutoObjectFactory(TComServerObject* comServer, TComClass autoClass, const GUID& classID,
                                             TClassInstancing instancing, const std::wstring& serviceName)
    : TSvcBoundFactory(serviceName, comServer, autoClass, classID, BoundInstancing(instancing), tmSingle) {}

void TSvcAutoObjectFactory::UpdateRegistry(bool doRegister) {
    if (Instancing() == ciInternal) return;
    UpdateTypedRegistry(doRegister);
}

TSvcComponentFactory::TSvcComponentFactory(TComServerObject* comServer, const TComponentClass& componentClass,
                                           const GUID& classID, TClassInstancing instancing,
                                           const std::wstring& serviceName, bool socketEnabled, bool webEnabled)
    : TSvcBoundFactory(serviceName, comServer, componentClass, classID, BoundInstancing(instancing), tmSingle),
      FSocketEnabled(socketEnabled), FWebEnabled(webEnabled) {}

void TSvcComponentFactory::UpdateRegistry(bool doRegister) {
    if (Instancing() == ciInternal) return;
    const std::wstring clsid = GUIDToString(ClassID());
    const std::wstring classKey = L"CLSID\\" + clsid;
    if (doRegister) {
        UpdateComponentRegistry(true, clsid, GetProgID());
        RegisterServiceClassOf(true);
        if (FSocketEnabled) CreateRegKey(classKey, L"Sockets", L"1");
        else DeleteRegValue(classKey, L"Sockets");
        if (FWebEnabled) CreateRegKey(classKey, L"Web", L"1");
        else DeleteRegValue(classKey, L"Web");
        RegisterClassTypeLib(ClassID(), ComServer()->GetTypeLib().Get());
    } else {
        UnregisterClassTypeLib(ClassID());
        try {
            UpdateComponentRegistry(false, clsid, GetProgID());
        } catch (...) {
            // The class's own entries may be gone already; removing the rest matters more.
        }
        RegisterServiceClassOf(false);
    }
}

} // namespace tamrel
