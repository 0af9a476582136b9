#include "ide/wizards/ExpTamrelInitStub.h"

#include "host/HostApplication.h"
#include "host/Menus.h"
#include "ide/editors/Tamrel_Property_ACLMask.h"
#include "ide/editors/Tamrel_Property_AccessBits.h"
#include "ide/editors/Tamrel_Property_AccessMask.h"
#include "ide/editors/Tamrel_Property_Dependencies.h"
#include "ide/editors/Tamrel_Property_GUID.h"
#include "ide/wizards/Tamrel_Expert_AutoObject.h"
#include "ide/wizards/Tamrel_Expert_ComService.h"
#include "ide/wizards/Tamrel_Expert_NTService.h"
#include "ide/wizards/Tamrel_Expert_NTServiceApplication.h"
#include "ide/wizards/Tamrel_Expert_RemoteDataModule.h"
#include "ide/wizards/Tamrel_Tool_Project.h"
#include "runtime/controls/Tamrel_ExplicitAccessDialog.h"
#include "runtime/controls/Tamrel_SecurityDescriptorDialog.h"

#include <windows.h>

#include <utility>

namespace tamrel {

void TAboutItem::OnClick(TObject*) {
    ShowAboutForm();
}

namespace {

// The about item and its handler, as the entry made them. The item belongs to "AppBuilder": the
// watch hears when its owner frees it first.
TMenuItem* AboutMenuItem = nullptr;
TAboutItem* AboutItem = nullptr;

class TAboutItemWatch : public TComponent {
public:
    TAboutItemWatch() : TComponent(nullptr) {}
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (operation == opRemove && component == AboutMenuItem) AboutMenuItem = nullptr;
    }
};
TAboutItemWatch* AboutItemWatch = nullptr;

// The wizard modules' stored forms name the framework's classes only by text: naming them here
// links their code, and with it their registration, into the image that carries the forms.
[[maybe_unused]] const TClassInfo* const DesignedClasses[] = {
    &TWQAdvancedExpert::StaticClassInfo(), &TWQModuleCreator::StaticClassInfo(),
    &TWQProjectCreator::StaticClassInfo(), &TWQMacroText::StaticClassInfo()};

// Whether the wizards or the about item are there to be removed.
bool Initialized = false;

// The reference this library holds on itself while its wizards and about item are registered:
// freed without the finalization, it stays loaded, so that nothing the environment holds points
// into unloaded code, and nothing has to be undone under the loader lock.
HMODULE SelfReference = nullptr;

void HoldSelf() {
    if (SelfReference) return;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&HoldSelf), &SelfReference);
}

// Every caller of the finalization holds the library itself (the design-time package imports it),
// so letting our own reference go never unloads the code that is running.
void ReleaseSelf() {
    if (HMODULE self = std::exchange(SelfReference, nullptr)) FreeLibrary(self);
}

void AddAboutItem() {
    TComponent* builder = HostApplication.Exists() ? HostApplication->FindComponent(L"AppBuilder") : nullptr;
    if (!builder) return;
    auto* help = dynamic_cast<TMenuItem*>(builder->FindComponent(L"HelpMenu"));
    if (!help) return;
    AboutMenuItem = new TMenuItem(builder);
    AboutMenuItem->SetCaption(L"Abou&t Tamrel ...");
    AboutItem = new TAboutItem;
    AboutItemWatch = new TAboutItemWatch;
    AboutMenuItem->FreeNotification(AboutItemWatch);
    help->Add(AboutMenuItem);
    AboutMenuItem->SetOnClick(MakeMethod<&TAboutItem::OnClick>(AboutItem));
}

// The item goes before its handler, so that no click can reach a handler that is gone.
void RemoveAboutItem() {
    if (TMenuItem* item = std::exchange(AboutMenuItem, nullptr)) Free(item);
    if (TAboutItemWatch* watch = std::exchange(AboutItemWatch, nullptr)) Free(watch);
    delete std::exchange(AboutItem, nullptr);
}

// The units' finalizations, the last made first.
void Finalize() {
    if (!std::exchange(Initialized, false)) return;
    RemoveAboutItem();
    Tamrel_Expert_NTServiceApplication_Finalize();
    Tamrel_Expert_RemoteDataModule_Finalize();
    Tamrel_Expert_ComService_Finalize();
    Tamrel_Expert_NTService_Finalize();
    Tamrel_Expert_AutoObject_Finalize();
    ReleaseSelf();
}

} // namespace

} // namespace tamrel

using namespace tamrel;

extern "C" void InitTamrelExperts() {
    // A second call without the finalization between would register every wizard twice.
    Finalize();
    Initialized = true;
    HoldSelf();
    AutoObjectExpertModule = Create<TAutoObjectExpertModule>(nullptr);
    NTServiceExpertModule = Create<TNTServiceExpertModule>(nullptr);
    ComServiceExpertModule = Create<TComServiceExpertModule>(nullptr);
    Tamrel_Property_GUID_DoRegister();
    Tamrel_Property_Dependencies_DoRegister();
    RemoteDataModuleExpertModule = Create<TRemoteDataModuleExpertModule>(nullptr);
    NTServiceApplicationExpertModule = Create<TNTServiceApplicationExpertModule>(nullptr);
    Tamrel_Property_AccessMask_DoRegister();
    Tamrel_Property_AccessBits_DoRegister();
    Tamrel_ExplicitAccessDialog_DoRegster();
    Tamrel_SecurityDescriptorDialog_DoRegister();
    Tamrel_Property_ACLMask_DoRegister();
    AddAboutItem();
}

extern "C" void FinalizeTamrelExperts() {
    Finalize();
}
