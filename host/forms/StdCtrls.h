// Standard controls: label, edit, memo, button (Default, Cancel, ModalResult), check box, radio
// button, group box, panel, image, and the list and combo boxes whose Items live in the
// control's window, with their owner-draw styles.
#pragma once

#include "host/Api.h"

#include "host/forms/Controls.h"

namespace tamrel {

TAMREL_ENUM(TOwnerDrawStateFlag, odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight,
            odInactive, odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit);
// The bits of DRAWITEMSTRUCT.itemState, one flag per ODS_ bit.
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;
using TDrawItemEvent = TMethod<void(TWinControl* Control, int Index, RECT Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = TMethod<void(TWinControl* Control, int Index, int& Height)>;

// ---------------------------------------------------------------------------------------------
// Label

class TAMREL_API TCustomLabel : public TWinControl {
    TAMREL_CLASS(TCustomLabel, TWinControl)
public:
    explicit TCustomLabel(TComponent* owner);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    // The label takes the size of its text (on one line unless WordWrap).
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    // The control whose focus an accelerator of the caption moves to.
    TWinControl* FocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* value) { FFocusControl = value; }
    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void PropertyChanged(UINT cm) override;
    void AdjustBounds();
    void CNCommand(TMessage& m);

private:
    TAlignment FAlignment = taLeftJustify;
    bool FAutoSize = true;
    bool FWordWrap = false;
    TWinControl* FFocusControl = nullptr;
};

class TAMREL_API TLabel : public TCustomLabel {
    TAMREL_CLASS(TLabel, TCustomLabel)
public:
    explicit TLabel(TComponent* owner) : TCustomLabel(owner) {}
};

// ---------------------------------------------------------------------------------------------
// Edit and memo

class TAMREL_API TCustomEdit : public TWinControl {
    TAMREL_CLASS(TCustomEdit, TWinControl)
public:
    explicit TCustomEdit(TComponent* owner);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    int32_t MaxLength() const { return FMaxLength; }
    void SetMaxLength(int32_t value);
    wchar_t PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(wchar_t value);
    void SelectAll();
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    virtual void Change();
    void CNCommand(TMessage& m);

private:
    int32_t GetPasswordCharValue() const { return FPasswordChar; }
    void SetPasswordCharValue(int32_t v) { SetPasswordChar(static_cast<wchar_t>(v)); }
    bool FReadOnly = false;
    int32_t FMaxLength = 0;
    wchar_t FPasswordChar = 0;
    TNotifyEvent FOnChange;
};

class TAMREL_API TEdit : public TCustomEdit {
    TAMREL_CLASS(TEdit, TCustomEdit)
public:
    explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

TAMREL_ENUM(TScrollStyle, scNone, scHorizontal, scVertical, scBoth);

class TAMREL_API TCustomMemo : public TCustomEdit {
    TAMREL_CLASS(TCustomMemo, TCustomEdit)
public:
    explicit TCustomMemo(TComponent* owner);
    ~TCustomMemo() override;
    // The text as lines (over the window text).
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value) { FLines->Assign(value); }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }

protected:
    void CreateParams(TCreateParams& params) override;
    void PropertyChanged(UINT cm) override;
    void WMGetDlgCode(TMessage& m);

private:
    std::unique_ptr<TStrings> FLines;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = scNone;
    bool FWantReturns = true;
};

class TAMREL_API TMemo : public TCustomMemo {
    TAMREL_CLASS(TMemo, TCustomMemo)
public:
    explicit TMemo(TComponent* owner) : TCustomMemo(owner) {}
};

// ---------------------------------------------------------------------------------------------
// Buttons

class TAMREL_API TButton : public TWinControl {
    TAMREL_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);
    // Enter presses the default button unless another button has the focus.
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    // Esc presses the cancel button.
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    // Given to the form's ModalResult when the button is pressed.
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }
    void Click() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CNCommand(TMessage& m);
    void CMDialogKey(TMessage& m);
    void CMFocusChanged(TMessage& m);

private:
    void SetActive(bool active);
    bool FDefault = false;
    bool FCancel = false;
    bool FActive = false;
    TModalResult FModalResult = mrNone;
};

TAMREL_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed);

class TAMREL_API TCheckBox : public TWinControl {
    TAMREL_CLASS(TCheckBox, TWinControl)
public:
    explicit TCheckBox(TComponent* owner);
    bool AllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool value) { FAllowGrayed = value; }
    // Setting the state from code reports the click, as a user's click does.
    TCheckBoxState State() const { return FState; }
    void SetState(TCheckBoxState value);
    bool Checked() const { return FState == cbChecked; }
    void SetChecked(bool value) { SetState(value ? cbChecked : cbUnchecked); }
    // taRightJustify: the text right of the box.
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    // Moves to the next state: unchecked, checked, then grayed when allowed.
    virtual void Toggle();
    void CNCommand(TMessage& m);

private:
    bool FAllowGrayed = false;
    TCheckBoxState FState = cbUnchecked;
    TAlignment FAlignment = taRightJustify;
};

class TAMREL_API TRadioButton : public TWinControl {
    TAMREL_CLASS(TRadioButton, TWinControl)
public:
    explicit TRadioButton(TComponent* owner);
    // Checking a radio button unchecks the others of its parent and reports the click.
    bool Checked() const { return FChecked; }
    void SetChecked(bool value);

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void CNCommand(TMessage& m);

private:
    bool FChecked = false;
};

// ---------------------------------------------------------------------------------------------
// Containers and image

class TAMREL_API TCustomGroupBox : public TCustomControl {
    TAMREL_CLASS(TCustomGroupBox, TCustomControl)
public:
    explicit TCustomGroupBox(TComponent* owner);
    // Below the caption, inside the frame.
    RECT ClientRect() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void PropertyChanged(UINT cm) override;
};

class TAMREL_API TGroupBox : public TCustomGroupBox {
    TAMREL_CLASS(TGroupBox, TCustomGroupBox)
public:
    explicit TGroupBox(TComponent* owner) : TCustomGroupBox(owner) {}
};

TAMREL_ENUM(TBevelCut, bvNone, bvLowered, bvRaised, bvSpace);

class TAMREL_API TCustomPanel : public TCustomControl {
    TAMREL_CLASS(TCustomPanel, TCustomControl)
public:
    explicit TCustomPanel(TComponent* owner);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void PropertyChanged(UINT cm) override;

private:
    TBevelCut FBevelOuter = bvRaised;
    TAlignment FAlignment = taCenter;
};

class TAMREL_API TPanel : public TCustomPanel {
    TAMREL_CLASS(TPanel, TCustomPanel)
public:
    explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

class TAMREL_API TImage : public TCustomControl {
    TAMREL_CLASS(TImage, TCustomControl)
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;
    TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(TPicture* value) { FPicture->Assign(value); }
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);

protected:
    void Paint() override;

private:
    void PictureChanged(TObject* sender);
    std::unique_ptr<TPicture> FPicture;
    bool FStretch = false;
    bool FCenter = false;
};

// ---------------------------------------------------------------------------------------------
// List box

TAMREL_ENUM(TListBoxStyle, lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable);

class TAMREL_API TCustomListBox : public TWinControl {
    TAMREL_CLASS(TCustomListBox, TWinControl)
public:
    explicit TCustomListBox(TComponent* owner);
    ~TCustomListBox() override;

    // The items live in the window; before it exists (and while it is made anew) they wait in
    // the control.
    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    int Count() const { return FItems->Count(); }
    int32_t ItemIndex() const;
    void SetItemIndex(int32_t value);
    int32_t TopIndex() const;
    void SetTopIndex(int32_t value);
    // The height of the items: the window's once it exists (not for variable heights).
    int32_t ItemHeight() const;
    void SetItemHeight(int32_t value);
    TListBoxStyle Style() const { return FStyle; }
    void SetStyle(TListBoxStyle value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    RECT ItemRect(int index) const;
    // The item at a client point; -1 when Existing and no item is there.
    int ItemAtPos(POINT pos, bool existing) const;
    // The canvas of an owner-draw item (valid while the item is drawn).
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Clear() { FItems->Clear(); }

    TDrawItemEvent OnDrawItem() const { return FOnDrawItem; }
    void SetOnDrawItem(TDrawItemEvent e) { FOnDrawItem = e; }
    TMeasureItemEvent OnMeasureItem() const { return FOnMeasureItem; }
    void SetOnMeasureItem(TMeasureItemEvent e) { FOnMeasureItem = e; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void DrawItem(int index, RECT rect, TOwnerDrawState state);
    virtual void MeasureItem(int index, int& height);
    void CNCommand(TMessage& m);
    void CNDrawItem(TMessage& m);
    void CNMeasureItem(TMessage& m);

private:
    friend class TListBoxStrings;
    std::unique_ptr<TStrings> FItems;
    std::unique_ptr<TStringList> FSaveItems; // the items while there is no window
    std::unique_ptr<TCanvas> FCanvas;
    int32_t FItemIndex = -1;
    int32_t FTopIndex = 0;
    int32_t FItemHeight = 16;
    TListBoxStyle FStyle = lbStandard;
    bool FSorted = false;
    TDrawItemEvent FOnDrawItem;
    TMeasureItemEvent FOnMeasureItem;
};

class TAMREL_API TListBox : public TCustomListBox {
    TAMREL_CLASS(TListBox, TCustomListBox)
public:
    explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};

// ---------------------------------------------------------------------------------------------
// Combo box

TAMREL_ENUM(TComboBoxStyle, csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable);

class TAMREL_API TCustomComboBox : public TWinControl {
    TAMREL_CLASS(TCustomComboBox, TWinControl)
public:
    explicit TCustomComboBox(TComponent* owner);
    ~TCustomComboBox() override;

    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->Assign(value); }
    int32_t ItemIndex() const;
    void SetItemIndex(int32_t value);
    int32_t ItemHeight() const;
    void SetItemHeight(int32_t value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    int32_t DropDownCount() const { return FDropDownCount; }
    void SetDropDownCount(int32_t value) { FDropDownCount = value; }
    bool DroppedDown() const;
    void SetDroppedDown(bool value);
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Clear() { FItems->Clear(); }

    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    TDrawItemEvent OnDrawItem() const { return FOnDrawItem; }
    void SetOnDrawItem(TDrawItemEvent e) { FOnDrawItem = e; }
    TMeasureItemEvent OnMeasureItem() const { return FOnMeasureItem; }
    void SetOnMeasureItem(TMeasureItemEvent e) { FOnMeasureItem = e; }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void DrawItem(int index, RECT rect, TOwnerDrawState state);
    virtual void MeasureItem(int index, int& height);
    virtual void Change();
    void CNCommand(TMessage& m);
    void CNDrawItem(TMessage& m);
    void CNMeasureItem(TMessage& m);

    int32_t FItemHeight = 16;

private:
    friend class TComboBoxStrings;
    std::unique_ptr<TStrings> FItems;
    std::unique_ptr<TStringList> FSaveItems;
    std::unique_ptr<TCanvas> FCanvas;
    int32_t FItemIndex = -1;
    TComboBoxStyle FStyle = csDropDown;
    int32_t FDropDownCount = 8;
    TNotifyEvent FOnChange;
    TDrawItemEvent FOnDrawItem;
    TMeasureItemEvent FOnMeasureItem;
};

class TAMREL_API TComboBox : public TCustomComboBox {
    TAMREL_CLASS(TComboBox, TCustomComboBox)
public:
    explicit TComboBox(TComponent* owner) : TCustomComboBox(owner) {}
};

} // namespace tamrel
