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
}

TAction::TAction(TComponent* owner) : TBasicAction(owner) {}

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

bool TAction::Execute() { return FEnabled && TBasicAction::Execute(); }

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
