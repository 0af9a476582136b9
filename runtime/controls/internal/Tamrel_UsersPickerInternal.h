// What the users combo and the users list share: their state, the refresh that collects the
// principals of one computer or domain, and the answers of the item protocol.
#pragma once

#include "host/Classes.h"
#include "runtime/controls/Tamrel_SidRes.h"
#include "runtime/security/Tamrel_CenterUtils.h"
#include "runtime/security/Tamrel_SidCenter.h"

#include <lm.h>

#include <functional>
#include <memory>
#include <vector>

namespace tamrel {

class TWinControl;

inline constexpr TrkSidTypes kDefaultUserFilter = {stUser, stGroup, stDomain, stAlias, stWellKnownGroup,
                                                   stDeletedAccount};

// Runs Step for each name of a network enumeration, releasing every buffer. Call makes one call
// with (buffer, preferred length, entries read, total, resume handle) and answers its status.
// A failure other than ERROR_MORE_DATA ends the enumeration with its text in Errors; a more-data
// answer without entries doubles the preferred length (up to MAX_PREFERRED_LENGTH), and when
// even that brings none the enumeration ends with its text in Errors.
TAMREL_API void EnumerateNames(const std::function<NET_API_STATUS(LPBYTE*, DWORD, LPDWORD, LPDWORD, PDWORD_PTR)>& call,
                               DWORD preferred, size_t entrySize, size_t nameOffset,
                               const std::function<void(const wchar_t*)>& step, TStrings* errors);

class TAMREL_API TUsersPicker {
public:
    // Selected: the control's item index. Rebuild: the control's Changed(-1), then the given item
    // selected. GuardEachPrincipal: a failure while adding one principal is noted and the
    // collection goes on (the list); otherwise it ends the refresh (the combo).
    TUsersPicker(TWinControl* control, std::function<int()> selected, std::function<void(int)> rebuild,
                 bool guardEachPrincipal);
    ~TUsersPicker();

    std::wstring Server;
    std::wstring Domain;
    TrkSidTypes Filter = kDefaultUserFilter;
    bool ShowFullName = false;
    std::vector<std::unique_ptr<TrkUserInfo>> Users;
    std::unique_ptr<TStringList> Errors;
    int UpdateCount = 0;

    void Refresh();
    // The selected principal is remembered until the next refresh selects it again.
    void ClearUsers();
    int Count() const { return static_cast<int>(Users.size()); }
    TrkUserInfo* User(int index) const;
    std::wstring Strings(int index) const;
    int ImageIndex(int index) const;
    TBitmap* Glyph(int index) const;
    int IndexOfSid(PSID sid) const;
    void BeginUpdate(TStrings* items);
    void EndUpdate(TStrings* items);

private:
    void CollectWellKnown();
    void CollectUsers();
    void CollectLocalGroups();
    void CollectGlobalGroups();
    void AddCurrentSid();
    void AddGuarded();
    LPCWSTR ServerName() const;

    TWinControl* FControl;
    std::function<int()> FSelected;
    std::function<void(int)> FRebuild;
    // The SID of the principal selected when its record went: a refresh lists other principals,
    // so the selection follows the principal, not its place.
    TCenterBlock FSelectedSid;
    bool FGuardEachPrincipal;
    std::unique_ptr<TrkSidCenter, TFreeComponent> FCenter;
    std::wstring FServerName;
};

// The published properties of a users combo or list, for its class description.
template <class T> void DescribeUsersPicker(TClassBuilder<T>& b) {
    b.String(L"Server", &T::Server, &T::SetServer);
    b.String(L"Domain", &T::Domain, &T::SetDomain);
    b.Set(L"Filter", &T::Filter, &T::SetFilter, kDefaultUserFilter);
    b.Boolean(L"ShowFullName", &T::ShowFullName, &T::SetShowFullName, false);
}

// The picker of a users combo or list: its item index, and its rebuild.
template <class TControl> std::unique_ptr<TUsersPicker> MakeUsersPicker(TControl* control, bool guardEachPrincipal) {
    return std::make_unique<TUsersPicker>(
        control, [control] { return control->ItemIndex(); },
        [control](int select) {
            control->Changed(-1);
            control->SetItemIndex(select);
        },
        guardEachPrincipal);
}

} // namespace tamrel
