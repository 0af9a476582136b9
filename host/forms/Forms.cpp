#include "host/forms/Forms.h"

#include "host/ActnList.h"
#include "host/Globals.h"
#include "host/ModalHook.h"
#include "host/forms/StdCtrls.h"
#include "host/Streaming.h"

#include <algorithm>

namespace tamrel {

namespace {

constexpr UINT_PTR kWatchdogTimer = 0x7A31;

wchar_t UpperChar(wchar_t c) {
    wchar_t s[1] = {c};
    CharUpperBuffW(s, 1);
    return s[0];
}

// The character after the single '&' of a caption ("&&" is a plain '&'), upper case; 0 for none.
wchar_t AcceleratorOf(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return UpperChar(caption[i + 1]);
        ++i;
    }
    return 0;
}

// Alt and a label's accelerator focus the label's FocusControl (the system's own dialog
// handling would move to the window after the label instead).
bool FocusByLabel(TWinControl* parent, wchar_t key) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c->Showing()) continue;
        if (auto* label = dynamic_cast<TCustomLabel*>(c)) {
            TWinControl* target = label->FocusControl();
            if (target && label->Enabled() && target->CanFocus() && AcceleratorOf(label->GetText()) == key) {
                target->SetFocus();
                return true;
            }
        } else if (auto* w = dynamic_cast<TWinControl*>(c); w && FocusByLabel(w, key)) {
            return true;
        }
    }
    return false;
}

// A key that is an action's shortcut runs the action: the action lists owned by the window with
// the focus and by each window around it up to the form are asked, the nearest first, so that a
// frame's shortcuts work wherever its focus is.
bool DispatchShortCut(const MSG& msg, HWND root) {
    TShortCut key = static_cast<TShortCut>(msg.wParam & 0xFF);
    if (GetKeyState(VK_SHIFT) < 0) key |= scShift;
    if (GetKeyState(VK_CONTROL) < 0) key |= scCtrl;
    if (GetKeyState(VK_MENU) < 0) key |= scAlt;
    for (HWND wnd = msg.hwnd; wnd; wnd = wnd == root ? nullptr : GetAncestor(wnd, GA_PARENT)) {
        TWinControl* control = TWinControl::FindControl(wnd);
        for (int i = 0; control && i < control->ComponentCount(); ++i)
            if (auto* list = dynamic_cast<TActionList*>(control->Components(i));
                list && list->IsShortCut(key))
                return true;
    }
    return false;
}

// The pump's filter: keys for a form go through the system's dialog handling.
bool FormMessageFilter(MSG& msg) {
    if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    auto* form = dynamic_cast<TCustomForm*>(TWinControl::FindControl(root));
    if (!form) return false;
    if (msg.message == WM_SYSCHAR) {
        if (FocusByLabel(form, UpperChar(static_cast<wchar_t>(msg.wParam)))) return true;
    }
    if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && DispatchShortCut(msg, root))
        return true;
    if (root != msg.hwnd && form->PreviewKey(msg)) return true;
    return IsDialogMessageW(root, &msg) != 0;
}

void InstallMessageFilter() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    HostApplication->SetMessageFilter(&FormMessageFilter);
}

// Windows of this thread that a modal form disables, so that only it takes input.
struct TDisabledWindows {
    HWND Except;
    std::vector<HWND> Windows;
};

BOOL CALLBACK DisableOne(HWND wnd, LPARAM param) {
    auto* list = reinterpret_cast<TDisabledWindows*>(param);
    if (wnd != list->Except && IsWindowVisible(wnd) && IsWindowEnabled(wnd)) {
        EnableWindow(wnd, FALSE);
        list->Windows.push_back(wnd);
    }
    return TRUE;
}

void BroadcastToControls(TWinControl* parent, UINT msg, WPARAM wParam, LPARAM lParam, bool stopAtAnswer,
                         LRESULT& answer) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        LRESULT r = c->Perform(msg, wParam, lParam);
        if (stopAtAnswer && r) {
            answer = r;
            return;
        }
        if (auto* w = dynamic_cast<TWinControl*>(c)) {
            BroadcastToControls(w, msg, wParam, lParam, stopAtAnswer, answer);
            if (stopAtAnswer && answer) return;
        }
    }
}

} // namespace

bool ReadStoredForms(TComponent* instance, const TClassInfo& base) {
    std::vector<const TClassInfo*> chain;
    // Base and the class it derives from (TForm and TCustomForm) have no stored form.
    for (const TClassInfo* c = &instance->ClassInfo(); c && c != &base && c != base.Parent(); c = c->Parent())
        chain.push_back(c);
    bool found = false;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        HMODULE module = ModuleOfClass(**it);
        std::wstring name = UpperCase((*it)->Name());
        HRSRC res = FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
        if (!res) continue;
        HGLOBAL data = LoadResource(module, res);
        const void* bytes = data ? LockResource(data) : nullptr;
        if (!bytes) RaiseLastOSError();
        ReadComponentFromText(instance, DecodeFormText(bytes, SizeofResource(module, res)));
        found = true;
    }
    return found;
}

TCustomForm* GetParentForm(TControl* control) { return dynamic_cast<TCustomForm*>(GetParentRoot(control)); }

// ---------------------------------------------------------------------------------------------
// TCustomForm

TAMREL_IMPLEMENT_CLASS(TCustomForm) {
    b.String(L"Caption", &TCustomForm::GetText, &TCustomForm::SetText);
    b.Enum(L"BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle, bsSizeable);
    b.Enum(L"Position", &TCustomForm::Position, &TCustomForm::SetPosition, poDesigned);
    b.Integer(L"ClientWidth", &TCustomForm::StoredClientWidth, &TCustomForm::SetClientWidth).StoredAlways();
    b.Integer(L"ClientHeight", &TCustomForm::StoredClientHeight, &TCustomForm::SetClientHeight).StoredAlways();
    b.Boolean(L"KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview, false);
    b.Component(L"Menu", &TCustomForm::Menu, &TCustomForm::SetMenu);
    b.Component(L"ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl);
    b.Event(L"OnCreate", &TCustomForm::OnCreate, &TCustomForm::SetOnCreate);
    b.Event(L"OnDestroy", &TCustomForm::OnDestroy, &TCustomForm::SetOnDestroy);
    b.Event(L"OnShow", &TCustomForm::OnShow, &TCustomForm::SetOnShow);
    b.Event(L"OnHide", &TCustomForm::OnHide, &TCustomForm::SetOnHide);
    b.Event(L"OnClose", &TCustomForm::OnClose, &TCustomForm::SetOnClose);
    b.Event(L"OnCloseQuery", &TCustomForm::OnCloseQuery, &TCustomForm::SetOnCloseQuery);
    b.Message<&TCustomForm::CMFocusChanged>(CM_FOCUSCHANGED);
    b.Message<&TCustomForm::CMRelease>(CM_RELEASE);
    b.Message<&TCustomForm::CMModalShown>(CM_MODALSHOWN);
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    FVisible = false;
    FWidth = 320;
    FHeight = 240;
    SetColor(clBtnFace);
    SetParentFont(false);
    Screen->FForms.push_back(this);
    InstallMessageFilter();
}

TCustomForm::~TCustomForm() {
    if (Screen.Exists()) {
        auto& forms = Screen->FForms;
        forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    }
}

void TCustomForm::AfterConstruction() {
    TWinControl::AfterConstruction();
    ReadStoredForms(this, TForm::StaticClassInfo());
    FCreating = false;
    DoCreate();
    if (FVisible) ShowNow();
}

void TCustomForm::BeforeDestruction() {
    DoDestroy();
    TWinControl::BeforeDestruction();
}

void TCustomForm::DoCreate() {
    if (FOnCreate) FOnCreate(this);
}

void TCustomForm::DoDestroy() {
    if (FOnDestroy) FOnDestroy(this);
}

void TCustomForm::DoShow() {
    if (FOnShow) FOnShow(this);
}

void TCustomForm::DoHide() {
    if (FOnHide) FOnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (FOnClose) FOnClose(this, action);
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    params.ExStyle = WS_EX_CONTROLPARENT;
    switch (FBorderStyle) {
    case bsNone: params.Style |= WS_POPUP; break;
    case bsSingle: params.Style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX; break;
    case bsSizeable: params.Style |= WS_OVERLAPPEDWINDOW; break;
    case bsDialog:
        params.Style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case bsToolWindow:
        params.Style |= WS_CAPTION | WS_SYSMENU;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    case bsSizeToolWin:
        params.Style |= WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
        params.ExStyle |= WS_EX_TOOLWINDOW;
        break;
    }
    if (UseRightToLeftReading()) params.ExStyle |= WS_EX_RTLREADING;
    if (FPosition == poDefault || FPosition == poDefaultPosOnly) params.X = params.Y = CW_USEDEFAULT;
    if (FPosition == poDefault || FPosition == poDefaultSizeOnly) params.Width = params.Height = CW_USEDEFAULT;
    params.WndParent = HostApplication->Handle();
    params.WinClassName = L"TamrelForm";
    params.ClassStyle = CS_DBLCLKS;
    // A top-level window's id is its menu bar.
    if (FMenu && !(params.Style & WS_CHILD)) params.Id = FMenu->Handle();
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    if (FMenu) FMenu->SetWindow(Handle());
}

void TCustomForm::DestroyWnd() {
    // The window would destroy its menu bar with it.
    if (FMenu && HandleAllocated()) {
        ::SetMenu(Handle(), nullptr);
        FMenu->SetWindow(nullptr);
    }
    TWinControl::DestroyWnd();
}

void TCustomForm::SetMenu(TMainMenu* value) {
    if (value == FMenu) return;
    if (FMenu) {
        FMenu->RemoveFreeNotification(this);
        if (HandleAllocated()) FMenu->SetWindow(nullptr);
    }
    FMenu = value;
    if (value) value->FreeNotification(this);
    if (!HandleAllocated()) return;
    if (!::SetMenu(Handle(), value ? value->Handle() : nullptr)) RaiseLastOSError();
    if (value) value->SetWindow(Handle());
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TCustomForm::SetClientWidth(int32_t value) {
    // The frame depends on the border style, which a stored form may name later.
    if (ComponentState().Contains(csLoading)) FPendingClientWidth = value;
    else TWinControl::SetClientWidth(value);
}

void TCustomForm::SetClientHeight(int32_t value) {
    if (ComponentState().Contains(csLoading)) FPendingClientHeight = value;
    else TWinControl::SetClientHeight(value);
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    if (FPendingClientWidth >= 0) TWinControl::SetClientWidth(FPendingClientWidth);
    if (FPendingClientHeight >= 0) TWinControl::SetClientHeight(FPendingClientHeight);
    FPendingClientWidth = FPendingClientHeight = -1;
    Realign();
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    TWinControl::Notification(component, operation);
    if (operation == opRemove && component == FActiveControl) FActiveControl = nullptr;
    if (operation == opRemove && component == FMenu) {
        if (HandleAllocated()) ::SetMenu(Handle(), nullptr);
        FMenu = nullptr;
    }
}

void TCustomForm::SetActiveControl(TWinControl* value) {
    if (value == FActiveControl) return;
    if (value && (value == this || !ContainsControl(value)))
        throw EInvalidOperation(L"Invalid ActiveControl for %s", Name());
    if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
    FActiveControl = value;
    if (value) value->FreeNotification(this);
    if (value && HandleAllocated() && IsWindowVisible(Handle()) && value->CanFocus()) value->SetFocus();
}

void TCustomForm::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    SetForegroundWindow(Handle());
    if (FActiveControl && FActiveControl->CanFocus()) FActiveControl->SetFocus();
    else ::SetFocus(Handle());
}

void TCustomForm::PropertyChanged(UINT cm) {
    if (cm == CM_VISIBLECHANGED) {
        // Shown once the stored form is read and OnCreate has run.
        if (FCreating || ComponentState().Contains(csLoading)) return;
        if (Visible()) ShowNow();
        else HideNow();
        TControl::PropertyChanged(cm);
        return;
    }
    TWinControl::PropertyChanged(cm);
}

void TCustomForm::ShowNow() {
    HWND wnd = Handle();
    if (IsWindowVisible(wnd)) return;
    if (!FShown) {
        FShown = true;
        ApplyPosition();
    }
    DoShow();
    ShowWindow(wnd, SW_SHOW);
    SetForegroundWindow(wnd);
    FocusFirst();
    // A modeless form is reported to the hook too (WParam 1), from the loop that serves it.
    if (!FModal && ModalHookInstalled()) PostMessageW(wnd, CM_MODALSHOWN, 1, 0);
}

void TCustomForm::HideNow() {
    if (!HandleAllocated() || !IsWindowVisible(Handle())) return;
    DoHide();
    ShowWindow(Handle(), SW_HIDE);
}

void TCustomForm::FocusFirst() {
    if (FActiveControl && FActiveControl->CanFocus()) {
        FActiveControl->SetFocus();
        return;
    }
    if (HWND first = GetNextDlgTabItem(Handle(), nullptr, FALSE)) ::SetFocus(first);
    else ::SetFocus(Handle());
}

void TCustomForm::ApplyPosition() {
    auto centreOn = [this](const RECT& r) {
        SetBounds(r.left + (RectWidth(r) - Width()) / 2, r.top + (RectHeight(r) - Height()) / 2, Width(), Height());
    };
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    TCustomForm* other = nullptr;
    if (FPosition == poOwnerFormCenter) other = dynamic_cast<TCustomForm*>(Owner());
    if (FPosition == poMainFormCenter || (FPosition == poOwnerFormCenter && !other))
        other = HostApplication.Exists() ? dynamic_cast<TCustomForm*>(HostApplication->MainForm()) : nullptr;
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
        centreOn(screen);
        break;
    case poMainFormCenter:
    case poOwnerFormCenter:
        if (other && other != this && other->HandleAllocated()) {
            RECT r = {};
            GetWindowRect(other->Handle(), &r);
            centreOn(r);
        } else {
            centreOn(screen);
        }
        break;
    default:
        break;
    }
}

bool TCustomForm::PreviewKey(MSG& msg) {
    if (!FKeyPreview) return false;
    if (msg.message == WM_KEYDOWN) {
        WORD key = static_cast<WORD>(msg.wParam);
        KeyDown(key, KeyboardShiftState());
        if (!key) return true;
        msg.wParam = key;
    } else if (msg.message == WM_CHAR) {
        wchar_t key = static_cast<wchar_t>(msg.wParam);
        KeyPress(key);
        if (!key) return true;
        msg.wParam = key;
    }
    return false;
}

void TCustomForm::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_TIMER:
        if (m.WParam == kWatchdogTimer) {
            KillTimer(Handle(), kWatchdogTimer);
            if (FModal && FModalResult == mrNone) {
                FModalResult = mrCancel;
                ModalWatchdogFired(L"form " + Name() + L" (" + ClassName() + L") was still open");
            }
            return;
        }
        break;
    case WM_INITMENUPOPUP:
        if (FMenu && !HIWORD(m.LParam) && FMenu->DispatchPopup(reinterpret_cast<HMENU>(m.WParam))) {
            m.Result = 0;
            return;
        }
        break;
    case WM_COMMAND:
        // A command of the menu bar.
        if (FMenu && m.LParam == 0 && HIWORD(m.WParam) == 0 && FMenu->DispatchCommand(LOWORD(m.WParam))) return;
        // Enter and Esc as the system's dialog handling reports them.
        if (m.LParam == 0 || !FindControl(reinterpret_cast<HWND>(m.LParam))) {
            if (LOWORD(m.WParam) == IDOK || LOWORD(m.WParam) == IDCANCEL) {
                LRESULT answer = 0;
                BroadcastToControls(this, CM_DIALOGKEY, LOWORD(m.WParam) == IDOK ? VK_RETURN : VK_ESCAPE, 0, true,
                                    answer);
                return;
            }
        }
        break;
    case WM_ACTIVATE:
        TWinControl::WndProc(m);
        // Back to the control that had the focus.
        if (LOWORD(m.WParam) != WA_INACTIVE && FActiveControl && FActiveControl->CanFocus() &&
            !HIWORD(m.WParam))
            ::SetFocus(FActiveControl->Handle());
        return;
    default:
        break;
    }
    TWinControl::WndProc(m);
}

void TCustomForm::CMFocusChanged(TMessage& m) {
    auto* control = reinterpret_cast<TWinControl*>(m.LParam);
    if (control && control != this && ContainsControl(control) && control != FActiveControl) {
        if (FActiveControl) FActiveControl->RemoveFreeNotification(this);
        FActiveControl = control;
        control->FreeNotification(this);
    }
    LRESULT ignored = 0;
    BroadcastToControls(this, CM_FOCUSCHANGED, 0, m.LParam, false, ignored);
}

void TCustomForm::CMRelease(TMessage&) { Free(this); }

void TCustomForm::Release() {
    if (HandleAllocated()) PostMessageW(Handle(), CM_RELEASE, 0, 0);
    else Free(this);
}

void TCustomForm::CMModalShown(TMessage& m) {
    const bool modeless = m.WParam == 1;
    if (modeless ? FModal || !IsWindowVisible(Handle()) : !FModal) return;
    // The hook sees the form as a user would: painted.
    RedrawWindow(Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    TModalWindow modal;
    modal.Kind = modeless ? TModalKind::mkModelessForm : TModalKind::mkForm;
    modal.Window = Handle();
    modal.Form = this;
    modal.Caption = GetText();
    NotifyModalShown(modal);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (FOnCloseQuery) FOnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::Close() {
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (HostApplication.Exists() && HostApplication->MainForm() == this) {
        HideNow();
        HostApplication->Terminate();
        return;
    }
    switch (action) {
    case caHide: Hide(); break;
    case caMinimize: ShowWindow(Handle(), SW_MINIMIZE); break;
    case caFree: Release(); break;
    default: break;
    }
}

void TCustomForm::CloseModal() {
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone) FModalResult = mrNone;
    else if (action == caFree) Release();
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || !Enabled() || FModal) throw EInvalidOperation(L"Cannot make a visible window modal");
    HWND wnd = Handle();
    if (GetCapture()) ReleaseCapture();
    HWND previous = GetActiveWindow();
    TDisabledWindows disabled{wnd, {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
    TModalScope scope;
    FModal = true;
    FModalResult = mrNone;
    TScopeExit end([&] {
        if (IsWindow(wnd)) KillTimer(wnd, kWatchdogTimer);
        FModal = false;
        for (HWND w : disabled.Windows)
            if (IsWindow(w)) EnableWindow(w, TRUE);
        if (IsWindow(wnd)) Hide();
        if (previous && IsWindow(previous)) SetActiveWindow(previous);
    });
    Show();
    PostMessageW(wnd, CM_MODALSHOWN, 0, 0);
    if (ModalHookInstalled())
        if (DWORD limit = ModalWatchdog()) SetTimer(wnd, kWatchdogTimer, limit, nullptr);
    THostApplication& app = *HostApplication;
    do {
        app.HandleMessage();
        if (app.Terminated()) FModalResult = mrCancel;
        else if (FModalResult != mrNone) CloseModal();
    } while (FModalResult == mrNone);
    return FModalResult;
}

// ---------------------------------------------------------------------------------------------
// TCustomFrame

TAMREL_IMPLEMENT_CLASS(TForm) {}
TAMREL_IMPLEMENT_CLASS(TCustomFrame) {}
TAMREL_IMPLEMENT_CLASS(TFrame) {}

TCustomFrame::TCustomFrame(TComponent* owner) : TWinControl(owner) {
    FWidth = 320;
    FHeight = 240;
    SetColor(clBtnFace);
    SetParentColor(true);
    SetTabStop(true);
}

void TCustomFrame::AfterConstruction() {
    TWinControl::AfterConstruction();
    ReadStoredForms(this, TFrame::StaticClassInfo());
}

void TCustomFrame::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.ExStyle |= WS_EX_CONTROLPARENT;
    params.Style |= WS_CLIPCHILDREN;
    params.WinClassName = L"TamrelFrame";
}

// ---------------------------------------------------------------------------------------------
// TScreen

TAMREL_IMPLEMENT_CLASS(TScreen) {}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TCustomForm* TScreen::ActiveForm() const {
    return dynamic_cast<TCustomForm*>(TWinControl::FindControl(GetActiveWindow()));
}

TWinControl* TScreen::ActiveControl() const { return TWinControl::FindControl(GetFocus()); }

namespace {
using TScreenHolder = TGlobalComponent<TScreen>;
TScreenHolder& ScreenHolder() {
    static TLibraryGlobal<TScreenHolder> global;
    return *global;
}
} // namespace

TScreen* TScreenRef::Get() const { return ScreenHolder().Get(); }
bool TScreenRef::Exists() const { return TScreenHolder::Alive(); }

} // namespace tamrel
