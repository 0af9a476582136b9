#include "host/forms/StdCtrls.h"

#include "host/forms/Forms.h"

#include <algorithm>
#include <functional>

namespace tamrel {

namespace {

std::wstring WindowItemText(HWND wnd, UINT lenMsg, UINT textMsg, int index) {
    LRESULT len = SendMessageW(wnd, lenMsg, static_cast<WPARAM>(index), 0);
    if (len < 0) throw EListError(SListIndexError, index);
    std::wstring s(static_cast<size_t>(len) + 1, L'\0');
    len = SendMessageW(wnd, textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(std::max<LRESULT>(len, 0)));
    return s;
}

// Item lists that live in a list or combo box window; while there is no window, in a string
// list of the control. The two boxes differ only in their message numbers.
struct TItemMessages {
    UINT GetCount, GetTextLen, GetText, GetData, SetData, Insert, Add, Delete, Reset;
    LRESULT Err, ErrSpace;
};
constexpr TItemMessages kListBoxMessages = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETITEMDATA, LB_SETITEMDATA,
                                            LB_INSERTSTRING, LB_ADDSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_ERR,
                                            LB_ERRSPACE};
constexpr TItemMessages kComboBoxMessages = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETITEMDATA, CB_SETITEMDATA,
                                             CB_INSERTSTRING, CB_ADDSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_ERR,
                                             CB_ERRSPACE};

class TWindowItems : public TStrings {
public:
    TWindowItems(TWinControl* control, TStringList* saved, const TItemMessages& msgs, const bool* sorted)
        : FControl(control), FSaved(saved), FMsgs(msgs), FSorted(sorted) {}

    int Count() const override {
        if (HWND h = Wnd()) return static_cast<int>(SendMessageW(h, FMsgs.GetCount, 0, 0));
        return FSaved->Count();
    }
    std::wstring Get(int index) const override {
        if (HWND h = Wnd()) return WindowItemText(h, FMsgs.GetTextLen, FMsgs.GetText, index);
        return FSaved->Get(index);
    }
    TObject* GetObject(int index) const override {
        if (HWND h = Wnd()) {
            LRESULT r = SendMessageW(h, FMsgs.GetData, static_cast<WPARAM>(index), 0);
            if (r == FMsgs.Err && (index < 0 || index >= Count())) Error(SListIndexError, index);
            return reinterpret_cast<TObject*>(r);
        }
        return FSaved->GetObject(index);
    }
    void PutObject(int index, TObject* object) override {
        if (HWND h = Wnd()) {
            if (SendMessageW(h, FMsgs.SetData, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(object)) == FMsgs.Err)
                Error(SListIndexError, index);
            return;
        }
        FSaved->PutObject(index, object);
    }
    void Put(int index, const std::wstring& s) override {
        TObject* object = GetObject(index);
        int selected = SelectedIndex();
        Delete(index);
        InsertObject(index, s, object);
        SetSelectedIndex(selected);
    }
    void Insert(int index, const std::wstring& s) override {
        if (HWND h = Wnd()) {
            LRESULT r = SendMessageW(h, FMsgs.Insert, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.c_str()));
            if (r == FMsgs.ErrSpace) throw EOutOfResources(L"Insufficient space for the item");
            if (r < 0) Error(SListIndexError, index);
            return;
        }
        FSaved->Insert(index, s);
    }
    int Add(const std::wstring& s) override {
        HWND h = Wnd();
        if (h && *FSorted) {
            LRESULT r = SendMessageW(h, FMsgs.Add, 0, reinterpret_cast<LPARAM>(s.c_str()));
            if (r < 0) throw EOutOfResources(L"Insufficient space for the item");
            return static_cast<int>(r);
        }
        int i = Count();
        Insert(i, s);
        return i;
    }
    void Delete(int index) override {
        if (HWND h = Wnd()) {
            if (SendMessageW(h, FMsgs.Delete, static_cast<WPARAM>(index), 0) == FMsgs.Err) Error(SListIndexError, index);
            return;
        }
        FSaved->Delete(index);
    }
    void Clear() override {
        if (HWND h = Wnd()) SendMessageW(h, FMsgs.Reset, 0, 0);
        else FSaved->Clear();
    }

protected:
    void SetUpdateState(bool updating) override {
        HWND h = Wnd();
        if (!h) return;
        SendMessageW(h, WM_SETREDRAW, updating ? FALSE : TRUE, 0);
        if (!updating) InvalidateRect(h, nullptr, TRUE);
    }

private:
    HWND Wnd() const { return FControl->HandleAllocated() ? FControl->Handle() : nullptr; }
    int SelectedIndex() const {
        if (auto* lb = dynamic_cast<TCustomListBox*>(FControl)) return lb->ItemIndex();
        return static_cast<TCustomComboBox*>(FControl)->ItemIndex();
    }
    void SetSelectedIndex(int i) {
        if (auto* lb = dynamic_cast<TCustomListBox*>(FControl)) lb->SetItemIndex(i);
        else static_cast<TCustomComboBox*>(FControl)->SetItemIndex(i);
    }
    TWinControl* FControl;
    TStringList* FSaved;
    const TItemMessages& FMsgs;
    const bool* FSorted;
};

// The items of a window into the saved list, before the window goes.
void SaveWindowItems(TStrings* items, TStringList* saved) {
    std::vector<std::pair<std::wstring, TObject*>> copy;
    for (int i = 0; i < items->Count(); ++i) copy.emplace_back(items->Get(i), items->GetObject(i));
    saved->Clear();
    for (auto& [s, o] : copy) saved->AddObject(s, o);
}

// ... and back into the new window.
void RestoreWindowItems(TStrings* items, TStringList* saved) {
    if (saved->Count() == 0) return;
    std::vector<std::pair<std::wstring, TObject*>> copy;
    for (int i = 0; i < saved->Count(); ++i) copy.emplace_back(saved->Get(i), saved->GetObject(i));
    saved->Clear();
    for (auto& [s, o] : copy) items->AddObject(s, o);
}

TOwnerDrawState OwnerDrawState(UINT itemState) { return TOwnerDrawState::FromBits(itemState & 0x1FFF); }

// A value that the window holds once it exists, and the control until then.
int32_t WindowValue(const TWinControl* control, UINT getMsg, int32_t stored) {
    if (!control->HandleAllocated()) return stored;
    return static_cast<int32_t>(SendMessageW(const_cast<TWinControl*>(control)->Handle(), getMsg, 0, 0));
}

void SetWindowValue(TWinControl* control, UINT setMsg, int32_t& stored, int32_t value) {
    if (!control->HandleAllocated()) stored = value;
    else SendMessageW(control->Handle(), setMsg, static_cast<WPARAM>(value), 0);
}

// The owner-draw notification of a list or combo box: the canvas gets the item's device
// context with the control's font and brush (the highlight colours for a selected item), Draw
// paints the item, and the focus rectangle follows.
void DrawOwnerDrawnItem(TWinControl* control, TCanvas* canvas, TMessage& m,
                        const std::function<void(int, RECT, TOwnerDrawState)>& draw) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
    TOwnerDrawState state = OwnerDrawState(dis->itemState);
    canvas->SetHandle(dis->hDC);
    TScopeExit release([canvas] { canvas->SetHandle(nullptr); });
    canvas->SetFont(control->Font());
    canvas->SetBrush(control->Brush());
    const int index = static_cast<int>(dis->itemID);
    if (index >= 0 && state.Contains(odSelected)) {
        canvas->Brush()->SetColor(clHighlight);
        canvas->Font()->SetColor(clHighlightText);
    }
    if (index >= 0) draw(index, dis->rcItem, state);
    else canvas->FillRect(dis->rcItem);
    if (state.Contains(odFocused)) DrawFocusRect(dis->hDC, &dis->rcItem);
    m.Result = TRUE;
}

// The measure-item notification: the fixed height, or what Measure makes of it for items of
// variable height.
void MeasureOwnerDrawnItem(TMessage& m, int height, bool variable, const std::function<void(int, int&)>& measure) {
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
    if (variable) measure(static_cast<int>(mis->itemID), height);
    mis->itemHeight = static_cast<UINT>(height);
    m.Result = TRUE;
}

// The memo's lines: the window text split at line breaks. Inside an update bracket the lines
// are kept here and the window, which does not redraw meanwhile, gets them once at the end.
class TMemoStrings : public TStrings {
public:
    explicit TMemoStrings(TCustomMemo* memo) : FMemo(memo) {}
    int Count() const override { return static_cast<int>(Lines().size()); }
    std::wstring Get(int index) const override {
        const auto& lines = Lines();
        if (index < 0 || index >= static_cast<int>(lines.size())) Error(SListIndexError, index);
        return lines[static_cast<size_t>(index)];
    }
    void Put(int index, const std::wstring& s) override {
        auto& lines = Edit();
        if (index < 0 || index >= static_cast<int>(lines.size())) Error(SListIndexError, index);
        lines[static_cast<size_t>(index)] = s;
        Store();
    }
    void Insert(int index, const std::wstring& s) override {
        auto& lines = Edit();
        if (index < 0 || index > static_cast<int>(lines.size())) Error(SListIndexError, index);
        lines.insert(lines.begin() + index, s);
        Store();
    }
    void Delete(int index) override {
        auto& lines = Edit();
        if (index < 0 || index >= static_cast<int>(lines.size())) Error(SListIndexError, index);
        lines.erase(lines.begin() + index);
        Store();
    }
    void Clear() override {
        if (FUpdating) FLines.clear();
        else FMemo->SetText(L"");
    }

protected:
    void SetUpdateState(bool updating) override {
        const bool redraw = FMemo->HandleAllocated();
        if (updating) {
            FLines = Split(FMemo->GetText());
            FUpdating = true;
            if (redraw) SendMessageW(FMemo->Handle(), WM_SETREDRAW, FALSE, 0);
            return;
        }
        FUpdating = false;
        FMemo->SetText(Join(FLines));
        FLines.clear();
        if (redraw) {
            SendMessageW(FMemo->Handle(), WM_SETREDRAW, TRUE, 0);
            RedrawWindow(FMemo->Handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    }

private:
    static std::vector<std::wstring> Split(const std::wstring& text) {
        std::vector<std::wstring> lines;
        if (text.empty()) return lines;
        size_t start = 0;
        for (;;) {
            size_t end = text.find(L"\r\n", start);
            if (end == std::wstring::npos) {
                lines.push_back(text.substr(start));
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
            if (start == text.size()) break;
        }
        return lines;
    }
    static std::wstring Join(const std::vector<std::wstring>& lines) {
        std::wstring text;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) text += L"\r\n";
            text += lines[i];
        }
        return text;
    }
    const std::vector<std::wstring>& Lines() const {
        if (!FUpdating) FLines = Split(FMemo->GetText());
        return FLines;
    }
    std::vector<std::wstring>& Edit() {
        if (!FUpdating) FLines = Split(FMemo->GetText());
        return FLines;
    }
    void Store() {
        if (!FUpdating) FMemo->SetText(Join(FLines));
    }
    TCustomMemo* FMemo;
    bool FUpdating = false;
    mutable std::vector<std::wstring> FLines;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Label

TAMREL_IMPLEMENT_CLASS(TCustomLabel) {
    b.String(L"Caption", &TCustomLabel::GetText, &TCustomLabel::SetText);
    b.Enum(L"Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment, taLeftJustify);
    b.Boolean(L"AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize, true);
    b.Boolean(L"WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap, false);
    b.Component(L"FocusControl", &TCustomLabel::FocusControl, &TCustomLabel::SetFocusControl);
    b.Message<&TCustomLabel::CNCommand>(CN_COMMAND);
}
TAMREL_IMPLEMENT_CLASS(TLabel) {}

TCustomLabel::TCustomLabel(TComponent* owner) : TWinControl(owner) {
    FWidth = 65;
    FHeight = 17;
    SetColor(clBtnFace);
    SetParentColor(true);
}

void TCustomLabel::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"STATIC";
    params.WinClassName = L"TamrelStatic";
    params.Style |= SS_NOTIFY;
    if (FAlignment == taRightJustify) params.Style |= SS_RIGHT;
    else if (FAlignment == taCenter) params.Style |= SS_CENTER;
    else if (!FWordWrap) params.Style |= SS_LEFTNOWORDWRAP;
    if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    RecreateWnd();
}

void TCustomLabel::SetAutoSize(bool value) {
    FAutoSize = value;
    AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool value) {
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
    AdjustBounds();
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::Loaded() {
    TWinControl::Loaded();
    AdjustBounds(); // sized now that caption and font are read
}

void TCustomLabel::PropertyChanged(UINT cm) {
    TWinControl::PropertyChanged(cm);
    if (cm == CM_TEXTCHANGED || cm == CM_FONTCHANGED) AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
    if (!FAutoSize || ComponentState().Contains(csLoading)) return;
    TWindowDc screen(nullptr);
    if (!screen.Get()) return;
    HGDIOBJ old = SelectObject(screen.Get(), Font()->Handle());
    RECT r = {0, 0, FWordWrap ? std::max(Width(), 1) : 0, 0};
    std::wstring text = GetText();
    if (text.empty()) text = L" ";
    DrawTextW(screen.Get(), text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
    SelectObject(screen.Get(), old);
    // A wrapping label keeps its width and takes the height of its lines.
    const int width = FWordWrap ? Width() : RectWidth(r);
    int left = FAlignment == taRightJustify ? Left() + Width() - width : Left();
    SetBounds(left, Top(), width, RectHeight(r));
}

void TCustomLabel::CNCommand(TMessage& m) {
    if (HIWORD(m.WParam) == STN_CLICKED) Click();
    else if (HIWORD(m.WParam) == STN_DBLCLK) DblClick();
}

// ---------------------------------------------------------------------------------------------
// Edit and memo

TAMREL_IMPLEMENT_CLASS(TCustomEdit) {
    b.String(L"Text", &TCustomEdit::GetText, &TCustomEdit::SetText);
    b.Integer(L"MaxLength", &TCustomEdit::MaxLength, &TCustomEdit::SetMaxLength, 0);
    b.Integer(L"PasswordChar", &TCustomEdit::GetPasswordCharValue, &TCustomEdit::SetPasswordCharValue, 0);
    b.Boolean(L"ReadOnly", &TCustomEdit::ReadOnly, &TCustomEdit::SetReadOnly, false);
    b.Event(L"OnChange", &TCustomEdit::OnChange, &TCustomEdit::SetOnChange);
    b.Message<&TCustomEdit::CNCommand>(CN_COMMAND);
}
TAMREL_IMPLEMENT_CLASS(TEdit) {}

TCustomEdit::TCustomEdit(TComponent* owner) : TWinControl(owner) {
    FWidth = 121;
    FHeight = 21;
    SetTabStop(true);
}

void TCustomEdit::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"EDIT";
    params.WinClassName = L"TamrelEdit";
    params.Style |= ES_AUTOHSCROLL;
    if (FReadOnly) params.Style |= ES_READONLY;
    params.ExStyle |= WS_EX_CLIENTEDGE;
    if (UseRightToLeftAlignment()) params.Style |= ES_RIGHT;
    if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
}

void TCustomEdit::CreateWnd() {
    TWinControl::CreateWnd();
    if (FMaxLength) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
    if (FPasswordChar) SendMessageW(Handle(), EM_SETPASSWORDCHAR, FPasswordChar, 0);
}

void TCustomEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    if (HandleAllocated()) SendMessageW(Handle(), EM_SETREADONLY, value, 0);
}

void TCustomEdit::SetMaxLength(int32_t value) {
    FMaxLength = std::max(value, 0);
    if (HandleAllocated()) SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(FMaxLength), 0);
}

void TCustomEdit::SetPasswordChar(wchar_t value) {
    FPasswordChar = value;
    if (HandleAllocated()) {
        SendMessageW(Handle(), EM_SETPASSWORDCHAR, value, 0);
        Invalidate();
    }
}

void TCustomEdit::SelectAll() {
    if (HandleAllocated()) SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TCustomEdit::Change() {
    if (FOnChange) FOnChange(this);
}

void TCustomEdit::CNCommand(TMessage& m) {
    if (HIWORD(m.WParam) == EN_CHANGE) Change();
}

TAMREL_IMPLEMENT_CLASS(TCustomMemo) {
    b.Object(L"Lines", &TCustomMemo::Lines);
    b.Enum(L"ScrollBars", &TCustomMemo::ScrollBars, &TCustomMemo::SetScrollBars, scNone);
    b.Boolean(L"WantReturns", &TCustomMemo::WantReturns, &TCustomMemo::SetWantReturns, true);
    b.Boolean(L"WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap, true);
    b.Message<&TCustomMemo::WMGetDlgCode>(WM_GETDLGCODE);
}
TAMREL_IMPLEMENT_CLASS(TMemo) {}

TCustomMemo::TCustomMemo(TComponent* owner) : TCustomEdit(owner), FLines(new TMemoStrings(this)) {
    FWidth = 185;
    FHeight = 89;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& params) {
    TCustomEdit::CreateParams(params);
    params.Style |= ES_MULTILINE | ES_AUTOVSCROLL;
    if (FWordWrap) params.Style &= ~static_cast<DWORD>(ES_AUTOHSCROLL);
    if (FScrollBars == scHorizontal || FScrollBars == scBoth) params.Style |= WS_HSCROLL;
    if (FScrollBars == scVertical || FScrollBars == scBoth) params.Style |= WS_VSCROLL;
}

void TCustomMemo::PropertyChanged(UINT cm) {
    TCustomEdit::PropertyChanged(cm);
    // A multi-line edit window reports no change for text set from code: the memo does.
    if (cm == CM_TEXTCHANGED) Change();
}

void TCustomMemo::SetWordWrap(bool value) {
    if (value == FWordWrap) return;
    FWordWrap = value;
    RecreateWnd();
}

void TCustomMemo::SetScrollBars(TScrollStyle value) {
    if (value == FScrollBars) return;
    FScrollBars = value;
    RecreateWnd();
}

void TCustomMemo::WMGetDlgCode(TMessage& m) {
    DefaultHandler(m);
    // Without WantReturns, Enter presses the form's default button.
    if (!FWantReturns) m.Result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
}

// ---------------------------------------------------------------------------------------------
// Buttons

TAMREL_IMPLEMENT_CLASS(TButton) {
    b.String(L"Caption", &TButton::GetText, &TButton::SetText);
    b.Boolean(L"Cancel", &TButton::Cancel, &TButton::SetCancel, false);
    b.Boolean(L"Default", &TButton::Default, &TButton::SetDefault, false);
    b.Integer(L"ModalResult", &TButton::ModalResult, &TButton::SetModalResult, mrNone);
    b.Message<&TButton::CNCommand>(CN_COMMAND);
    b.Message<&TButton::CMDialogKey>(CM_DIALOGKEY);
    b.Message<&TButton::CMFocusChanged>(CM_FOCUSCHANGED);
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    FWidth = 75;
    FHeight = 25;
    SetColor(clBtnFace);
    SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"BUTTON";
    params.WinClassName = L"TamrelButton";
    params.Style |= FActive ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool value) {
    FDefault = value;
    // A focused button stays the active one; otherwise the default button is.
    TWinControl* focused = TWinControl::FindControl(GetFocus());
    if (!dynamic_cast<TButton*>(focused) || !GetParentForm(this) || GetParentForm(focused) != GetParentForm(this))
        SetActive(value);
}

void TButton::SetActive(bool active) {
    FActive = active;
    if (HandleAllocated())
        SendMessageW(Handle(), BM_SETSTYLE, active ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (TCustomForm* form = GetParentForm(this); form && FModalResult != mrNone) form->SetModalResult(FModalResult);
    TWinControl::Click();
}

void TButton::CNCommand(TMessage& m) {
    if (HIWORD(m.WParam) == BN_CLICKED) Click();
}

void TButton::CMDialogKey(TMessage& m) {
    bool mine = (m.WParam == VK_RETURN && FActive) || (m.WParam == VK_ESCAPE && FCancel);
    if (mine && CanFocus()) {
        Click();
        m.Result = 1;
    }
}

void TButton::CMFocusChanged(TMessage& m) {
    auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
    SetActive(dynamic_cast<TButton*>(focused) ? focused == this : FDefault);
}

TAMREL_IMPLEMENT_CLASS(TCheckBox) {
    b.String(L"Caption", &TCheckBox::GetText, &TCheckBox::SetText);
    b.Enum(L"Alignment", &TCheckBox::Alignment, &TCheckBox::SetAlignment, taRightJustify);
    b.Boolean(L"AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed, false);
    b.Enum(L"State", &TCheckBox::State, &TCheckBox::SetState, cbUnchecked);
    // Checked reads and writes State: State alone is written.
    b.Boolean(L"Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false).NotStored();
    b.Message<&TCheckBox::CNCommand>(CN_COMMAND);
}

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    FWidth = 97;
    FHeight = 17;
    SetColor(clBtnFace);
    SetParentColor(true);
    SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"BUTTON";
    params.WinClassName = L"TamrelButton";
    // The box does not check itself: Toggle decides, so that AllowGrayed holds.
    params.Style |= BS_3STATE;
    if (FAlignment == taLeftJustify) params.Style |= BS_LEFTTEXT;
}

void TCheckBox::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(FState), 0);
}

void TCheckBox::SetAlignment(TAlignment value) {
    if (value == FAlignment) return;
    FAlignment = value;
    RecreateWnd();
}

void TCheckBox::SetState(TCheckBoxState value) {
    if (value == FState) return;
    FState = value;
    if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, static_cast<WPARAM>(FState), 0);
    // The box sends no notification for BM_SETCHECK: the click is reported here.
    if (!ComponentState().Contains(csLoading)) Click();
}

void TCheckBox::Toggle() {
    switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
    }
}

void TCheckBox::CNCommand(TMessage& m) {
    if (HIWORD(m.WParam) == BN_CLICKED) Toggle();
}

TAMREL_IMPLEMENT_CLASS(TRadioButton) {
    b.String(L"Caption", &TRadioButton::GetText, &TRadioButton::SetText);
    b.Boolean(L"Checked", &TRadioButton::Checked, &TRadioButton::SetChecked, false);
    b.Message<&TRadioButton::CNCommand>(CN_COMMAND);
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    FWidth = 113;
    FHeight = 17;
    SetColor(clBtnFace);
    SetParentColor(true);
    SetTabStop(true);
}

void TRadioButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"BUTTON";
    params.WinClassName = L"TamrelButton";
    params.Style |= BS_RADIOBUTTON;
}

void TRadioButton::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageW(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool value) {
    if (value == FChecked) return;
    FChecked = value;
    if (HandleAllocated()) SendMessageW(Handle(), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!value) return;
    if (TWinControl* p = Parent())
        for (int i = 0; i < p->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(p->Controls(i)); r && r != this) r->SetChecked(false);
    if (!ComponentState().Contains(csLoading)) Click();
}

void TRadioButton::CNCommand(TMessage& m) {
    if (HIWORD(m.WParam) == BN_CLICKED) SetChecked(true);
    else if (HIWORD(m.WParam) == BN_DOUBLECLICKED) DblClick();
}

// ---------------------------------------------------------------------------------------------
// Containers and image

TAMREL_IMPLEMENT_CLASS(TCustomGroupBox) { b.String(L"Caption", &TCustomGroupBox::GetText, &TCustomGroupBox::SetText); }
TAMREL_IMPLEMENT_CLASS(TGroupBox) {}

TCustomGroupBox::TCustomGroupBox(TComponent* owner) : TCustomControl(owner) {
    FWidth = 185;
    FHeight = 105;
    SetColor(clBtnFace);
    SetParentColor(true);
}

void TCustomGroupBox::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

RECT TCustomGroupBox::ClientRect() {
    RECT r = TCustomControl::ClientRect();
    r.top += FontTextHeight(Font(), L"0");
    InflateRect(&r, -2, -2);
    return r;
}

void TCustomGroupBox::Paint() {
    TCanvas* c = Canvas();
    RECT r = {0, 0, Width(), Height()};
    c->FillRect(r);
    int h = c->TextHeight(L"0");
    RECT frame = {0, h / 2, Width(), Height()};
    DrawEdge(c->Handle(), &frame, EDGE_ETCHED, BF_RECT);
    std::wstring text = GetText();
    if (text.empty()) return;
    int w = c->TextWidth(text);
    int x = UseRightToLeftAlignment() ? Width() - 8 - w : 8;
    RECT t = {x, 0, x + w, h};
    c->DrawText(t, text, DT_SINGLELINE | DT_NOCLIP);
}

void TCustomGroupBox::PropertyChanged(UINT cm) {
    TCustomControl::PropertyChanged(cm);
    if (cm == CM_TEXTCHANGED || cm == CM_FONTCHANGED) {
        Realign();
        Invalidate();
    }
}

TAMREL_IMPLEMENT_CLASS(TCustomPanel) {
    b.String(L"Caption", &TCustomPanel::GetText, &TCustomPanel::SetText);
    b.Enum(L"Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment, taCenter);
    b.Enum(L"BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, bvRaised);
}
TAMREL_IMPLEMENT_CLASS(TPanel) {}

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
    FWidth = 185;
    FHeight = 41;
    SetColor(clBtnFace);
}

void TCustomPanel::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
    FBevelOuter = value;
    Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment value) {
    FAlignment = value;
    Invalidate();
}

void TCustomPanel::Paint() {
    TCanvas* c = Canvas();
    RECT r = {0, 0, Width(), Height()};
    c->FillRect(r);
    if (FBevelOuter == bvRaised || FBevelOuter == bvLowered) {
        DrawEdge(c->Handle(), &r, FBevelOuter == bvRaised ? BDR_RAISEDOUTER : BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&r, -1, -1);
    }
    std::wstring text = GetText();
    if (text.empty()) return;
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    TAlignment a = FAlignment;
    if (UseRightToLeftAlignment() && a != taCenter) a = a == taLeftJustify ? taRightJustify : taLeftJustify;
    flags |= a == taCenter ? DT_CENTER : a == taRightJustify ? DT_RIGHT : DT_LEFT;
    SetBkMode(c->Handle(), TRANSPARENT);
    c->Brush()->SetStyle(bsClear);
    c->DrawText(r, text, flags);
}

void TCustomPanel::PropertyChanged(UINT cm) {
    TCustomControl::PropertyChanged(cm);
    if (cm == CM_TEXTCHANGED || cm == CM_FONTCHANGED) Invalidate();
}

TAMREL_IMPLEMENT_CLASS(TImage) {
    b.Boolean(L"Center", &TImage::Center, &TImage::SetCenter, false);
    b.Object(L"Picture", &TImage::Picture);
    b.Boolean(L"Stretch", &TImage::Stretch, &TImage::SetStretch, false);
}

TImage::TImage(TComponent* owner) : TCustomControl(owner), FPicture(new TPicture) {
    FWidth = 105;
    FHeight = 105;
    SetColor(clBtnFace);
    SetParentColor(true);
    FPicture->SetOnChange(TNotifyEvent::Of<&TImage::PictureChanged>(this));
}

TImage::~TImage() = default;

void TImage::PictureChanged(TObject*) { Invalidate(); }

void TImage::SetStretch(bool value) {
    FStretch = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    FCenter = value;
    Invalidate();
}

void TImage::Paint() {
    TCanvas* c = Canvas();
    RECT r = {0, 0, Width(), Height()};
    c->FillRect(r);
    if (FPicture->Empty()) return;
    int x = FCenter ? (Width() - FPicture->Width()) / 2 : 0;
    int y = FCenter ? (Height() - FPicture->Height()) / 2 : 0;
    if (TBitmap* bitmap = FPicture->HasBitmap() ? FPicture->Bitmap() : nullptr) {
        if (FStretch) c->StretchDraw(r, bitmap);
        else c->Draw(x, y, bitmap);
    } else {
        c->Draw(x, y, FPicture->Icon());
    }
}

// ---------------------------------------------------------------------------------------------
// List box

TAMREL_IMPLEMENT_CLASS(TCustomListBox) {
    b.Object(L"Items", &TCustomListBox::Items);
    b.Integer(L"ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight, 16);
    b.Boolean(L"Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted, false);
    b.Enum(L"Style", &TCustomListBox::Style, &TCustomListBox::SetStyle, lbStandard);
    b.Event(L"OnDrawItem", &TCustomListBox::OnDrawItem, &TCustomListBox::SetOnDrawItem);
    b.Event(L"OnMeasureItem", &TCustomListBox::OnMeasureItem, &TCustomListBox::SetOnMeasureItem);
    b.Message<&TCustomListBox::CNCommand>(CN_COMMAND);
    b.Message<&TCustomListBox::CNDrawItem>(CN_DRAWITEM);
    b.Message<&TCustomListBox::CNMeasureItem>(CN_MEASUREITEM);
}
TAMREL_IMPLEMENT_CLASS(TListBox) {}

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), FSaveItems(new TStringList), FCanvas(new TCanvas) {
    FItems.reset(new TWindowItems(this, FSaveItems.get(), kListBoxMessages, &FSorted));
    FWidth = 121;
    FHeight = 97;
    SetTabStop(true);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"LISTBOX";
    params.WinClassName = L"TamrelListBox";
    params.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
    if (FStyle == lbOwnerDrawFixed) params.Style |= LBS_OWNERDRAWFIXED;
    if (FStyle == lbOwnerDrawVariable) params.Style |= LBS_OWNERDRAWVARIABLE;
    if (FSorted) params.Style |= LBS_SORT;
    params.ExStyle |= WS_EX_CLIENTEDGE;
    if (UseRightToLeftAlignment()) params.ExStyle |= WS_EX_RIGHT;
    if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
    if (UseRightToLeftScrollBar()) params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomListBox::CreateWnd() {
    TWinControl::CreateWnd();
    if (FStyle == lbOwnerDrawFixed) SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, FItemHeight);
    RestoreWindowItems(FItems.get(), FSaveItems.get());
    SetItemIndex(FItemIndex);
    SetTopIndex(FTopIndex);
}

void TCustomListBox::DestroyWnd() {
    FItemIndex = ItemIndex();
    FTopIndex = TopIndex();
    SaveWindowItems(FItems.get(), FSaveItems.get());
    TWinControl::DestroyWnd();
}

int32_t TCustomListBox::ItemIndex() const { return WindowValue(this, LB_GETCURSEL, FItemIndex); }
void TCustomListBox::SetItemIndex(int32_t value) { SetWindowValue(this, LB_SETCURSEL, FItemIndex, value); }
int32_t TCustomListBox::TopIndex() const { return WindowValue(this, LB_GETTOPINDEX, FTopIndex); }
void TCustomListBox::SetTopIndex(int32_t value) { SetWindowValue(this, LB_SETTOPINDEX, FTopIndex, value); }

int32_t TCustomListBox::ItemHeight() const {
    if (HandleAllocated() && FStyle != lbOwnerDrawVariable)
        return static_cast<int32_t>(SendMessageW(const_cast<TCustomListBox*>(this)->Handle(), LB_GETITEMHEIGHT, 0, 0));
    return FItemHeight;
}

void TCustomListBox::SetItemHeight(int32_t value) {
    if (value <= 0 || value == FItemHeight) return;
    FItemHeight = value;
    RecreateWnd();
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    RecreateWnd();
}

void TCustomListBox::SetSorted(bool value) {
    if (value == FSorted) return;
    FSorted = value;
    RecreateWnd();
}

RECT TCustomListBox::ItemRect(int index) const {
    RECT r = {};
    if (HandleAllocated())
        SendMessageW(const_cast<TCustomListBox*>(this)->Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&r));
    return r;
}

int TCustomListBox::ItemAtPos(POINT pos, bool existing) const {
    if (!HandleAllocated()) return -1;
    int count = Count();
    for (int i = TopIndex(); i < count; ++i) {
        RECT r = ItemRect(i);
        if (r.top > pos.y) break;
        if (PtInRect(&r, pos)) return i;
    }
    return existing ? -1 : count;
}

void TCustomListBox::DrawItem(int index, RECT rect, TOwnerDrawState state) {
    if (FOnDrawItem) {
        FOnDrawItem(this, index, rect, state);
        return;
    }
    FCanvas->FillRect(rect);
    if (index >= Count()) return;
    UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (UseRightToLeftAlignment()) {
        flags |= DT_RIGHT | DT_RTLREADING;
        rect.right -= 2;
    } else {
        rect.left += 2;
    }
    FCanvas->DrawText(rect, FItems->Get(index), flags);
}

void TCustomListBox::MeasureItem(int index, int& height) {
    if (FOnMeasureItem) FOnMeasureItem(this, index, height);
}

void TCustomListBox::CNCommand(TMessage& m) {
    switch (HIWORD(m.WParam)) {
    case LBN_SELCHANGE: Click(); break;
    case LBN_DBLCLK: DblClick(); break;
    default: break;
    }
}

void TCustomListBox::CNDrawItem(TMessage& m) {
    DrawOwnerDrawnItem(this, FCanvas.get(), m,
                       [this](int i, RECT r, TOwnerDrawState state) { DrawItem(i, r, state); });
}

void TCustomListBox::CNMeasureItem(TMessage& m) {
    MeasureOwnerDrawnItem(m, FItemHeight, FStyle == lbOwnerDrawVariable, [this](int i, int& h) { MeasureItem(i, h); });
}

// ---------------------------------------------------------------------------------------------
// Combo box

TAMREL_IMPLEMENT_CLASS(TCustomComboBox) {
    b.Integer(L"DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount, 8);
    b.Object(L"Items", &TCustomComboBox::Items);
    b.Integer(L"ItemHeight", &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight, 16);
    b.Integer(L"ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex, -1);
    b.Enum(L"Style", &TCustomComboBox::Style, &TCustomComboBox::SetStyle, csDropDown);
    b.String(L"Text", &TCustomComboBox::GetText, &TCustomComboBox::SetText);
    b.Event(L"OnChange", &TCustomComboBox::OnChange, &TCustomComboBox::SetOnChange);
    b.Event(L"OnDrawItem", &TCustomComboBox::OnDrawItem, &TCustomComboBox::SetOnDrawItem);
    b.Event(L"OnMeasureItem", &TCustomComboBox::OnMeasureItem, &TCustomComboBox::SetOnMeasureItem);
    b.Message<&TCustomComboBox::CNCommand>(CN_COMMAND);
    b.Message<&TCustomComboBox::CNDrawItem>(CN_DRAWITEM);
    b.Message<&TCustomComboBox::CNMeasureItem>(CN_MEASUREITEM);
}
TAMREL_IMPLEMENT_CLASS(TComboBox) {}

namespace {
const bool kUnsortedCombo = false;
}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), FSaveItems(new TStringList), FCanvas(new TCanvas) {
    FItems.reset(new TWindowItems(this, FSaveItems.get(), kComboBoxMessages, &kUnsortedCombo));
    FWidth = 145;
    FHeight = 21;
    SetTabStop(true);
}

TCustomComboBox::~TCustomComboBox() = default;

void TCustomComboBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = L"COMBOBOX";
    params.WinClassName = L"TamrelComboBox";
    params.Style |= WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
    switch (FStyle) {
    case csDropDown: params.Style |= CBS_DROPDOWN; break;
    case csSimple: params.Style |= CBS_SIMPLE; break;
    case csDropDownList: params.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case csOwnerDrawVariable: params.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
    }
    // The window's height includes the dropped list.
    if (FStyle != csSimple) params.Height = FHeight + FDropDownCount * std::max(FItemHeight, 1);
    if (UseRightToLeftAlignment()) params.ExStyle |= WS_EX_RIGHT;
    if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
    if (UseRightToLeftScrollBar()) params.ExStyle |= WS_EX_LEFTSCROLLBAR;
}

void TCustomComboBox::CreateWnd() {
    TWinControl::CreateWnd();
    RestoreWindowItems(FItems.get(), FSaveItems.get());
    SetItemIndex(FItemIndex);
}

void TCustomComboBox::DestroyWnd() {
    FItemIndex = ItemIndex();
    SaveWindowItems(FItems.get(), FSaveItems.get());
    TWinControl::DestroyWnd();
}

int32_t TCustomComboBox::ItemIndex() const { return WindowValue(this, CB_GETCURSEL, FItemIndex); }
void TCustomComboBox::SetItemIndex(int32_t value) { SetWindowValue(this, CB_SETCURSEL, FItemIndex, value); }
int32_t TCustomComboBox::ItemHeight() const { return WindowValue(this, CB_GETITEMHEIGHT, FItemHeight); }

void TCustomComboBox::SetItemHeight(int32_t value) {
    if (value <= 0 || value == FItemHeight) return;
    FItemHeight = value;
    RecreateWnd();
}

void TCustomComboBox::SetStyle(TComboBoxStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    RecreateWnd();
}

bool TCustomComboBox::DroppedDown() const {
    return HandleAllocated() && SendMessageW(const_cast<TCustomComboBox*>(this)->Handle(), CB_GETDROPPEDSTATE, 0, 0);
}

void TCustomComboBox::SetDroppedDown(bool value) { SendMessageW(Handle(), CB_SHOWDROPDOWN, value, 0); }

void TCustomComboBox::DrawItem(int index, RECT rect, TOwnerDrawState state) {
    if (FOnDrawItem) {
        FOnDrawItem(this, index, rect, state);
        return;
    }
    FCanvas->FillRect(rect);
    if (index >= 0) FCanvas->TextOut(rect.left + 2, rect.top, FItems->Get(index));
}

void TCustomComboBox::MeasureItem(int index, int& height) {
    if (FOnMeasureItem) FOnMeasureItem(this, index, height);
}

void TCustomComboBox::Change() {
    if (FOnChange) FOnChange(this);
}

void TCustomComboBox::CNCommand(TMessage& m) {
    switch (HIWORD(m.WParam)) {
    case CBN_SELCHANGE:
        Click();
        Change();
        break;
    case CBN_EDITCHANGE:
        Change();
        break;
    default:
        break;
    }
}

void TCustomComboBox::CNDrawItem(TMessage& m) {
    DrawOwnerDrawnItem(this, FCanvas.get(), m,
                       [this](int i, RECT r, TOwnerDrawState state) { DrawItem(i, r, state); });
}

void TCustomComboBox::CNMeasureItem(TMessage& m) {
    MeasureOwnerDrawnItem(m, FItemHeight, FStyle == csOwnerDrawVariable, [this](int i, int& h) { MeasureItem(i, h); });
}

} // namespace tamrel
