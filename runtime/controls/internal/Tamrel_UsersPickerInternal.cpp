#include "runtime/controls/internal/Tamrel_UsersPickerInternal.h"

#include "host/forms/Controls.h"
#include "runtime/controls/Tamrel_UsersComboBox.h"
#include "runtime/controls/Tamrel_UsersListBox.h"
#include "runtime/controls/internal/Tamrel_AccountSourceInternal.h"
#include "runtime/security/Tamrel_CenterUtils.h"

#include <mutex>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// The account source

namespace {
struct TSourceSlot {
    std::mutex Lock;
    TrkAccountSource Source;
};
TSourceSlot& SourceSlot() {
    static TSourceSlot slot;
    return slot;
}
} // namespace

const TrkAccountSource& AccountSource() { return SourceSlot().Source; }

TrkAccountSource SetAccountSource(const TrkAccountSource& source) {
    std::lock_guard lock(SourceSlot().Lock);
    TrkAccountSource former = SourceSlot().Source;
    SourceSlot().Source = source;
    return former;
}

// ---------------------------------------------------------------------------------------------
// Enumerations

namespace {
void NoteError(DWORD code, TStrings* errors) {
    SetLastError(code);
    errors->Add(RkLastWin32Error());
}
} // namespace

void EnumerateNames(const std::function<NET_API_STATUS(LPBYTE*, DWORD, LPDWORD, LPDWORD, PDWORD_PTR)>& call,
                    DWORD preferred, size_t entrySize, size_t nameOffset,
                    const std::function<void(const wchar_t*)>& step, TStrings* errors) {
    DWORD_PTR resume = 0;
    for (;;) {
        LPBYTE buffer = nullptr;
        DWORD read = 0, total = 0;
        NET_API_STATUS status = call(&buffer, preferred, &read, &total, &resume);
        TScopeExit release([buffer] {
            if (buffer) AccountSource().NetApiBufferFree(buffer);
        });
        if (status != NERR_Success && status != ERROR_MORE_DATA) {
            NoteError(status, errors);
            return;
        }
        if (!buffer) read = 0;
        for (DWORD i = 0; i < read; ++i) {
            auto* name = *reinterpret_cast<const wchar_t* const*>(buffer + i * entrySize + nameOffset);
            if (name) step(name);
        }
        if (status == NERR_Success) return;
        if (read == 0) {
            // More data but nothing fits the preferred length: ask for more room, up to all of it.
            if (preferred == MAX_PREFERRED_LENGTH) {
                NoteError(status, errors);
                return;
            }
            preferred = preferred >= 0x80000000u ? MAX_PREFERRED_LENGTH : preferred * 2;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// TUsersPicker

TUsersPicker::TUsersPicker(TWinControl* control, std::function<int()> selected, std::function<void(int)> rebuild,
                           bool guardEachPrincipal)
    : Errors(new TStringList), FControl(control), FSelected(std::move(selected)), FRebuild(std::move(rebuild)),
      FGuardEachPrincipal(guardEachPrincipal), FCenter(Create<TrkSidCenter>(nullptr)) {}

void TUsersPicker::ClearUsers() {
    // Kept already: the records gone since were never shown.
    if (!FSelectedSid) {
        const int i = FSelected();
        if (i >= 0 && i < Count() && Users[static_cast<size_t>(i)]->Sid()) {
            uint32_t size = 0;
            FSelectedSid = DuplicateSidBlock(Users[static_cast<size_t>(i)]->Sid(), size);
        }
    }
    Users.clear();
}

TUsersPicker::~TUsersPicker() = default;

LPCWSTR TUsersPicker::ServerName() const { return Server.empty() ? nullptr : FServerName.c_str(); }

TrkUserInfo* TUsersPicker::User(int index) const {
    if (index < 0 || index >= Count()) throw EListError(SListIndexError, index);
    return Users[static_cast<size_t>(index)].get();
}

std::wstring TUsersPicker::Strings(int index) const {
    if (index < 0 || index >= Count()) return std::wstring();
    const TrkUserInfo* u = Users[static_cast<size_t>(index)].get();
    return ShowFullName ? u->Domain() + L"\\" + u->UserName() : u->UserName();
}

int TUsersPicker::ImageIndex(int index) const {
    if (index < 0 || index >= Count()) return -1;
    const TrkUserInfo* u = Users[static_cast<size_t>(index)].get();
    return RkGetSidGlyphIndex(u->WellKnown(), u->SidType());
}

TBitmap* TUsersPicker::Glyph(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    const TrkUserInfo* u = Users[static_cast<size_t>(index)].get();
    return RkGetSidGlyph(u->WellKnown(), u->SidType());
}

int TUsersPicker::IndexOfSid(PSID sid) const {
    if (!sid) return -1;
    for (int i = 0; i < Count(); ++i) {
        PSID own = Users[static_cast<size_t>(i)]->Sid();
        if (own && EqualSid(own, sid)) return i;
    }
    return -1;
}

void TUsersPicker::BeginUpdate(TStrings* items) {
    ++UpdateCount;
    items->BeginUpdate();
}

void TUsersPicker::EndUpdate(TStrings* items) {
    TScopeExit end([items] { items->EndUpdate(); });
    --UpdateCount;
    if (UpdateCount == 0) Refresh();
    if (UpdateCount < 0) UpdateCount = 0;
}

void TUsersPicker::Refresh() {
    if (UpdateCount > 0 || !FControl->Parent()) return;
    TComponentState state = FControl->ComponentState();
    if (state.Contains(csDestroying) || state.Contains(csLoading)) return;
    ClearUsers();
    Errors->Clear();
    FServerName = L"\\\\" + Server;
    try {
        CollectWellKnown();
        CollectUsers();
        CollectLocalGroups();
        CollectGlobalGroups();
    } catch (const Exception& e) {
        Errors->Add(e.Message());
    }
    // The principal selected before, when the new list has it; else nobody.
    TCenterBlock selected = std::move(FSelectedSid);
    FRebuild(IndexOfSid(selected.get()));
}

void TUsersPicker::AddGuarded() {
    if (!FGuardEachPrincipal) {
        AddCurrentSid();
        return;
    }
    try {
        AddCurrentSid();
    } catch (const Exception& e) {
        Errors->Add(e.Message());
    }
}

void TUsersPicker::CollectWellKnown() {
    FCenter->SetServer(Server);
    for (int wk = wkNull; wk <= wkPolicyAdmins; ++wk) {
        FCenter->SetDomain(Domain);
        FCenter->SetWellKnown(static_cast<TrkWellKnownSid>(wk));
        AddGuarded();
    }
}

void TUsersPicker::CollectUsers() {
    const auto& src = AccountSource();
    EnumerateNames(
        [&](LPBYTE* buf, DWORD pref, LPDWORD read, LPDWORD total, PDWORD_PTR resume) {
            DWORD handle = static_cast<DWORD>(*resume);
            NET_API_STATUS s = src.NetUserEnum(ServerName(), 0, FILTER_NORMAL_ACCOUNT, buf, pref, read, total, &handle);
            *resume = handle;
            return s;
        },
        1, sizeof(USER_INFO_0), offsetof(USER_INFO_0, usri0_name),
        [this](const wchar_t* name) {
            FCenter->SetDomain(Domain);
            FCenter->SetUserName(name);
            AddGuarded();
        },
        Errors.get());
}

void TUsersPicker::CollectLocalGroups() {
    const auto& src = AccountSource();
    EnumerateNames(
        [&](LPBYTE* buf, DWORD pref, LPDWORD read, LPDWORD total, PDWORD_PTR resume) {
            return src.NetLocalGroupEnum(ServerName(), 0, buf, pref, read, total, resume);
        },
        256, sizeof(LOCALGROUP_INFO_0), offsetof(LOCALGROUP_INFO_0, lgrpi0_name),
        [this](const wchar_t* name) {
            FCenter->SetDomain(Domain);
            FCenter->SetUserName(name);
            AddGuarded();
        },
        Errors.get());
}

void TUsersPicker::CollectGlobalGroups() {
    const auto& src = AccountSource();
    // Each call and its entries are guarded: a failure ends this step only.
    try {
        EnumerateNames(
            [&](LPBYTE* buf, DWORD pref, LPDWORD read, LPDWORD total, PDWORD_PTR resume) {
                return src.NetGroupEnum(ServerName(), 0, buf, pref, read, total, resume);
            },
            256, sizeof(GROUP_INFO_0), offsetof(GROUP_INFO_0, grpi0_name),
            [this](const wchar_t* name) {
                FCenter->SetDomain(Domain);
                FCenter->SetUserName(name);
                AddGuarded();
            },
            Errors.get());
    } catch (const Exception& e) {
        Errors->Add(e.Message());
    }
}

void TUsersPicker::AddCurrentSid() {
    std::wstring userName = FCenter->UserName();
    if (userName.empty()) return;
    std::wstring sidString = FCenter->SidString();
    for (const auto& u : Users)
        if (SameText(u->UserName(), userName) && SameText(u->SidString(), sidString)) return;
    PSID sid = FCenter->Sid();
    // 64 characters first; a longer name or domain is looked up again with the sizes given.
    std::wstring name(65, L'\0'), domain(65, L'\0');
    DWORD nameSize = 64, domainSize = 64;
    SID_NAME_USE use = SidTypeUnknown;
    const auto& src = AccountSource();
    BOOL ok = src.LookupAccountSidW(ServerName(), sid, name.data(), &nameSize, domain.data(), &domainSize, &use);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        name.assign(static_cast<size_t>(nameSize) + 1, L'\0');
        domain.assign(static_cast<size_t>(domainSize) + 1, L'\0');
        ok = src.LookupAccountSidW(ServerName(), sid, name.data(), &nameSize, domain.data(), &domainSize, &use);
    }
    if (!ok) return;
    const int kind = static_cast<int>(use) - 1;
    if (kind < 0 || kind > 7 || !Filter.Contains(static_cast<TrkSidType>(kind))) return;
    domain.resize(wcslen(domain.c_str()));
    Users.push_back(std::make_unique<TrkUserInfo>(domain, userName, static_cast<TrkSidType>(kind), sid, sidString,
                                                  FCenter->WellKnown()));
}

// ---------------------------------------------------------------------------------------------
// The pickers: their members over either base, made here for both

template <class TBase>
TrkCustomUsersPicker<TBase>::TrkCustomUsersPicker(TComponent* AOwner, bool GuardEachPrincipal)
    : TBase(AOwner), FPicker(MakeUsersPicker(this, GuardEachPrincipal)) {}

template <class TBase> TrkCustomUsersPicker<TBase>::~TrkCustomUsersPicker() = default;

template <class TBase> const std::wstring& TrkCustomUsersPicker<TBase>::Server() const {
    return FPicker->Server;
}
template <class TBase> const std::wstring& TrkCustomUsersPicker<TBase>::Domain() const {
    return FPicker->Domain;
}
template <class TBase> TrkSidTypes TrkCustomUsersPicker<TBase>::Filter() const {
    return FPicker->Filter;
}
template <class TBase> bool TrkCustomUsersPicker<TBase>::ShowFullName() const {
    return FPicker->ShowFullName;
}
template <class TBase> TrkUserInfo* TrkCustomUsersPicker<TBase>::Users(int Index) const {
    return FPicker->User(Index);
}
template <class TBase> int TrkCustomUsersPicker<TBase>::Count() const {
    return FPicker->Count();
}
template <class TBase> TStringList* TrkCustomUsersPicker<TBase>::Errors() const {
    return FPicker->Errors.get();
}
template <class TBase> void TrkCustomUsersPicker<TBase>::Refresh() {
    FPicker->Refresh();
}
template <class TBase> void TrkCustomUsersPicker<TBase>::BeginUpdate() {
    FPicker->BeginUpdate(this->Items());
}
template <class TBase> void TrkCustomUsersPicker<TBase>::EndUpdate() {
    FPicker->EndUpdate(this->Items());
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetServer(const std::wstring& Value) {
    FPicker->Server = Value;
    Refresh();
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetDomain(const std::wstring& Value) {
    FPicker->Domain = Value;
    Refresh();
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetFilter(TrkSidTypes Value) {
    FPicker->Filter = Value;
    FPicker->ClearUsers();
    Refresh();
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetShowFullName(bool Value) {
    if (Value == FPicker->ShowFullName) return;
    FPicker->ShowFullName = Value;
    this->Changed(-1);
}

template <class TBase> PSID TrkCustomUsersPicker<TBase>::SelectedSid() const {
    const int i = this->ItemIndex();
    if (i < 0 || i >= FPicker->Count()) return nullptr;
    return FPicker->User(i)->Sid();
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetSelectedSid(PSID Value) {
    this->SetItemIndex(FPicker->IndexOfSid(Value));
}

template <class TBase> void TrkCustomUsersPicker<TBase>::SetParent(TWinControl* AParent) {
    TBase::SetParent(AParent);
    Refresh();
}

template <class TBase> void TrkCustomUsersPicker<TBase>::Loaded() {
    TBase::Loaded();
    Refresh();
}

template <class TBase> int TrkCustomUsersPicker<TBase>::GetCount() {
    return FPicker->Count();
}
template <class TBase> int TrkCustomUsersPicker<TBase>::GetImageIndex(int Index) {
    return FPicker->ImageIndex(Index);
}
template <class TBase> std::wstring TrkCustomUsersPicker<TBase>::GetStrings(int Index) {
    return FPicker->Strings(Index);
}
template <class TBase> void TrkCustomUsersPicker<TBase>::DrawGlyph(RECT Rect, int Index) {
    detail::DrawTransparentGlyph(this->Canvas(), Rect, FPicker->Glyph(Index));
}

template class TrkCustomUsersPicker<TrkCustomComboBox>;
template class TrkCustomUsersPicker<TrkCustomListBox>;

} // namespace tamrel
