// Forms and frames made from their stored form, modal forms, and the screen object.
//
// A stored form is the RCDATA resource named after the class (in upper case), in the text form
// of host/Streaming.h. It is looked up in the module that defines the class — the library's
// own forms in the library, a program's forms in the program — and for each class between the
// form classes of this unit and the created class, base class first (a form derived from a
// stored form reads both). A form class without a stored form is simply empty.
//
// Forms join the host application: THostApplication::CreateForm makes a form owned by the
// application, the first one becomes the main form, and closing the main form ends Run. The
// application's pump hands keyboard messages for a form to IsDialogMessage, so Tab moves the
// focus, Enter presses the default button (or the focused one) and Esc the cancel button.
//
// ShowModal runs its own loop until ModalResult is set; the modal hook of host/ModalHook.h is
// called once the form is visible, and its watchdog guards the loop.
#pragma once

#include "host/Api.h"

#include "host/forms/Controls.h"
#include "host/HostApplication.h"
#include "host/Menus.h"

namespace tamrel {

TAMREL_ENUM(TFormBorderStyle, bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin);
TAMREL_ENUM(TPosition, poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
            poMainFormCenter, poOwnerFormCenter);
TAMREL_ENUM(TCloseAction, caNone, caHide, caFree, caMinimize);

using TCloseEvent = TMethod<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = TMethod<void(TObject* Sender, bool& CanClose)>;

// Reads the stored forms of Instance's classes below Base and Base's parent (TForm and
// TCustomForm, or TFrame and TCustomFrame), base class first; answers whether any was found.
TAMREL_API bool ReadStoredForms(TComponent* instance, const TClassInfo& base);

class TAMREL_API TCustomForm : public TWinControl, public IMainForm {
    TAMREL_CLASS(TCustomForm, TWinControl)
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    // Reads the stored form, then OnCreate; a form stored visible is shown after that.
    void AfterConstruction() override;
    // OnDestroy, then the form and its controls go.
    void BeforeDestruction() override;

    TFormBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition value) { FPosition = value; }
    // The control that gets the focus when the form is shown; follows the focus after that.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* value);
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool value) { FKeyPreview = value; }
    // The menu bar; not owned. Its commands and the opening of its sub-menus reach the items.
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* value);

    // Shows the form and waits until ModalResult is set (by a button, Close, the hook...);
    // answers it. Raises EInvalidOperation for a visible or disabled form.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value) { FModalResult = value; }
    bool Modal() const { return FModal; }
    // Asks OnCloseQuery, then OnClose decides: hide (the default), free, minimize or nothing. A
    // modal form gets mrCancel; the main form ends the application.
    void Close();
    bool CloseQuery();
    // Frees the form once the messages already waiting for it are handled.
    void Release();
    void SetFocus() override;

    TNotifyEvent OnCreate() const { return FOnCreate; }
    void SetOnCreate(TNotifyEvent e) { FOnCreate = e; }
    TNotifyEvent OnDestroy() const { return FOnDestroy; }
    void SetOnDestroy(TNotifyEvent e) { FOnDestroy = e; }
    TNotifyEvent OnShow() const { return FOnShow; }
    void SetOnShow(TNotifyEvent e) { FOnShow = e; }
    TNotifyEvent OnHide() const { return FOnHide; }
    void SetOnHide(TNotifyEvent e) { FOnHide = e; }
    TCloseEvent OnClose() const { return FOnClose; }
    void SetOnClose(TCloseEvent e) { FOnClose = e; }
    TCloseQueryEvent OnCloseQuery() const { return FOnCloseQuery; }
    void SetOnCloseQuery(TCloseQueryEvent e) { FOnCloseQuery = e; }

    void SetClientWidth(int32_t value) override;
    void SetClientHeight(int32_t value) override;
    int32_t StoredClientWidth() { return ClientWidth(); }
    int32_t StoredClientHeight() { return ClientHeight(); }
    void Notification(TComponent* component, TOperation operation) override;
    void Loaded() override;
    void WndProc(TMessage& message) override;
    // With KeyPreview, a key for one of the form's controls goes to the form's key events
    // first; answers true when they cleared it.
    bool PreviewKey(MSG& msg);

    // IMainForm
    void ShowMainForm() override { Show(); }
    HWND FormHandle() const override { return const_cast<TCustomForm*>(this)->Handle(); }

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void PropertyChanged(UINT cm) override;
    bool StoredSize() const override { return false; }
    virtual void DoCreate();
    virtual void DoDestroy();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(TCloseAction& action);

private:
    void ShowNow();
    void HideNow();
    void ApplyPosition();
    void FocusFirst();
    void CloseModal();
    void CMFocusChanged(TMessage& m);
    void CMRelease(TMessage& m);
    void CMModalShown(TMessage& m);

    TFormBorderStyle FBorderStyle = bsSizeable;
    TPosition FPosition = poDesigned;
    TWinControl* FActiveControl = nullptr;
    TMainMenu* FMenu = nullptr;
    bool FKeyPreview = false;
    TModalResult FModalResult = mrNone;
    bool FModal = false;
    bool FShown = false;    // positioned once
    bool FCreating = true;  // until OnCreate has run
    int32_t FPendingClientWidth = -1, FPendingClientHeight = -1;
    TNotifyEvent FOnCreate, FOnDestroy, FOnShow, FOnHide;
    TCloseEvent FOnClose;
    TCloseQueryEvent FOnCloseQuery;
};

class TAMREL_API TForm : public TCustomForm {
    TAMREL_CLASS(TForm, TCustomForm)
public:
    explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// A frame: a group of controls stored like a form, placed in a form or another control.
class TAMREL_API TCustomFrame : public TWinControl {
    TAMREL_CLASS(TCustomFrame, TWinControl)
public:
    explicit TCustomFrame(TComponent* owner);
    void AfterConstruction() override;
    // Asked before the window that holds the frame closes; False keeps it open.
    virtual bool CloseQuery() { return true; }

protected:
    void CreateParams(TCreateParams& params) override;
};

class TAMREL_API TFrame : public TCustomFrame {
    TAMREL_CLASS(TFrame, TCustomFrame)
public:
    explicit TFrame(TComponent* owner) : TCustomFrame(owner) {}
};

// The form a control sits in, or null.
TAMREL_API TCustomForm* GetParentForm(TControl* control);

// ---------------------------------------------------------------------------------------------
// The screen: its size and density, the forms of the process, the active ones.

class TAMREL_API TScreen : public TComponent {
    TAMREL_CLASS(TScreen, TComponent)
public:
    explicit TScreen(TComponent* owner);
    int32_t Width() const { return GetSystemMetrics(SM_CXSCREEN); }
    int32_t Height() const { return GetSystemMetrics(SM_CYSCREEN); }
    int32_t PixelsPerInch() const { return ScreenPixelsPerInch(); }
    int FormCount() const { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int index) const { return FForms.at(static_cast<size_t>(index)); }
    // The form that holds the active window of this thread, and its focused control.
    TCustomForm* ActiveForm() const;
    TWinControl* ActiveControl() const;

private:
    friend class TCustomForm;
    std::vector<TCustomForm*> FForms;
};

class TAMREL_API TScreenRef {
public:
    TScreen* operator->() const { return Get(); }
    TScreen& operator*() const { return *Get(); }
    TScreen* Get() const;
    bool Exists() const;
};
// The one screen object: made on first use.
inline constexpr TScreenRef Screen{};

} // namespace tamrel
