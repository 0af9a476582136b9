#include "runtime/controls/Tamrel_UsersListBox.h"

#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkUsersListBox) {
    b.String(L"Server", &TrkUsersListBox::Server, &TrkUsersListBox::SetServer);
    b.String(L"Domain", &TrkUsersListBox::Domain, &TrkUsersListBox::SetDomain);
    b.Set(L"Filter", &TrkUsersListBox::Filter, &TrkUsersListBox::SetFilter, kDefaultUserFilter);
    b.Boolean(L"ShowFullName", &TrkUsersListBox::ShowFullName, &TrkUsersListBox::SetShowFullName, false);
}

TrkUsersListBox::TrkUsersListBox(TComponent* AOwner)
    : TrkCustomListBox(AOwner), FPicker(new TUsersPicker(this, [this] { Changed(-1); }, true)) {}

TrkUsersListBox::~TrkUsersListBox() = default;

const std::wstring& TrkUsersListBox::Server() const { return FPicker->Server; }
const std::wstring& TrkUsersListBox::Domain() const { return FPicker->Domain; }
TrkSidTypes TrkUsersListBox::Filter() const { return FPicker->Filter; }
bool TrkUsersListBox::ShowFullName() const { return FPicker->ShowFullName; }
TrkUserInfo* TrkUsersListBox::Users(int Index) const { return FPicker->User(Index); }
int TrkUsersListBox::Count() const { return FPicker->Count(); }
TStringList* TrkUsersListBox::Errors() const { return FPicker->Errors.get(); }
void TrkUsersListBox::Refresh() { FPicker->Refresh(); }
void TrkUsersListBox::BeginUpdate() { FPicker->BeginUpdate(Items()); }
void TrkUsersListBox::EndUpdate() { FPicker->EndUpdate(Items()); }

void TrkUsersListBox::SetServer(const std::wstring& Value) {
    FPicker->Server = Value;
    Refresh();
}

void TrkUsersListBox::SetDomain(const std::wstring& Value) {
    FPicker->Domain = Value;
    Refresh();
}

void TrkUsersListBox::SetFilter(TrkSidTypes Value) {
    FPicker->Filter = Value;
    FPicker->ClearUsers();
    Refresh();
}

void TrkUsersListBox::SetShowFullName(bool Value) {
    if (Value == FPicker->ShowFullName) return;
    FPicker->ShowFullName = Value;
    Changed(-1);
}

PSID TrkUsersListBox::SelectedSid() const {
    const int i = ItemIndex();
    if (i < 0 || i >= FPicker->Count()) return nullptr;
    return FPicker->User(i)->Sid();
}

void TrkUsersListBox::SetSelectedSid(PSID Value) { SetItemIndex(FPicker->IndexOfSid(Value)); }

void TrkUsersListBox::SetParent(TWinControl* AParent) {
    TrkCustomListBox::SetParent(AParent);
    Refresh();
}

void TrkUsersListBox::Loaded() {
    TrkCustomListBox::Loaded();
    Refresh();
}

int TrkUsersListBox::GetCount() { return FPicker->Count(); }
int TrkUsersListBox::GetImageIndex(int Index) { return FPicker->ImageIndex(Index); }
std::wstring TrkUsersListBox::GetStrings(int Index) { return FPicker->Strings(Index); }
void TrkUsersListBox::DrawGlyph(RECT Rect, int Index) { detail::DrawTransparentGlyph(Canvas(), Rect, FPicker->Glyph(Index)); }

} // namespace tamrel
