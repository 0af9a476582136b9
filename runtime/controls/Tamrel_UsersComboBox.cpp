#include "runtime/controls/Tamrel_UsersComboBox.h"

#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TrkUsersComboBox) {
    b.String(L"Server", &TrkUsersComboBox::Server, &TrkUsersComboBox::SetServer);
    b.String(L"Domain", &TrkUsersComboBox::Domain, &TrkUsersComboBox::SetDomain);
    b.Set(L"Filter", &TrkUsersComboBox::Filter, &TrkUsersComboBox::SetFilter, kDefaultUserFilter);
    b.Boolean(L"ShowFullName", &TrkUsersComboBox::ShowFullName, &TrkUsersComboBox::SetShowFullName, false);
}

TrkUsersComboBox::TrkUsersComboBox(TComponent* AOwner)
    : TrkCustomComboBox(AOwner), FPicker(new TUsersPicker(this, [this] { Changed(-1); }, false)) {}

TrkUsersComboBox::~TrkUsersComboBox() = default;

const std::wstring& TrkUsersComboBox::Server() const { return FPicker->Server; }
const std::wstring& TrkUsersComboBox::Domain() const { return FPicker->Domain; }
TrkSidTypes TrkUsersComboBox::Filter() const { return FPicker->Filter; }
bool TrkUsersComboBox::ShowFullName() const { return FPicker->ShowFullName; }
TrkUserInfo* TrkUsersComboBox::Users(int Index) const { return FPicker->User(Index); }
int TrkUsersComboBox::Count() const { return FPicker->Count(); }
TStringList* TrkUsersComboBox::Errors() const { return FPicker->Errors.get(); }
void TrkUsersComboBox::Refresh() { FPicker->Refresh(); }
void TrkUsersComboBox::BeginUpdate() { FPicker->BeginUpdate(Items()); }
void TrkUsersComboBox::EndUpdate() { FPicker->EndUpdate(Items()); }

void TrkUsersComboBox::SetServer(const std::wstring& Value) {
    FPicker->Server = Value;
    Refresh();
}

void TrkUsersComboBox::SetDomain(const std::wstring& Value) {
    FPicker->Domain = Value;
    Refresh();
}

void TrkUsersComboBox::SetFilter(TrkSidTypes Value) {
    FPicker->Filter = Value;
    FPicker->ClearUsers();
    Refresh();
}

void TrkUsersComboBox::SetShowFullName(bool Value) {
    if (Value == FPicker->ShowFullName) return;
    FPicker->ShowFullName = Value;
    Changed(-1);
}

PSID TrkUsersComboBox::SelectedSid() const {
    const int i = ItemIndex();
    if (i < 0 || i >= FPicker->Count()) return nullptr;
    return FPicker->User(i)->Sid();
}

void TrkUsersComboBox::SetSelectedSid(PSID Value) { SetItemIndex(FPicker->IndexOfSid(Value)); }

void TrkUsersComboBox::SetParent(TWinControl* AParent) {
    TrkCustomComboBox::SetParent(AParent);
    Refresh();
}

void TrkUsersComboBox::Loaded() {
    TrkCustomComboBox::Loaded();
    Refresh();
}

int TrkUsersComboBox::GetCount() { return FPicker->Count(); }
int TrkUsersComboBox::GetImageIndex(int Index) { return FPicker->ImageIndex(Index); }
std::wstring TrkUsersComboBox::GetStrings(int Index) { return FPicker->Strings(Index); }
void TrkUsersComboBox::DrawGlyph(RECT Rect, int Index) { detail::DrawTransparentGlyph(Canvas(), Rect, FPicker->Glyph(Index)); }

} // namespace tamrel
