#include "host/ActnList.h"

#include <algorithm>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TBasicAction) { b.Event(L"OnExecute", &TBasicAction::OnExecute, &TBasicAction::SetOnExecute); }

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() = default;

void TBasicAction::BeforeDestruction() {
    // Clients let go of the action while it is whole; each unregisters itself.
    while (!FClients.empty()) {
        TActionClient* client = FClients.back();
        FClients.pop_back();
        client->ActionChanged(nullptr);
    }
    TComponent::BeforeDestruction();
}

void TBasicAction::SetOnExecute(TNotifyEvent e) {
    if (e == FOnExecute) return;
    FOnExecute = e;
    Change();
}

bool TBasicAction::Execute() {
    if (!FOnExecute) return false;
    FOnExecute(this);
    return true;
}

void TBasicAction::RegisterClient(TActionClient* client) {
    if (std::find(FClients.begin(), FClients.end(), client) == FClients.end()) FClients.push_back(client);
}

void TBasicAction::UnRegisterClient(TActionClient* client) { std::erase(FClients, client); }

void TBasicAction::Change() {
    for (TActionClient* client : std::vector<TActionClient*>(FClients)) client->ActionChanged(this);
}

TAMREL_IMPLEMENT_CLASS(TAction) {
    b.String(L"Caption", &TAction::Caption, &TAction::SetCaption);
    b.String(L"Hint", &TAction::Hint, &TAction::SetHint);
    b.Boolean(L"Enabled", &TAction::Enabled, &TAction::SetEnabled, true);
    b.Boolean(L"Checked", &TAction::Checked, &TAction::SetChecked, false);
    b.Integer(L"ImageIndex", &TAction::ImageIndex, &TAction::SetImageIndex, -1);
    b.Component(L"ActionList", &TAction::ActionList, &TAction::SetActionList);
    b.Boolean(L"DisableIfNoHandler", &TAction::DisableIfNoHandler, &TAction::SetDisableIfNoHandler, true);
    b.Integer(L"ShortCut", &TAction::ShortCut, &TAction::SetShortCut, 0);
}

TAction::TAction(TComponent* owner) : TBasicAction(owner) {}

TAction::~TAction() { SetActionList(nullptr); }

bool TAction::Enabled() const { return FEnabled && !(FActionList && FDisableIfNoHandler && !OnExecute()); }

void TAction::SetActionList(TActionList* value) {
    if (value == FActionList) return;
    if (FActionList) std::erase(FActionList->FActions, this);
    FActionList = value;
    if (FActionList) FActionList->FActions.push_back(this);
    Change();
}

void TAction::SetDisableIfNoHandler(bool value) {
    if (value == FDisableIfNoHandler) return;
    FDisableIfNoHandler = value;
    Change();
}

void TAction::SetCaption(const std::wstring& value) {
    FCaption = value;
    Change();
}

void TAction::SetHint(const std::wstring& value) {
    FHint = value;
    Change();
}

void TAction::SetEnabled(bool value) {
    FEnabled = value;
    Change();
}

void TAction::SetChecked(bool value) {
    FChecked = value;
    Change();
}

void TAction::SetImageIndex(int32_t value) {
    FImageIndex = value;
    Change();
}

bool TAction::Execute() { return Enabled() && TBasicAction::Execute(); }

TAMREL_IMPLEMENT_CLASS(TActionList) {}

TActionList::TActionList(TComponent* owner) : TComponent(owner) {}

TActionList::~TActionList() {
    // The actions stay with their owner, on their own.
    while (!FActions.empty()) FActions.back()->SetActionList(nullptr);
}

TAction* TActionList::Actions(int index) const {
    if (index < 0 || index >= ActionCount()) throw EListError(SListIndexError, index);
    return FActions[static_cast<size_t>(index)];
}

int TActionList::IndexOf(const TAction* action) const {
    auto it = std::find(FActions.begin(), FActions.end(), action);
    return it == FActions.end() ? -1 : static_cast<int>(it - FActions.begin());
}

bool TActionList::IsShortCut(TShortCut shortCut) {
    if (shortCut == 0) return false;
    // An action may take itself or others out of the list when it runs.
    for (TAction* action : std::vector<TAction*>(FActions))
        if (action->ShortCut() == shortCut && action->Execute()) return true;
    return false;
}

void TActionClient::LinkAction(TBasicAction*& Slot, TBasicAction* Value) {
    if (Value == Slot) return;
    if (Slot) Slot->UnRegisterClient(this);
    Slot = Value;
    if (Slot) {
        Slot->RegisterClient(this);
        ActionChanged(Slot);
    }
}

} // namespace tamrel
