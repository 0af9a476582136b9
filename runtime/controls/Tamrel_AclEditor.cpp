#include "runtime/controls/Tamrel_AclEditor.h"

#include "runtime/controls/Tamrel_ListBox.h"
#include "runtime/controls/internal/Tamrel_AccountSourceInternal.h"

#include <sddl.h>

#include <algorithm>

namespace tamrel {

namespace {

const TGridOptions kRefusedOptions = {goRangeSelect, goRowSizing, goRowMoving, goColMoving, goEditing,
                                      goAlwaysShowEditor};

const wchar_t* ModeText(ACCESS_MODE mode) {
    switch (mode) {
    case GRANT_ACCESS: return L"Grant";
    case SET_ACCESS: return L"Set";
    case DENY_ACCESS: return L"Deny";
    case REVOKE_ACCESS: return L"Revoke";
    case SET_AUDIT_SUCCESS: return L"Audit success";
    case SET_AUDIT_FAILURE: return L"Audit failure";
    default: return L"";
    }
}

std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text)) return std::wstring();
    TLocalMem owner(text);
    return text;
}

} // namespace

TAMREL_IMPLEMENT_CLASS(TrkAclEditor) {
    b.String(L"Server", &TrkAclEditor::Server, &TrkAclEditor::SetServer);
    b.Enum(L"EntryType", &TrkAclEditor::EntryType, &TrkAclEditor::SetEntryType, etControlAccess);
    b.Object(L"AccessMasks", &TrkAclEditor::AccessMasks);
    b.Object(L"MaskBits", &TrkAclEditor::MaskBits);
    b.Boolean(L"MergeMasks", &TrkAclEditor::MergeMasks, &TrkAclEditor::SetMergeMasks, true);
    b.Component(L"Images", &TrkAclEditor::Images, &TrkAclEditor::SetImages);
}

TrkAclEditor::TrkAclEditor(TComponent* AOwner)
    : TCustomGrid(AOwner), FAclCenter(Create<TrkAclCenter>(nullptr)), FSidCenter(Create<TrkSidCenter>(nullptr)),
      FAccessMasks(new TrkAccessMasks(this)), FMaskBits(new TrkAccessBits) {
    FMaskBits->SetAccessMasks(FAccessMasks.get());
    FAccessMasks->SetMaskBits(FMaskBits.get());
    ResetItemHeight();
    SetOptions(Options());
    SetColCount(3);
    SetFixedCols(0);
    SetRowCount(2);
    SetFixedRows(1);
    SetDefaultColWidth(120);
    SetSelection(TGridRect{0, 1, ColCount() - 1, 1}); // entry 0's row
}

TrkAclEditor::~TrkAclEditor() {
    FAccessMasks->SetMaskBits(nullptr);
    FMaskBits->SetAccessMasks(nullptr);
}

void TrkAclEditor::SetOptions(TGridOptions Value) {
    Value = Value - kRefusedOptions;
    Value.Include(goRowSelect);
    TCustomGrid::SetOptions(Value);
}

void TrkAclEditor::SetAccessMasks(TrkAccessMasks* Value) {
    FAccessMasks->Assign(Value);
    Changed(-1);
}

void TrkAclEditor::SetMaskBits(TrkAccessBits* Value) {
    FMaskBits->Assign(Value);
    Changed(-1);
}

void TrkAclEditor::SetImages(TCustomImageList* Value) {
    detail::LinkImages(this, FImages, Value);
    ResetItemHeight();
}

void TrkAclEditor::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomGrid::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

void TrkAclEditor::ResetItemHeight() {
    const int height = detail::DisplayTextHeight(Font());
    if (height == 0) return; // no screen (a service without a display): the heights stay
    FDefaultTextHeight = height;
    FDefaultItemHeight = std::max(FDefaultTextHeight, FImages ? FImages->Height() : GetGlyphHeight());
    SetDefaultRowHeight(FDefaultItemHeight);
}

void TrkAclEditor::SetServer(const std::wstring& Value) {
    FServer = Value;
    // Another computer may know them.
    FUnresolved.clear();
}

void TrkAclEditor::SetACL(PACL Value) {
    FAclCenter->SetACL(Value);
    // A new fill: principals that did not resolve are tried once more.
    FUnresolved.clear();
    Changed(-1);
}

void TrkAclEditor::SetIsEntries(bool Value) {
    if (Value == FAclCenter->IsEntries()) return;
    FAclCenter->SetIsEntries(Value);
    Changed(-1);
}

void TrkAclEditor::SetEntries(int32_t Index, const EXPLICIT_ACCESS_W& Value) {
    FAclCenter->SetEntries(Index, Value);
    Changed(Index);
}

EXPLICIT_ACCESS_W* TrkAclEditor::AddEntry() {
    EXPLICIT_ACCESS_W* e = FAclCenter->AddEntry();
    Changed(EntryCount() - 1);
    return e;
}

EXPLICIT_ACCESS_W* TrkAclEditor::InsertEntry(int32_t Index) {
    EXPLICIT_ACCESS_W* e = FAclCenter->InsertEntry(Index);
    Changed(Index);
    return e;
}

void TrkAclEditor::DeleteEntry(int32_t Index) {
    FAclCenter->DeleteEntry(Index);
    Changed(Index);
}

void TrkAclEditor::EndUpdate() {
    --FUpdateCount;
    if (FUpdateCount > 0) return;
    if (FPending != -2) Changed(FPending);
}

void TrkAclEditor::Changed(int32_t Index) {
    if (FPending == -2 || Index < FPending) FPending = Index;
    if (FUpdateCount > 0) return;
    if (FUpdateCount < 0) FUpdateCount = 0;
    int32_t rows = FAclCenter->IsEntries() ? FAclCenter->EntryCount() : 1;
    if (rows == 0) rows = 1; // a grid keeps one data row
    if (rows + 1 != RowCount()) SetRowCount(rows + 1);
    Invalidate();
    FPending = -2;
}

void TrkAclEditor::SetSelectedIndex(int32_t Value) {
    const int32_t count = EntryCount();
    if (Value < 0) Value = -1;
    if (Value >= count) Value = count - 1;
    FSelectedIndex = Value;
    // The whole row, right to the last column; -1 lies past the last row, so no row shows.
    const int32_t row = Value < 0 ? RowCount() + 1 : Value + FixedRows();
    SetSelection(TGridRect{FixedCols(), row, ColCount() - 1, row});
}

bool TrkAclEditor::SelectCell(int32_t ACol, int32_t ARow) {
    bool answer = TCustomGrid::SelectCell(ACol, ARow);
    FSelectedIndex = ARow - FixedRows();
    return answer;
}

TrkUserInfo* TrkAclEditor::AddCenterUser() {
    PSID sid = FSidCenter->Sid();
    std::wstring name(65, L'\0'), domain(65, L'\0');
    DWORD nameSize = 64, domainSize = 64;
    SID_NAME_USE use = SidTypeUnknown;
    LPCWSTR server = FServer.empty() ? nullptr : FServer.c_str();
    const auto& source = AccountSource();
    BOOL ok = source.LookupAccountSidW(server, sid, name.data(), &nameSize, domain.data(), &domainSize, &use);
    if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        // A longer name or domain: once more with the sizes the call asked for.
        name.assign(static_cast<size_t>(nameSize) + 1, L'\0');
        domain.assign(static_cast<size_t>(domainSize) + 1, L'\0');
        ok = source.LookupAccountSidW(server, sid, name.data(), &nameSize, domain.data(), &domainSize, &use);
    }
    if (!ok) return nullptr;
    domain.resize(wcslen(domain.c_str()));
    FUsers.push_back(std::make_unique<TrkUserInfo>(domain, FSidCenter->UserName(), SidTypeFromNameUse(use), sid,
                                                   FSidCenter->SidString(), FSidCenter->WellKnown()));
    return FUsers.back().get();
}

TrkUserInfo* TrkAclEditor::UserBySid(PSID Sid) {
    if (!Sid || !IsValidSid(Sid)) return nullptr;
    for (const auto& u : FUsers)
        if (u->Sid() && EqualSid(u->Sid(), Sid)) return u.get();
    for (const auto& failed : FUnresolved)
        if (EqualSid(failed.get(), Sid)) return nullptr;
    TrkUserInfo* user = nullptr;
    try {
        FSidCenter->SetServer(FServer);
        FSidCenter->SetSid(Sid);
        user = AddCenterUser();
    } catch (const Exception&) {
    }
    if (!user) {
        uint32_t size = 0;
        FUnresolved.push_back(DuplicateSidBlock(Sid, size));
    }
    return user;
}

TrkUserInfo* TrkAclEditor::UserByWellKnown(TrkWellKnownSid WellKnown) {
    for (const auto& u : FUsers)
        if (u->WellKnown() == WellKnown) return u.get();
    TCenterBlock sid;
    try {
        FSidCenter->SetServer(FServer);
        FSidCenter->SetWellKnown(WellKnown);
        uint32_t size = 0;
        sid = DuplicateSidBlock(FSidCenter->Sid(), size);
    } catch (const Exception&) {
        return nullptr;
    }
    return UserBySid(sid.get());
}

std::wstring TrkAclEditor::CellText(int32_t ACol, int32_t ARow, TrkUserInfo*& User) {
    User = nullptr;
    if (ARow == 0) {
        static const wchar_t* const headers[] = {L"User/Group Name", L"Mode", L"Access type"};
        return ACol >= 0 && ACol < 3 ? headers[ACol] : L"";
    }
    if (!IsEntries()) {
        User = UserByWellKnown(wkWorld);
        switch (ACol) {
        case 0: return User ? User->UserName() : std::wstring();
        case 1: return L"Set";
        case 2: return L"Full control";
        default: return L"";
        }
    }
    if (ARow - 1 >= EntryCount()) return L"";
    EXPLICIT_ACCESS_W* e = Entries(ARow - 1);
    const bool byName = e->Trustee.TrusteeForm == TRUSTEE_IS_NAME;
    PSID sid = byName ? nullptr : reinterpret_cast<PSID>(e->Trustee.ptstrName);
    if (!byName) User = UserBySid(sid);
    switch (ACol) {
    case 0:
        if (byName) return e->Trustee.ptstrName ? e->Trustee.ptstrName : L"";
        // A principal that cannot be named shows its SID.
        return User ? User->UserName() : SidText(sid);
    case 1: return ModeText(e->grfAccessMode);
    case 2:
        for (int i = 0; i < FAccessMasks->Count(); ++i) {
            TrkAccessMask* m = FAccessMasks->GetItems(i);
            if (m->AccessMask() == e->grfAccessPermissions)
                return m->MaskCaption().empty() ? std::wstring(L"Special access") : m->MaskCaption();
        }
        return L"Special access";
    default: return L"";
    }
}

void TrkAclEditor::ChangeGridOrientation(bool RightToLeft) {
    HDC dc = Canvas()->Handle();
    const int w = ClientWidth(), h = ClientHeight();
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, RightToLeft ? w : 0, 0, nullptr);
    SetViewportExtEx(dc, w, h, nullptr);
    SetWindowExtEx(dc, RightToLeft ? -w : w, h, nullptr);
}

void TrkAclEditor::DrawCell(int32_t ACol, int32_t ARow, RECT ARect, TGridDrawState AState) {
    if (OnDrawCell()) {
        const bool rtl = UseRightToLeftReading();
        if (rtl) {
            const int w = ClientWidth();
            ARect = RECT{w - ARect.right, ARect.top, w - ARect.left, ARect.bottom};
            ChangeGridOrientation(false);
        }
        TScopeExit back([this, rtl] {
            if (rtl) ChangeGridOrientation(true);
        });
        OnDrawCell()(this, ACol, ARow, ARect, AState);
        return;
    }
    TrkUserInfo* user = nullptr;
    std::wstring text = CellText(ACol, ARow, user);
    RECT textBox = ARect;
    const int glyphWidth = FImages ? FImages->Width() : GetGlyphWidth();
    const bool rtl = UseRightToLeftAlignment();
    const bool glyphColumn = ARow > 0 && ((!rtl && ACol == 0) || (rtl && ACol == 2));
    if (glyphColumn && user) {
        RECT glyph = rtl ? RECT{ARect.right - glyphWidth, ARect.top, ARect.right, ARect.bottom}
                         : RECT{ARect.left, ARect.top, ARect.left + glyphWidth, ARect.bottom};
        if (FImages) FImages->Draw(Canvas(), glyph.left, ARect.top, GetImageIndex(0), true);
        else DrawGlyph(glyph, user);
    }
    if (glyphColumn) {
        if (rtl) textBox.right -= glyphWidth;
        else textBox.left += glyphWidth;
    }
    if (text.empty()) return;
    Canvas()->Brush()->SetStyle(bsClear);
    Canvas()->TextRect(textBox, textBox.left + 2, textBox.top + (FDefaultItemHeight - FDefaultTextHeight) / 2, text);
}

void TrkAclEditor::DrawGlyph(RECT Rect, TrkUserInfo* User) {
    if (!User) return;
    detail::DrawTransparentGlyph(Canvas(), Rect, RkGetSidGlyph(User->WellKnown(), User->SidType()));
}

} // namespace tamrel
