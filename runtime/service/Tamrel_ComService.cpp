#include "runtime/service/Tamrel_ComService.h"

#include <atomic>

namespace tamrel {

namespace {
std::atomic<TSvcComServerObject*>& ServerSlot() {
    static std::atomic<TSvcComServerObject*> server{nullptr};
    return server;
}
} // namespace

TSvcComServerObject* SvcComServer() { return ServerSlot().load(); }
void SetSvcComServer(TSvcComServerObject* server) { ServerSlot().store(server); }

TThreadList& ComServiceList() {
    // Services may still leave it during the static destruction at program end.
    static auto* list = new TThreadList;
    return *list;
}

TComService* FindComService(const std::wstring& name) {
    TList* list = ComServiceList().LockList();
    TScopeExit unlock([] { ComServiceList().UnlockList(); });
    for (int32_t i = 0; i < list->Count(); ++i) {
        auto* service = static_cast<TComService*>(list->Items(i));
        if (AnsiCompareText(service->ServiceName(), name) == 0) return service;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------

TAMREL_IMPLEMENT_CLASS(TComService) { b.String(L"AppID", &TComService::AppID, &TComService::SetAppID); }

TComService::TComService(TComponent* owner) : TNtService(owner) { ComServiceList().Add(this); }

TComService::~TComService() { ComServiceList().Remove(this); }

std::wstring TComService::AppID() const {
    if (ComponentState().Contains(csDesigning) && !FLoaded && IsEqualGUID(FSvcAppID, GUID_NULL))
        OleCheck(CoCreateGuid(&FSvcAppID));
    return GUIDToString(FSvcAppID);
}

void TComService::SetAppID(const std::wstring& value) { FSvcAppID = StringToGUID(value); }

GUID TComService::AppIDGUID() const { return FSvcAppID; }

void TComService::Loaded() {
    TNtService::Loaded();
    FLoaded = true;
}

bool TComService::DoPause() {
    bool paused = TNtService::DoPause();
    if (paused)
        if (auto* server = SvcComServer()) server->StopServiceFactories(ServiceName());
    return paused;
}

bool TComService::DoContinue() {
    bool continued = TNtService::DoContinue();
    if (continued)
        if (auto* server = SvcComServer()) server->StartServiceFactories(ServiceName());
    return continued;
}

void TComService::Run() {
    const HRESULT init = CoInitialize(nullptr);
    std::exception_ptr failure;
    try {
        if (auto* server = SvcComServer()) server->StartServiceFactories(ServiceName());
        TNtService::Run();
    } catch (...) {
        failure = std::current_exception();
    }
    // Also after a start that failed part-way: the class objects registered before the failure
    // belong to this apartment and must go with it, or a later start would take them for
    // registered and skip them.
    try {
        if (auto* server = SvcComServer()) server->StopServiceFactories(ServiceName());
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    if (failure) std::rethrow_exception(failure);
}

void TComService::Install() {
    TNtService::Install();
    if (auto* server = SvcComServer()) server->UpdateServerRegistry(true);
}

void TComService::Uninstall() {
    if (auto* server = SvcComServer()) server->UpdateServerRegistry(false);
    TNtService::Uninstall();
}

} // namespace tamrel
