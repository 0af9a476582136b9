// The privileges list box: a check list of privileges and account rights, one line per
// privilege of Filter (in the privileges' own order) shown by its display name; the checked
// lines are the set Privileges.
#pragma once

#include "runtime/controls/Tamrel_ListBox.h"
#include "runtime/security/Tamrel_RightsCenter.h"

#include <vector>

namespace tamrel {

class TAMREL_API TrkPrivilegesListBox : public TrkCheckListBox {
    TAMREL_CLASS(TrkPrivilegesListBox, TrkCheckListBox)
public:
    explicit TrkPrivilegesListBox(TComponent* AOwner);
    ~TrkPrivilegesListBox() override;

    // The privileges listed. Checked privileges outside a narrower filter are dropped for good.
    TrkPrivileges Filter() const { return FFilter; }
    void SetFilter(TrkPrivileges Value);
    // The checked privileges; always within Filter.
    TrkPrivileges Privileges() const { return FPrivileges; }
    void SetPrivileges(TrkPrivileges Value);

    // The privilege of line Index; raises "PrivilegeByIdx: List index out of bounds" outside the lines.
    TrkPrivilege PrivilegeByIdx(int Index) const;
    // The line of a privilege; -1 when Filter does not hold it.
    int IdxByPrivilege(TrkPrivilege Privilege) const;

    // Rebuilds the lines (once the box has a parent and is neither loading nor going).
    void Refresh();
    void BeginUpdate();
    void EndUpdate();

    void Loaded() override;
    void SetParent(TWinControl* parent) override;

protected:
    int GetCount() override { return static_cast<int>(FShownNames.size()); }
    std::wstring GetStrings(int Index) override;
    TrkGlyphState GetState(int Index) override;
    void SetState(int Index, TrkGlyphState State) override;

private:
    bool ItemsLive() const;
    TrkPrivileges FFilter;
    TrkPrivileges FPrivileges;
    std::vector<std::wstring> FNames;
    std::vector<std::wstring> FShownNames;
    int FUpdateCount = 0;
};

} // namespace tamrel
