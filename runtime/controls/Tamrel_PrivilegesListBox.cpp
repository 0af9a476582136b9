#include "runtime/controls/Tamrel_PrivilegesListBox.h"

#include "runtime/security/Tamrel_ProcessRightsCenter.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkPrivilegesListBox) {
    b.Set(L"Filter", &TrkPrivilegesListBox::Filter, &TrkPrivilegesListBox::SetFilter, AllPrivileges());
    b.Set(L"Privileges", &TrkPrivilegesListBox::Privileges, &TrkPrivilegesListBox::SetPrivileges, TrkPrivileges{});
}

TrkPrivilegesListBox::TrkPrivilegesListBox(TComponent* AOwner) : TrkCheckListBox(AOwner) {
    SetKind(gkCheck);
    for (int p = 0; p < PrivilegeCount; ++p) FNames.push_back(PrivilegeToName(static_cast<TrkPrivilege>(p)));
    SetFilter(AllPrivileges());
}

TrkPrivilegesListBox::~TrkPrivilegesListBox() = default;

void TrkPrivilegesListBox::SetFilter(TrkPrivileges Value) {
    FFilter = Value;
    FShownNames.clear();
    for (int p = 0; p < PrivilegeCount; ++p)
        if (FFilter.Contains(static_cast<TrkPrivilege>(p))) FShownNames.push_back(FNames[static_cast<size_t>(p)]);
    SetPrivileges(FPrivileges);
}

void TrkPrivilegesListBox::SetPrivileges(TrkPrivileges Value) {
    BeginUpdate();
    TScopeExit end([this] { EndUpdate(); });
    FPrivileges = Value * FFilter;
}

TrkPrivilege TrkPrivilegesListBox::PrivilegeByIdx(int Index) const {
    if (Index >= 0 && Index < static_cast<int>(FShownNames.size())) {
        int line = -1;
        for (int p = 0; p < PrivilegeCount; ++p)
            if (FFilter.Contains(static_cast<TrkPrivilege>(p)) && ++line == Index) return static_cast<TrkPrivilege>(p);
    }
    throw Exception(L"PrivilegeByIdx: List index out of bounds");
}

int TrkPrivilegesListBox::IdxByPrivilege(TrkPrivilege Privilege) const {
    if (!FFilter.Contains(Privilege)) return -1;
    int line = 0;
    for (int p = 0; p < Privilege; ++p)
        if (FFilter.Contains(static_cast<TrkPrivilege>(p))) ++line;
    return line;
}

std::wstring TrkPrivilegesListBox::GetStrings(int Index) {
    if (Index < 0 || Index >= GetCount()) throw Exception(L"PrivilegeByIdx: List index out of bounds");
    return FShownNames[static_cast<size_t>(Index)];
}

TrkGlyphState TrkPrivilegesListBox::GetState(int Index) {
    return FPrivileges.Contains(PrivilegeByIdx(Index)) ? gsOn : gsOff;
}

void TrkPrivilegesListBox::SetState(int Index, TrkGlyphState State) {
    const TrkPrivilege p = PrivilegeByIdx(Index);
    // The set has no grayed state: a checked line that a click grays (AllowGrayed) goes off,
    // instead of staying checked for ever; an unchecked line stays as it is.
    if (State == gsOn) FPrivileges = FPrivileges + TrkPrivileges{p};
    else FPrivileges = FPrivileges - TrkPrivileges{p};
    Changed(Index);
}

bool TrkPrivilegesListBox::ItemsLive() const {
    return Parent() && !ComponentState().Contains(csDestroying) && !ComponentState().Contains(csLoading);
}

void TrkPrivilegesListBox::Refresh() {
    if (FUpdateCount < 1 && ItemsLive()) Changed(-1);
}

void TrkPrivilegesListBox::BeginUpdate() {
    ++FUpdateCount;
    if (ItemsLive()) Items()->BeginUpdate();
}

void TrkPrivilegesListBox::EndUpdate() {
    if (FUpdateCount-- == 1) Refresh();
    if (ItemsLive()) {
        Items()->EndUpdate();
        if (FUpdateCount < 0) FUpdateCount = 0;
    }
}

void TrkPrivilegesListBox::Loaded() {
    TrkCheckListBox::Loaded();
    Refresh();
}

void TrkPrivilegesListBox::SetParent(TWinControl* parent) {
    TrkCheckListBox::SetParent(parent);
    Refresh();
}

} // namespace tamrel
