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
    return TNtService::DoPause() && SwitchFactories(false, L"Service pausing failed : \"%s\"");
}

bool TComService::DoContinue() {
    // After a refused start the service only waits to stop: it serves nothing.
    return TNtService::DoContinue() && (!Started() || SwitchFactories(true, L"Service continuing failed : \"%s\""));
}

bool TComService::SwitchFactories(bool start, const wchar_t* failureMessage) {
    auto* server = SvcComServer();
    if (!server) return true;
    const auto apply = [&](bool on) {
        if (on) server->StartServiceFactories(ServiceName());
        else server->StopServiceFactories(ServiceName());
    };
    const auto log = [&](const std::wstring& m) { LogError(Format(failureMessage, m)); };
    if (CatchLog([&] { apply(start); }, log)) return true;
    // The request is refused, and the classes go back to what the former state serves: the
    // factories that were switched before the failure are switched back (the others are left
    // as they are, each factory knows whether it is registered).
    CatchLog([&] { apply(!start); }, log);
    return false;
}

bool TComService::SuspendsThreadOnPause() const {
    // The service thread is the apartment of the objects that clients hold: suspended, it would
    // leave every call of theirs waiting for a continue. A paused COM service only withdraws its
    // classes.
    return false;
}

void TComService::Run() {
    const HRESULT init = CoInitialize(nullptr);
    std::exception_ptr failure;
    try {
        // A refused start leaves the service running only until it stops itself: no client may
        // reach it meanwhile.
        if (Started())
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
    TSvcComServerObject* server = SvcComServer();
    // The classes are registered under the module's AppID, with the service as its server: the
    // all-zero AppID would be every such program's, and COM would start whichever wrote it last.
    if (server && IsEqualGUID(FSvcAppID, GUID_NULL))
        throw Exception(L"Service module %s has no AppID: give it an AppID of its own before installing it",
                        Name());
    TNtService::Install();
    if (!server) return;
    // All or nothing: a registration that fails part-way is taken back, and the service with it.
    try {
        server->UpdateServerRegistry(true);
    } catch (...) {
        IgnoreFailure([server] { server->UpdateServerRegistry(false); });
        IgnoreFailure([this] { DeleteInstalledService(); });
        throw;
    }
}

void TComService::Uninstall() {
    if (auto* server = SvcComServer()) server->UpdateServerRegistry(false);
    TNtService::Uninstall();
}

} // namespace tamrel
