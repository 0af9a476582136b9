#include "ide/framework/Dev_WQ_IDENotifier.h"

#include "host/SysUtils.h"

namespace tamrel {

namespace {
// The notifier services; a services object that does not offer them is an environment we
// cannot work with.
TComPtr<IOTAServices> NotifierServices() {
    TComPtr<IOTAServices> services = Supports<IOTAServices>(BorlandIDEServices());
    if (!services) throw EInvalidCast(L"Interface not supported");
    return services;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// TWQIIDENotifier

void TWQIIDENotifier::DoFileNotification(TOTAFileNotification notifyCode, const std::wstring& fileName, bool& cancel) {
    if (Owner) Owner->FileNotification(static_cast<int>(notifyCode), fileName, cancel);
}

void TWQIIDENotifier::DoBeforeCompile(IOTAProject* project, bool& cancel) {
    if (Owner) Owner->BeforeCompile(project, cancel);
}

void TWQIIDENotifier::DoAfterCompile(bool succeeded) {
    if (Owner) Owner->AfterCompile(succeeded);
}

// ---------------------------------------------------------------------------------------------
// TWQIDENotifier

TAMREL_IMPLEMENT_CLASS(TWQIDENotifier) {
    b.Event(L"OnFileOpening", &TWQIDENotifier::OnFileOpening, &TWQIDENotifier::SetOnFileOpening);
    b.Event(L"OnFileOpened", &TWQIDENotifier::OnFileOpened, &TWQIDENotifier::SetOnFileOpened);
    b.Event(L"OnFileClosing", &TWQIDENotifier::OnFileClosing, &TWQIDENotifier::SetOnFileClosing);
    b.Event(L"OnDefaultDesktopLoad", &TWQIDENotifier::OnDefaultDesktopLoad, &TWQIDENotifier::SetOnDefaultDesktopLoad);
    b.Event(L"OnDefaultDesktopSave", &TWQIDENotifier::OnDefaultDesktopSave, &TWQIDENotifier::SetOnDefaultDesktopSave);
    b.Event(L"OnProjectDesktopLoad", &TWQIDENotifier::OnProjectDesktopLoad, &TWQIDENotifier::SetOnProjectDesktopLoad);
    b.Event(L"OnProjectDesktopSave", &TWQIDENotifier::OnProjectDesktopSave, &TWQIDENotifier::SetOnProjectDesktopSave);
    b.Event(L"OnPackageInstalled", &TWQIDENotifier::OnPackageInstalled, &TWQIDENotifier::SetOnPackageInstalled);
    b.Event(L"OnPackageUninstalled", &TWQIDENotifier::OnPackageUninstalled, &TWQIDENotifier::SetOnPackageUninstalled);
    b.Event(L"OnActiveProjectChanged", &TWQIDENotifier::OnActiveProjectChanged,
            &TWQIDENotifier::SetOnActiveProjectChanged);
    b.Event(L"OnBeforeCompile", &TWQIDENotifier::OnBeforeCompile, &TWQIDENotifier::SetOnBeforeCompile);
    b.Event(L"OnAfterCompile", &TWQIDENotifier::OnAfterCompile, &TWQIDENotifier::SetOnAfterCompile);
}

TWQIDENotifier::TWQIDENotifier(TComponent* owner)
    : TWQSMSBase(owner), FIDENotifier(MakeInterfaced<TWQIIDENotifier>(this)) {}

TWQIDENotifier::~TWQIDENotifier() {
    if (!FUnloaded) {
        FUnloaded = true;
        Unloaded();
    }
    // The environment may keep the notifier object: it must not reach this component any more.
    FIDENotifier->Owner = nullptr;
}

void TWQIDENotifier::Loaded() {
    TWQSMSBase::Loaded();
    if (ComponentState().Contains(csDesigning) || !BorlandIDEServices() || !FIDENotifier) return;
    FIDENotifierHandle = NotifierServices()->AddNotifier(FIDENotifier.Get());
    FAdded = true;
}

void TWQIDENotifier::Unloaded() {
    // An index the environment never gave us may belong to another add-in's notifier.
    if (!ComponentState().Contains(csDesigning) && BorlandIDEServices() && std::exchange(FAdded, false))
        NotifierServices()->RemoveNotifier(FIDENotifierHandle);
    if (!FUnloaded) {
        FUnloaded = true;
        Free(this);
    }
}

void TWQIDENotifier::FileNotification(int kind, const std::wstring& fileName, bool& cancel) {
    if (kind < 0 || kind >= EventCount) return;
    if (const TWQFileNotification& event = FEvents[kind]) event(fileName, cancel);
}

void TWQIDENotifier::BeforeCompile(IOTAProject* project, bool& cancel) {
    if (FOnBeforeCompile) FOnBeforeCompile(project, cancel);
}

void TWQIDENotifier::AfterCompile(bool succeeded) {
    if (FOnAfterCompile) FOnAfterCompile(succeeded);
}

} // namespace tamrel
