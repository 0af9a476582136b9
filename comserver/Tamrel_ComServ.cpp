#include "comserver/Tamrel_ComServ.h"

#include "runtime/service/Tamrel_WinSvc.h"

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// TComServiceStarter

bool TComServiceStarter::Bound(TComObjectFactory* factory) const {
    auto* binding = dynamic_cast<TSvcFactoryBinding*>(factory);
    const std::wstring name = binding ? binding->ServiceName() : std::wstring();
    return AnsiCompareText(name, ServiceName) == 0;
}

void TComServiceStarter::StartFactory(TComObjectFactory* factory) {
    if (Bound(factory)) factory->RegisterClassObject();
}

void TComServiceStarter::StopFactory(TComObjectFactory* factory) {
    if (Bound(factory)) factory->UnRegisterClassObject();
}

// ---------------------------------------------------------------------------------------------
// TSvcComServer

TSvcComServer::TSvcComServer() {
    if (TamrelFindCommand(L"INSTALL") || TamrelFindCommand(L"REINSTALL")) FStartMode = smInstall;
    else if (TamrelFindCommand(L"UNINSTALL")) FStartMode = smUninstall;
    else FStartMode = smControl;
}

TSvcComServer::~TSvcComServer() {
    ComClassManager().ForEachFactory(this, [](TComObjectFactory* factory) { delete factory; });
}

int32_t TSvcComServer::CountObject(bool created) {
    // The last object's release does not end the process: the service decides when it ends.
    return created ? ++FObjectCount : --FObjectCount;
}

int32_t TSvcComServer::CountFactory(bool created) { return created ? ++FFactoryCount : --FFactoryCount; }

std::wstring TSvcComServer::GetHelpFileName() { return FHelpFileName; }

void TSvcComServer::SetHelpFileName(const std::wstring& value) { FHelpFileName = value; }

void TSvcComServer::LoadTypeLib() {
    if (FTypeLib.load()) return;
    ITypeLib* typeLib = nullptr;
    OleCheck(::LoadTypeLib(ModuleFileName().c_str(), &typeLib));
    ITypeLib* expected = nullptr;
    // Two threads may load it at once: the first one published wins.
    if (!FTypeLib.compare_exchange_strong(expected, typeLib)) typeLib->Release();
}

TComPtr<ITypeLib> TSvcComServer::GetTypeLib() {
    LoadTypeLib();
    return TComPtr<ITypeLib>(FTypeLib.load());
}

void TSvcComServer::ForEachServiceFactory(const std::wstring& serviceName, bool start) {
    TComServiceStarter* starter = Create<TComServiceStarter>(serviceName);
    TScopeExit free([starter] { Free(starter); });
    ComClassManager().ForEachFactory(this, [starter, start](TComObjectFactory* factory) {
        if (start) starter->StartFactory(factory);
        else starter->StopFactory(factory);
    });
}

void TSvcComServer::StartServiceFactories(const std::wstring& serviceName) { ForEachServiceFactory(serviceName, true); }

void TSvcComServer::StopServiceFactories(const std::wstring& serviceName) { ForEachServiceFactory(serviceName, false); }

void TSvcComServer::UpdateServerRegistry(bool doRegister) {
    RegisterServerAppID(doRegister);
    const auto updateFactories = [this](bool value) {
        FRegister = value;
        ComClassManager().ForEachFactory(this, [value](TComObjectFactory* factory) {
            if (factory->Instancing() != ciInternal) factory->UpdateRegistry(value);
        });
    };
    if (doRegister && !FRegistered) {
        FRegistered = true;
        // Loaded already when a typed or automation factory exists; a program with untyped
        // factories alone has nothing to register.
        if (ITypeLib* typeLib = FTypeLib.load()) {
            const std::wstring path = ModuleFileName();
            const std::wstring helpDir = ExtractFilePath(path);
            OleCheck(RegisterTypeLib(typeLib, const_cast<LPOLESTR>(path.c_str()),
                                     const_cast<LPOLESTR>(helpDir.c_str())));
        }
        updateFactories(true);
    } else if (!doRegister && !FUnRegistered) {
        FUnRegistered = true;
        if (FTypeLib.load()) UnregisterTypeLibrary();
        updateFactories(false);
    }
}

void TSvcComServer::UnregisterTypeLibrary() {
    using TUnRegisterTypeLib = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    HMODULE oleAut = GetModuleHandleW(L"OLEAUT32.DLL");
    if (!oleAut) return;
    auto unregister = reinterpret_cast<TUnRegisterTypeLib>(
        reinterpret_cast<void (*)()>(GetProcAddress(oleAut, "UnRegisterTypeLib")));
    if (!unregister) return;
    TComPtr<ITypeLib> typeLib = GetTypeLib();
    TLIBATTR* attr = nullptr;
    OleCheck(typeLib->GetLibAttr(&attr));
    TScopeExit release([&] { typeLib->ReleaseTLibAttr(attr); });
    unregister(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
}

namespace {

struct TServiceCounts {
    int32_t Services = 0;
    int32_t ComServices = 0;
    TComService* FirstComService = nullptr;
};

TServiceCounts CountServices() {
    TServiceCounts counts;
    for (TComponent* c : Application->ComponentList()) {
        if (!dynamic_cast<TNtService*>(c)) continue;
        ++counts.Services;
        if (auto* com = dynamic_cast<TComService*>(c)) {
            if (!counts.FirstComService) counts.FirstComService = com;
            ++counts.ComServices;
        }
    }
    return counts;
}

GUID TypeLibGUID(ITypeLib* typeLib) {
    TLIBATTR* attr = nullptr;
    OleCheck(typeLib->GetLibAttr(&attr));
    GUID guid = attr->guid;
    typeLib->ReleaseTLibAttr(attr);
    return guid;
}

} // namespace

GUID TSvcComServer::GetServerAppID() {
    const TServiceCounts counts = CountServices();
    if (counts.Services == 1 && counts.ComServices == 1) return StringToGUID(counts.FirstComService->AppID());
    return TypeLibGUID(GetTypeLib().Get());
}

void TSvcComServer::RegisterServerAppID(bool doRegister) {
    const TServiceCounts counts = CountServices();
    const int32_t n = counts.Services;
    if (n == 0) return;
    std::wstring serverName;
    if (n == 1 && counts.ComServices == 1) {
        serverName = counts.FirstComService->DisplayName();
    } else {
        TBStr doc;
        OleCheck(GetTypeLib()->GetDocumentation(-1, nullptr, doc.Put(), nullptr, nullptr));
        serverName = doc.ToString();
    }
    const std::wstring appid = GUIDToString(GetServerAppID());
    const std::wstring exe = ExtractFileName(ModuleFileName());
    if (doRegister) {
        CreateRegKey(L"AppID\\" + appid, L"", serverName);
        CreateRegKey(L"AppID\\" + exe, L"AppID", appid);
        if (n > 1) {
            CreateRegKey(L"CLSID\\" + appid, L"", serverName);
            CreateRegKey(L"CLSID\\" + appid, L"AppID", appid);
            CreateRegKey(L"CLSID\\" + appid + L"\\LocalServer32", L"", ModuleFileName());
        }
    } else {
        DeleteRegKey(L"AppID\\" + appid);
        DeleteRegKey(L"AppID\\" + exe);
        if (n > 1) {
            DeleteRegKey(L"CLSID\\" + appid + L"\\LocalServer32");
            DeleteRegKey(L"CLSID\\" + appid);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Unit initialization

TSvcComServer* InitializeComServ() {
    static TSvcComServer* const server = [] {
        LoadLibraryW(L"OLEAUT32.DLL"); // stays loaded: the type library's unregistration looks it up
        auto* s = Create<TSvcComServer>();
        SetSvcComServer(s);
        return s;
    }();
    return server;
}

namespace {
[[maybe_unused]] const bool ComServInitialized = (InitializeComServ(), true);
} // namespace

} // namespace tamrel
