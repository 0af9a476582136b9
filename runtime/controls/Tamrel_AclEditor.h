// One access-control list as a three-column grid — principal with its glyph, access mode, access
// type — one row per explicit-access entry. The grid is the view and the entry store that a
// dialog drives; the list itself lives in an owned ACL center, which also knows the no-ACL state
// (a NULL ACL: one row, everyone, full control).
#pragma once

#include "host/forms/Grids.h"
#include "host/forms/ImgList.h"
#include "runtime/controls/Tamrel_ExplicitAccessDialog.h"
#include "runtime/controls/Tamrel_Masks.h"
#include "runtime/controls/Tamrel_SidRes.h"
#include "runtime/security/Tamrel_AclCenter.h"

#include <memory>
#include <vector>

namespace tamrel {

class TAMREL_API TrkAclEditor : public TCustomGrid {
    TAMREL_CLASS(TrkAclEditor, TCustomGrid)
public:
    explicit TrkAclEditor(TComponent* AOwner);
    ~TrkAclEditor() override;

    // The computer of the account look-ups; empty: this one.
    const std::wstring& Server() const { return FServer; }
    void SetServer(const std::wstring& Value);
    // Kept for the owning dialog; the grid does not read it.
    TrkEntryType EntryType() const { return FEntryType; }
    void SetEntryType(TrkEntryType Value) { FEntryType = Value; }
    // Owned and linked both ways; the setters assign into them.
    TrkAccessMasks* AccessMasks() const { return FAccessMasks.get(); }
    void SetAccessMasks(TrkAccessMasks* Value);
    TrkAccessBits* MaskBits() const { return FMaskBits.get(); }
    void SetMaskBits(TrkAccessBits* Value);
    bool MergeMasks() const { return FAclCenter->MergeMasks(); }
    void SetMergeMasks(bool Value) { FAclCenter->SetMergeMasks(Value); }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // Without editing, moving rows or columns, range selection; always by row.
    void SetOptions(TGridOptions Value) override;

    // The entry of the selected row; -1 selects nothing (the selection lies past the last row).
    int32_t SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int32_t Value);

    PACL ACL() { return FAclCenter->ACL(); }
    void SetACL(PACL Value);
    PACL GetACLCopy() { return FAclCenter->GetACLCopy(); }
    bool IsEntries() { return FAclCenter->IsEntries(); }
    void SetIsEntries(bool Value);
    int32_t EntryCount() { return FAclCenter->EntryCount(); }
    EXPLICIT_ACCESS_W* Entries(int32_t Index) { return FAclCenter->Entries(Index); }
    void SetEntries(int32_t Index, const EXPLICIT_ACCESS_W& Value);
    EXPLICIT_ACCESS_W* AddEntry();
    EXPLICIT_ACCESS_W* InsertEntry(int32_t Index);
    void DeleteEntry(int32_t Index);

    // Changes inside a bracket give one row-count update and one repaint at the outermost end.
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    void Changed(int32_t Index);
    int ImageIndex(int Index) { return GetImageIndex(Index); }
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    bool SelectCell(int32_t ACol, int32_t ARow) override;
    void DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState) override;
    virtual int GetImageIndex(int /*Index*/) { return -1; }
    virtual void DrawGlyph(RECT Rect, TrkUserInfo* User);
    virtual int GetGlyphWidth() { return 24; }
    virtual int GetGlyphHeight() { return 22; }
    // What a cell shows, and the principal whose glyph goes with it.
    std::wstring CellText(int32_t ACol, int32_t ARow, TrkUserInfo*& User);

private:
    void ResetItemHeight();
    TrkUserInfo* UserBySid(PSID Sid);
    TrkUserInfo* UserByWellKnown(TrkWellKnownSid WellKnown);
    TrkUserInfo* AddCenterUser();
    void ChangeGridOrientation(bool RightToLeft);

    std::unique_ptr<TrkAclCenter, TFreeComponent> FAclCenter;
    std::unique_ptr<TrkSidCenter, TFreeComponent> FSidCenter;
    std::unique_ptr<TrkAccessMasks> FAccessMasks;
    std::unique_ptr<TrkAccessBits> FMaskBits;
    std::vector<std::unique_ptr<TrkUserInfo>> FUsers;
    // Principals whose look-up failed since the ACL was set: a deleted account or an unreachable
    // domain would otherwise be looked up again for each of its cells on every paint.
    std::vector<TCenterBlock> FUnresolved;
    std::wstring FServer;
    TrkEntryType FEntryType = etControlAccess;
    TCustomImageList* FImages = nullptr;
    int32_t FSelectedIndex = 0;
    int32_t FPending = -2;
    int32_t FUpdateCount = 0;
    int32_t FDefaultTextHeight = 0;
    int32_t FDefaultItemHeight = 0;
};

} // namespace tamrel
