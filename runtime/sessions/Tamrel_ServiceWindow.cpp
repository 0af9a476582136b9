#include "runtime/sessions/Tamrel_ServiceWindow.h"

#include "host/SysUtils.h"
#include "runtime/service/Tamrel_NTService.h"

namespace tamrel {

namespace detail {
bool RunningInsideIde() {
    static const bool inside = UpperCase(ExtractFileName(ParamStr(0))) == L"BDS.EXE";
    return inside;
}
} // namespace detail

TServiceWindow::TServiceWindow(TComponent* Component, TWndMethod Method, std::function<void()> Rearm, bool IdeRule)
    : FComponent(Component), FMethod(Method), FRearm(std::move(Rearm)), FIdeRule(IdeRule) {}

TServiceWindow::~TServiceWindow() {
    Detach();
    Drop();
}

void TServiceWindow::Replace(HWND Wnd) {
    HWND old = FHandle.exchange(Wnd);
    if (old && old != Wnd) DeallocateHWnd(old);
}

void TServiceWindow::AllocateHere() { Replace(AllocateHWnd(FMethod)); }

void TServiceWindow::Drop() { Replace(nullptr); }

void TServiceWindow::WindowDestroyed(HWND Wnd) {
    if (FHandle.compare_exchange_strong(Wnd, nullptr)) FStarted = false;
}

HWND TServiceWindow::LiveHandle() {
    HWND wnd = FHandle.load();
    if (wnd && !IsWindow(wnd)) {
        WindowDestroyed(wnd);
        return nullptr;
    }
    return wnd;
}

void TServiceWindow::Notification(TComponent* AComponent, TOperation Operation) {
    if (FIdeRule && detail::RunningInsideIde()) return;
    if (Operation == opRemove && AComponent && (AComponent == FAttached || AComponent == FComponent)) Detach();
    else if (Operation == opInsert && AComponent == FComponent) Attach(FComponent->Owner());
}

void TServiceWindow::Attach(TComponent* AComponent) {
    Detach();
    auto* service = dynamic_cast<TNtService*>(AComponent);
    if (!service) {
        // A new owner that is no service: the window made at the detach carries the timer now.
        if (FRearm && FHandle.load()) FRearm();
        return;
    }
    Drop();
    FAttached = service;
    service->OnStartQueue()->Add(TNotifyEvent::Of<&TServiceWindow::ServiceStart>(this));
    service->OnStopQueue()->Add(TNotifyEvent::Of<&TServiceWindow::ServiceStop>(this));
    service->FreeNotification(FComponent);
}

void TServiceWindow::Detach() {
    TNtService* service = std::exchange(FAttached, nullptr);
    if (!service) return;
    service->OnStartQueue()->Remove(TNotifyEvent::Of<&TServiceWindow::ServiceStart>(this));
    service->OnStopQueue()->Remove(TNotifyEvent::Of<&TServiceWindow::ServiceStop>(this));
    FStarted = false;
    bool serviceGoes = service->ComponentState().Contains(csDestroying) || service->ComponentState().Contains(csDesigning);
    // A component that stays gets its window back on this thread; the service thread's goes.
    if (serviceGoes || FComponent->ComponentState().Contains(csDestroying)) Drop();
    else AllocateHere();
    service->RemoveFreeNotification(FComponent);
}

void TServiceWindow::ServiceStart(TObject*) {
    if (FComponent->ComponentState().Contains(csDesigning)) return;
    AllocateHere();
    FStarted = true;
    if (FRearm) FRearm();
}

void TServiceWindow::ServiceStop(TObject*) {
    FStarted = false;
    if (FRearm) FRearm();
    Drop();
}

} // namespace tamrel
