// What the users combo box and the users list box are made of: one account picker over either
// owner-drawn base (TrkCustomComboBox, TrkCustomListBox). The members are defined once, in the
// library, for those two bases only; each picker's header names its own instantiation.
//
// The picker is empty until it has a parent and is neither loading nor being destroyed; then
// every change of Server, Domain or Filter collects the principals again, once at the outermost
// EndUpdate when the change lies inside BeginUpdate/EndUpdate. Enumeration failures do not raise:
// their system texts go to Errors.
#pragma once

#include "host/Classes.h"
#include "runtime/controls/Tamrel_SidRes.h"

#include <memory>

namespace tamrel {

class TUsersPicker;

template <class TBase> class TrkCustomUsersPicker : public TBase {
public:
    ~TrkCustomUsersPicker() override;

    // Empty: the local computer.
    const std::wstring& Server() const;
    void SetServer(const std::wstring& Value);
    // Handed to the SID center before each name is resolved.
    const std::wstring& Domain() const;
    void SetDomain(const std::wstring& Value);
    TrkSidTypes Filter() const;
    void SetFilter(TrkSidTypes Value);
    // Items as "domain\name" instead of the bare name.
    bool ShowFullName() const;
    void SetShowFullName(bool Value);

    // The records stay valid until the next refresh.
    TrkUserInfo* Users(int Index) const;
    int Count() const;
    // The SID of the selected record (its own copy), or null; setting selects the first record
    // with an equal SID, or nothing.
    PSID SelectedSid() const;
    void SetSelectedSid(PSID Value);
    TStringList* Errors() const;
    void BeginUpdate();
    void EndUpdate();
    void Refresh();

    void SetParent(TWinControl* AParent) override;
    void Loaded() override;

protected:
    // GuardEachPrincipal: a failure while adding one principal is noted and the collection goes
    // on (the list); otherwise it ends the refresh (the combo).
    TrkCustomUsersPicker(TComponent* AOwner, bool GuardEachPrincipal);

    int GetCount() override;
    int GetImageIndex(int Index) override;
    std::wstring GetStrings(int Index) override;
    int GetGlyphWidth() override { return 24; }
    int GetGlyphHeight() override { return 22; }
    void DrawGlyph(RECT Rect, int Index) override;

private:
    std::unique_ptr<TUsersPicker> FPicker;
};

} // namespace tamrel
