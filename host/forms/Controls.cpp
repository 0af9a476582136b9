#include "host/forms/Controls.h"

#include "host/ExceptionBoundary.h"
#include "host/HiddenWindow.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

namespace tamrel {

LRESULT CALLBACK ControlWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

constexpr wchar_t kControlProp[] = L"TamrelControl";

// The control this thread is making a window for, from CreateWindowEx until it returns:
// messages for the new window, and WM_MEASUREITEM sent to its parent meanwhile, belong to it.
thread_local TWinControl* tCreating = nullptr;

struct TClassTable {
    std::mutex Lock;
    std::map<std::wstring, WNDPROC> DefaultProcs; // by registered class name
};

TClassTable& Classes() {
    static TClassTable table;
    return table;
}

WNDPROC DefaultProcOf(HWND wnd) {
    wchar_t name[256] = {};
    GetClassNameW(wnd, name, 256);
    std::lock_guard lock(Classes().Lock);
    auto it = Classes().DefaultProcs.find(name);
    return it != Classes().DefaultProcs.end() ? it->second : DefWindowProcW;
}

// Registers the class a window is made of on first use; answers the procedure that does the
// default handling of its windows.
WNDPROC EnsureWindowClass(const TCreateParams& params) {
    std::lock_guard lock(Classes().Lock);
    auto it = Classes().DefaultProcs.find(params.WinClassName);
    if (it != Classes().DefaultProcs.end()) return it->second;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    WNDPROC def = DefWindowProcW;
    if (!params.SysClassName.empty()) {
        if (!GetClassInfoExW(nullptr, params.SysClassName.c_str(), &wc)) RaiseLastOSError();
        def = wc.lpfnWndProc;
        wc.style &= ~CS_GLOBALCLASS;
    } else {
        wc.style = params.ClassStyle;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    }
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ControlWindowProc;
    wc.hInstance = ThisModuleHandle();
    wc.lpszClassName = params.WinClassName.c_str();
    wc.lpszMenuName = nullptr;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
    Classes().DefaultProcs[params.WinClassName] = def;
    return def;
}

// Child window ids: never IDOK or IDCANCEL, which dialog keys send to a form.
HMENU NextControlId() {
    static std::atomic<unsigned> next{0};
    return reinterpret_cast<HMENU>(static_cast<uintptr_t>(0x100 + next++ % 0x7E00));
}

bool IsMouseDown(UINT msg) {
    return msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN || msg == WM_LBUTTONDBLCLK ||
           msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
}

bool IsMouseUp(UINT msg) { return msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP; }

TMouseButton MouseButtonOf(UINT msg) {
    switch (msg) {
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return mbRight;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return mbMiddle;
    default: return mbLeft;
    }
}

} // namespace

LRESULT CALLBACK ControlWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* control = static_cast<TWinControl*>(GetPropW(wnd, kControlProp));
    if (!control) {
        // The first messages of a window reach here from inside CreateWindowEx.
        TWinControl* creating = tCreating;
        if (creating && !creating->FHandle) {
            creating->AttachHandle(wnd);
            control = creating;
        }
    }
    if (!control) return CallWindowProcW(DefaultProcOf(wnd), wnd, msg, wParam, lParam);
    TMessage m{msg, wParam, lParam, 0};
    CatchLog([&] { control->WndProc(m); }, ReportWindowException);
    // The control may be gone now (a form freed by its release message): only the window's
    // last message still finds it whole, from the destructor's DestroyWindow.
    if (msg == WM_NCDESTROY) control->DetachHandle();
    return m.Result;
}

TShiftState KeyboardShiftState() {
    TShiftState s;
    if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    return s;
}

TShiftState MouseShiftState(WPARAM keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s.Include(ssShift);
    if (keys & MK_CONTROL) s.Include(ssCtrl);
    if (keys & MK_LBUTTON) s.Include(ssLeft);
    if (keys & MK_RBUTTON) s.Include(ssRight);
    if (keys & MK_MBUTTON) s.Include(ssMiddle);
    if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
    return s;
}

TWinControl* GetParentRoot(TControl* control) {
    if (!control) return nullptr;
    while (control->Parent()) control = control->Parent();
    return dynamic_cast<TWinControl*>(control);
}

// ---------------------------------------------------------------------------------------------
// TControl

TAMREL_IMPLEMENT_CLASS(TControl) {
    b.Integer(L"Left", &TControl::Left, &TControl::SetLeft).StoredAlways();
    b.Integer(L"Top", &TControl::Top, &TControl::SetTop).StoredAlways();
    b.Integer(L"Width", &TControl::Width, &TControl::SetWidth).Stored(&TControl::StoredSize);
    b.Integer(L"Height", &TControl::Height, &TControl::SetHeight).Stored(&TControl::StoredSize);
    b.Enum(L"Align", &TControl::Align, &TControl::SetAlign, alNone);
    b.Enum(L"BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode, bdLeftToRight).Stored(&TControl::StoredBiDiMode);
    b.Boolean(L"ParentBiDiMode", &TControl::ParentBiDiMode, &TControl::SetParentBiDiMode, true);
    b.Integer(L"Color", &TControl::Color, &TControl::SetColor).Stored(&TControl::StoredColor);
    b.Boolean(L"ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
    b.Boolean(L"Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
    b.Object(L"Font", &TControl::Font).Stored(&TControl::StoredFont);
    b.Boolean(L"ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
    b.Boolean(L"Visible", &TControl::Visible, &TControl::SetVisible, true);
    b.String(L"Hint", &TControl::Hint, &TControl::SetHint);
    b.Boolean(L"ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false);
    b.Event(L"OnClick", &TControl::OnClick, &TControl::SetOnClick);
    b.Event(L"OnDblClick", &TControl::OnDblClick, &TControl::SetOnDblClick);
    b.Event(L"OnMouseDown", &TControl::OnMouseDown, &TControl::SetOnMouseDown);
    b.Event(L"OnMouseMove", &TControl::OnMouseMove, &TControl::SetOnMouseMove);
    b.Event(L"OnMouseUp", &TControl::OnMouseUp, &TControl::SetOnMouseUp);
    b.Event(L"OnResize", &TControl::OnResize, &TControl::SetOnResize);
    b.Message<&TControl::CMParentFontChanged>(CM_PARENTFONTCHANGED);
    b.Message<&TControl::CMParentColorChanged>(CM_PARENTCOLORCHANGED);
    b.Message<&TControl::CMParentBiDiModeChanged>(CM_PARENTBIDIMODECHANGED);
}

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(new TFont) {
    FFont->SetOnChange(TNotifyEvent::Of<&TControl::FontChanged>(this));
}

TControl::~TControl() {
    if (FParent) FParent->RemoveControl(this);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* parent) {
    auto* p = dynamic_cast<TWinControl*>(parent);
    if (parent && !p) throw EInvalidOperation(L"Control '%s' cannot have '%s' as parent", Name(), parent->Name());
    SetParent(p);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw EInvalidOperation(L"A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    bool sized = width != FWidth || height != FHeight;
    FLeft = left;
    FTop = top;
    FWidth = std::max(width, 0);
    FHeight = std::max(height, 0);
    if (FParent && FAlign != alNone) FParent->Realign();
    if (sized) Resize();
}

RECT TControl::ClientRect() { return RECT{0, 0, FWidth, FHeight}; }
void TControl::SetClientWidth(int32_t value) { SetWidth(value); }
void TControl::SetClientHeight(int32_t value) { SetHeight(value); }

void TControl::SetAlign(TAlign value) {
    if (value == FAlign) return;
    FAlign = value;
    if (FParent) FParent->Realign();
}

bool TControl::Showing() const {
    if (!FVisible) return false;
    return FParent ? FParent->Showing() : true;
}

void TControl::SetVisible(bool value) {
    if (value == FVisible) return;
    FVisible = value;
    PropertyChanged(CM_VISIBLECHANGED);
    if (FParent && FAlign != alNone) FParent->Realign();
}

void TControl::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    PropertyChanged(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor value) {
    FParentColor = false;
    if (value == FColor) return;
    FColor = value;
    PropertyChanged(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool value) {
    if (value == FParentColor) return;
    FParentColor = value;
    if (value && FParent) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::CMParentColorChanged(TMessage&) {
    if (!FParentColor || !FParent) return;
    FColor = FParent->Color();
    PropertyChanged(CM_COLORCHANGED);
}

void TControl::FontChanged(TObject*) {
    if (!FInheritingFont) FParentFont = false;
    PropertyChanged(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool value) {
    if (value == FParentFont) return;
    FParentFont = value;
    if (value && FParent) Perform(CM_PARENTFONTCHANGED);
}

void TControl::CMParentFontChanged(TMessage&) {
    if (!FParentFont || !FParent) return;
    FInheritingFont = true;
    TScopeExit done([this] { FInheritingFont = false; });
    FFont->Assign(FParent->Font());
}

void TControl::SetBiDiMode(TBiDiMode value) {
    FParentBiDiMode = false;
    if (value == FBiDiMode) return;
    FBiDiMode = value;
    PropertyChanged(CM_BIDIMODECHANGED);
}

void TControl::SetParentBiDiMode(bool value) {
    if (value == FParentBiDiMode) return;
    FParentBiDiMode = value;
    if (value && FParent) Perform(CM_PARENTBIDIMODECHANGED);
}

void TControl::CMParentBiDiModeChanged(TMessage&) {
    if (!FParentBiDiMode || !FParent || FParent->BiDiMode() == FBiDiMode) return;
    FBiDiMode = FParent->BiDiMode();
    PropertyChanged(CM_BIDIMODECHANGED);
}

void TControl::SetText(const std::wstring& value) {
    if (value == FText) return;
    FText = value;
    PropertyChanged(CM_TEXTCHANGED);
}

void TControl::PropertyChanged(UINT cm) { Perform(cm); }

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m{msg, wParam, lParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Click() {
    if (FOnClick) FOnClick(this);
}

void TControl::DblClick() {
    if (FOnDblClick) FOnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (FOnMouseDown) FOnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FOnMouseUp) FOnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (FOnMouseMove) FOnMouseMove(this, shift, x, y);
}

void TControl::Resize() {
    if (FOnResize) FOnResize(this);
}

void TControl::Loaded() {
    TComponent::Loaded();
    // Values read before the parent was known are taken from the parent now.
    if (FParent) {
        if (FParentFont) Perform(CM_PARENTFONTCHANGED);
        if (FParentColor) Perform(CM_PARENTCOLORCHANGED);
        if (FParentBiDiMode) Perform(CM_PARENTBIDIMODECHANGED);
        if (FAlign != alNone) FParent->Realign();
    }
}

// ---------------------------------------------------------------------------------------------
// TWinControl

TAMREL_IMPLEMENT_CLASS(TWinControl) {
    b.Integer(L"TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).NotStored();
    b.Boolean(L"TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
        .Stored([](TWinControl* c) { return c->TabStop(); });
    b.Event(L"OnEnter", &TWinControl::OnEnter, &TWinControl::SetOnEnter);
    b.Event(L"OnExit", &TWinControl::OnExit, &TWinControl::SetOnExit);
    b.Event(L"OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::SetOnKeyDown);
    b.Event(L"OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::SetOnKeyPress);
    b.Event(L"OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::SetOnKeyUp);
    for (UINT m = WM_CTLCOLORMSGBOX; m <= WM_CTLCOLORSTATIC; ++m) b.Message<&TWinControl::CNCtlColor>(CN_BASE + m);
    b.Message<&TWinControl::WMSize>(WM_SIZE);
    b.Message<&TWinControl::WMEraseBkgnd>(WM_ERASEBKGND);
    b.Message<&TWinControl::WMPaint>(WM_PAINT);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner), FBrush(new TBrush) {
    FBrush->SetColor(Color());
}

TWinControl::~TWinControl() {
    // Normally done by BeforeDestruction; a control deleted without Free still lets go here.
    for (TControl* c : FControls) c->FParent = nullptr;
    FControls.clear();
    if (FHandle) {
        HWND h = FHandle;
        DetachHandle();
        DestroyWindow(h);
    }
}

void TWinControl::BeforeDestruction() {
    TControl::BeforeDestruction();
    DestroyHandle();
    // A window control takes its child controls with it, whoever owns them.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        RemoveControl(c);
        Free(c);
    }
}

TWinControl* TWinControl::FindControl(HWND wnd) {
    if (!wnd) return nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    if (pid != GetCurrentProcessId()) return nullptr;
    if (auto* c = static_cast<TWinControl*>(GetPropW(wnd, kControlProp))) return c;
    return nullptr;
}

void TWinControl::AttachHandle(HWND wnd) {
    FHandle = wnd;
    SetPropW(wnd, kControlProp, this);
}

void TWinControl::DetachHandle() {
    if (!FHandle) return;
    RemovePropW(FHandle, kControlProp);
    FHandle = nullptr;
}

HWND TWinControl::Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
}

void TWinControl::CreateHandle() {
    if (FHandle) return;
    if (FParent && !FParent->FHandle) {
        FParent->CreateHandle(); // makes this window too, with the parent's other children
        if (FHandle) return;
    }
    CreateWnd();
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
    Realign();
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (FVisible) params.Style |= WS_VISIBLE;
    if (!FEnabled) params.Style |= WS_DISABLED;
    if (FTabStop) params.Style |= WS_TABSTOP;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    params.WinClassName = L"TamrelWinControl";
    params.ClassStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if (params.Style & WS_CHILD) {
        if (!FParent) throw EInvalidOperation(L"Control '%s' has no parent window", Name());
        params.WndParent = FParent->Handle();
        params.Id = NextControlId();
    }
    FDefWndProc = EnsureWindowClass(params);
    CreateWindowHandle(params);
    Perform(WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), 0);
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    TWinControl* outer = tCreating;
    tCreating = this;
    TScopeExit restore([outer] { tCreating = outer; });
    HWND wnd = CreateWindowExW(params.ExStyle, params.WinClassName.c_str(), params.Caption.c_str(), params.Style,
                               params.X, params.Y, params.Width, params.Height, params.WndParent, params.Id,
                               ThisModuleHandle(), params.Param);
    if (!wnd) RaiseLastOSError();
    if (!FHandle) AttachHandle(wnd);
}

void TWinControl::DestroyWnd() {
    // The window holds the text (an edit's typed text): keep it for the next window.
    FText = GetText();
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    DestroyWnd();
    HWND h = FHandle;
    DestroyWindow(h);
    DetachHandle(); // when DestroyWindow failed (another thread's window) the object still lets go
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    FRecreating = true;
    TScopeExit done([this] { FRecreating = false; });
    DestroyHandle();
    CreateHandle();
}

void TWinControl::UpdateStyle(bool exStyle, DWORD bits, bool on) {
    if (!FHandle) return;
    int index = exStyle ? GWL_EXSTYLE : GWL_STYLE;
    LONG_PTR style = GetWindowLongPtrW(FHandle, index);
    LONG_PTR next = on ? (style | bits) : (style & ~static_cast<LONG_PTR>(bits));
    if (next != style) SetWindowLongPtrW(FHandle, index, next);
}

void TWinControl::InsertControl(TControl* control) {
    FControls.push_back(control);
    control->FParent = this;
    if (!control->ComponentState().Contains(csLoading)) {
        if (control->FParentFont) control->Perform(CM_PARENTFONTCHANGED);
        if (control->FParentColor) control->Perform(CM_PARENTCOLORCHANGED);
        if (control->FParentBiDiMode) control->Perform(CM_PARENTBIDIMODECHANGED);
    }
    if (FHandle)
        if (auto* w = dynamic_cast<TWinControl*>(control)) w->CreateHandle();
    if (control->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(FControls.begin(), FControls.end(), control);
    if (it == FControls.end()) return;
    if (auto* w = dynamic_cast<TWinControl*>(control)) w->DestroyHandle();
    FControls.erase(std::find(FControls.begin(), FControls.end(), control));
    control->FParent = nullptr;
    if (control->Align() != alNone && !ComponentState().Contains(csDestroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

int32_t TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    int i = 0;
    for (TControl* c : Parent()->FControls) {
        if (c == this) return i;
        if (dynamic_cast<TWinControl*>(c)) ++i;
    }
    return -1;
}

void TWinControl::SetTabOrder(int32_t value) {
    TWinControl* p = Parent();
    if (!p || value < 0) return;
    auto& list = p->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    int i = 0;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (!dynamic_cast<TWinControl*>(*it)) continue;
        if (i++ == value) break;
    }
    list.insert(it, this);
    // Dialog keys walk the child windows in z-order: keep it the tab order.
    if (!p->FHandle) return;
    HWND after = HWND_TOP;
    for (TControl* c : list)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle) {
            SetWindowPos(w->FHandle, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            after = w->FHandle;
        }
}

void TWinControl::SetTabStop(bool value) {
    if (value == FTabStop) return;
    FTabStop = value;
    UpdateStyle(false, WS_TABSTOP, value);
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
    ::SetFocus(Handle());
}

void TWinControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (FHandle && (left != FLeft || top != FTop || width != FWidth || height != FHeight)) {
        // WM_SIZE brings the new size back (WMSize), with the realignment and OnResize.
        FLeft = left;
        FTop = top;
        SetWindowPos(FHandle, nullptr, left, top, std::max(width, 0), std::max(height, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (Parent() && Align() != alNone) Parent()->Realign();
        return;
    }
    bool sized = width != FWidth || height != FHeight;
    TControl::SetBounds(left, top, width, height);
    if (sized && !FHandle) Realign();
}

void TWinControl::WMSize(TMessage& m) {
    DefaultHandler(m);
    RECT r = {};
    GetWindowRect(FHandle, &r);
    if (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) MapWindowPoints(nullptr, GetParent(FHandle), reinterpret_cast<POINT*>(&r), 2);
    bool sized = RectWidth(r) != FWidth || RectHeight(r) != FHeight;
    FLeft = r.left;
    FTop = r.top;
    FWidth = RectWidth(r);
    FHeight = RectHeight(r);
    Realign();
    if (sized) Resize();
}

RECT TWinControl::ClientRect() {
    if (FHandle) {
        RECT r = {};
        GetClientRect(FHandle, &r);
        return r;
    }
    // Without a window: the bounds less the frame the window will have.
    TCreateParams params;
    CreateParams(params);
    RECT frame = {0, 0, 0, 0};
    // A top-level window's id is its menu bar (one row of it).
    AdjustWindowRectEx(&frame, params.Style, !(params.Style & WS_CHILD) && params.Id, params.ExStyle);
    return RECT{0, 0, std::max(0, FWidth - RectWidth(frame)), std::max(0, FHeight - RectHeight(frame))};
}

void TWinControl::SetClientWidth(int32_t value) { SetWidth(Width() - ClientWidth() + value); }
void TWinControl::SetClientHeight(int32_t value) { SetHeight(Height() - ClientHeight() + value); }

std::wstring TWinControl::GetText() const {
    if (!FHandle) return FText;
    int n = GetWindowTextLengthW(FHandle);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(FHandle, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(n, 0)));
    return s;
}

void TWinControl::SetText(const std::wstring& value) {
    if (value == GetText()) return;
    FText = value;
    if (FHandle) SetWindowTextW(FHandle, value.c_str());
    PropertyChanged(CM_TEXTCHANGED);
}

void TWinControl::PropertyChanged(UINT cm) {
    switch (cm) {
    case CM_FONTCHANGED:
        if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
        break;
    case CM_COLORCHANGED:
        FBrush->SetColor(Color());
        Invalidate();
        break;
    case CM_ENABLEDCHANGED:
        if (FHandle) EnableWindow(FHandle, Enabled());
        break;
    case CM_VISIBLECHANGED:
        ApplyVisibility();
        break;
    default:
        break;
    }
    TControl::PropertyChanged(cm);
    // Children that take the value from their parent.
    UINT inherited = cm == CM_FONTCHANGED ? CM_PARENTFONTCHANGED
                     : cm == CM_COLORCHANGED ? CM_PARENTCOLORCHANGED
                     : cm == CM_BIDIMODECHANGED ? CM_PARENTBIDIMODECHANGED
                                                : 0;
    if (inherited)
        for (TControl* c : FControls) c->Perform(inherited);
    if (cm == CM_BIDIMODECHANGED) RecreateWnd();
}

void TWinControl::ApplyVisibility() {
    if (!FHandle) return;
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | (Visible() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::Invalidate() {
    if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
    if (FHandle) UpdateWindow(FHandle);
}

POINT TWinControl::ClientToScreen(POINT p) {
    ::ClientToScreen(Handle(), &p);
    return p;
}

POINT TWinControl::ScreenToClient(POINT p) {
    ::ScreenToClient(Handle(), &p);
    return p;
}

void TWinControl::Realign() {
    if (FAligning || ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) return;
    FAligning = true;
    TScopeExit done([this] { FAligning = false; });
    RECT r = ClientRect();
    AlignControls(r);
}

void TWinControl::AlignControls(RECT& rect) {
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* c : FControls) {
            if (c->Align() != a || !c->Visible()) continue;
            const int w = c->Width(), h = c->Height();
            switch (a) {
            case alTop:
                c->SetBounds(rect.left, rect.top, RectWidth(rect), h);
                rect.top += h;
                break;
            case alBottom:
                c->SetBounds(rect.left, rect.bottom - h, RectWidth(rect), h);
                rect.bottom -= h;
                break;
            case alLeft:
                c->SetBounds(rect.left, rect.top, w, RectHeight(rect));
                rect.left += w;
                break;
            case alRight:
                c->SetBounds(rect.right - w, rect.top, w, RectHeight(rect));
                rect.right -= w;
                break;
            case alClient:
                c->SetBounds(rect.left, rect.top, RectWidth(rect), RectHeight(rect));
                break;
            default:
                break;
            }
        }
    }
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
    if (FOnKeyDown) FOnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
    if (FOnKeyUp) FOnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(wchar_t& key) {
    if (FOnKeyPress) FOnKeyPress(this, key);
}

void TWinControl::DoEnter() {
    if (FOnEnter) FOnEnter(this);
}

void TWinControl::DoExit() {
    if (FOnExit) FOnExit(this);
}

bool TWinControl::ReflectToChild(TMessage& m) {
    HWND child = nullptr;
    switch (m.Msg) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
        child = reinterpret_cast<HWND>(m.LParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom;
        break;
    case WM_DRAWITEM: {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        if (dis->CtlType != ODT_MENU) child = dis->hwndItem;
        break;
    }
    case WM_DELETEITEM:
        child = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem;
        break;
    case WM_COMPAREITEM:
        child = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem;
        break;
    case WM_MEASUREITEM: {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
        if (mis->CtlType == ODT_MENU) return false;
        // During CreateWindowEx the child's handle is not known yet.
        if (tCreating && tCreating->Parent() == this && tCreating->FHandle &&
            GetDlgCtrlID(tCreating->FHandle) == static_cast<int>(mis->CtlID)) {
            m.Result = tCreating->Perform(CN_MEASUREITEM, m.WParam, m.LParam);
            return true;
        }
        for (TControl* c : FControls)
            if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FHandle && GetDlgCtrlID(w->FHandle) == static_cast<int>(mis->CtlID)) {
                m.Result = w->Perform(CN_MEASUREITEM, m.WParam, m.LParam);
                return true;
            }
        return false;
    }
    default:
        if (m.Msg >= WM_CTLCOLORMSGBOX && m.Msg <= WM_CTLCOLORSTATIC) {
            child = reinterpret_cast<HWND>(m.LParam);
            break;
        }
        return false;
    }
    TWinControl* c = FindControl(child);
    if (!c || c == this) return false;
    m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return true;
}

void TWinControl::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_SETFOCUS: {
        TControl::WndProc(m);
        Perform(CM_ENTER);
        DoEnter();
        if (TWinControl* root = GetParentRoot(this)) root->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
        return;
    }
    case WM_KILLFOCUS:
        TControl::WndProc(m);
        Perform(CM_EXIT);
        DoExit();
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        WORD key = static_cast<WORD>(m.WParam);
        if (m.Msg == WM_KEYDOWN || m.Msg == WM_SYSKEYDOWN) KeyDown(key, KeyboardShiftState());
        else KeyUp(key, KeyboardShiftState());
        if (key == 0) return;
        m.WParam = key;
        break;
    }
    case WM_CHAR: {
        wchar_t key = static_cast<wchar_t>(m.WParam);
        KeyPress(key);
        if (key == 0) return;
        m.WParam = key;
        break;
    }
    default:
        if (ReflectToChild(m)) return;
        if (IsMouseDown(m.Msg)) {
            // The control's own handling first (a list box selects the item), then the event.
            TControl::WndProc(m);
            TShiftState shift = MouseShiftState(m.WParam);
            bool dbl = m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
            if (dbl) shift.Include(ssDouble);
            MouseDown(MouseButtonOf(m.Msg), shift, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
            return;
        }
        if (IsMouseUp(m.Msg)) {
            TControl::WndProc(m);
            MouseUp(MouseButtonOf(m.Msg), MouseShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
            return;
        }
        if (m.Msg == WM_MOUSEMOVE) {
            TControl::WndProc(m);
            MouseMove(MouseShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
            return;
        }
        break;
    }
    TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
    // The library's own messages stop here; everything else goes to the window's procedure.
    if (m.Msg >= CM_BASE && m.Msg < CM_END) return;
    if (!FHandle) return;
    m.Result = CallWindowProcW(FDefWndProc ? FDefWndProc : DefWindowProcW, FHandle, m.Msg, m.WParam, m.LParam);
}

void TWinControl::CNCtlColor(TMessage& m) {
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    SetTextColor(dc, ColorToRGB(Font()->Color()));
    SetBkColor(dc, ColorToRGB(Color()));
    m.Result = reinterpret_cast<LRESULT>(FBrush->Handle());
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
    if (!FDefWndProc || FDefWndProc == DefWindowProcW) {
        RECT r = {};
        GetClientRect(FHandle, &r);
        FillRect(reinterpret_cast<HDC>(m.WParam), &r, FBrush->Handle());
        m.Result = 1;
        return;
    }
    DefaultHandler(m);
}

static bool HasVisibleGraphicChild(const std::vector<TControl*>& controls) {
    for (TControl* c : controls)
        if (c->Visible() && dynamic_cast<TGraphicControl*>(c)) return true;
    return false;
}

void TWinControl::WMPaint(TMessage& m) {
    // A window of a system class paints itself; so does one without graphic children.
    if ((FDefWndProc && FDefWndProc != DefWindowProcW) || !HasVisibleGraphicChild(FControls)) {
        DefaultHandler(m);
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(FHandle, &ps);
    TScopeExit end([&] { EndPaint(FHandle, &ps); });
    PaintControls(dc);
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : std::vector<TControl*>(FControls)) {
        auto* g = dynamic_cast<TGraphicControl*>(c);
        if (!g || !g->Visible()) continue;
        const RECT r = g->BoundsRect();
        if (RectWidth(r) <= 0 || RectHeight(r) <= 0 || !RectVisible(dc, &r)) continue;
        const int saved = SaveDC(dc);
        TScopeExit restore([&] { RestoreDC(dc, saved); });
        IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
        OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
        g->PaintOn(dc);
    }
}

// ---------------------------------------------------------------------------------------------
// TGraphicControl

namespace {

// Outside painting the canvas of a graphic control draws on a memory context of its own.
class TGraphicControlCanvas : public TCanvas {
public:
    ~TGraphicControlCanvas() override {
        SetHandle(nullptr);
    }

protected:
    void CreateHandle() override {
        if (!FMemory) FMemory.Reset(CreateCompatibleDC(nullptr));
        SetHandle(FMemory.Get());
    }

private:
    TMemoryDc FMemory;
};

} // namespace

TAMREL_IMPLEMENT_CLASS(TGraphicControl) {}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner), FCanvas(new TGraphicControlCanvas) {}

TGraphicControl::~TGraphicControl() { Invalidate(); }

void TGraphicControl::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    Invalidate();
    TControl::SetParent(parent);
    Invalidate();
}

void TGraphicControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    const bool same = left == Left() && top == Top() && width == Width() && height == Height();
    if (!same) Invalidate();
    TControl::SetBounds(left, top, width, height);
    if (same) return;
    Invalidate();
    if (Parent() && Align() == alNone) Parent()->Realign();
}

void TGraphicControl::Invalidate() {
    if (!Parent() || !Parent()->HandleAllocated() || ComponentState().Contains(csDestroying)) return;
    const RECT r = BoundsRect();
    InvalidateRect(Parent()->Handle(), &r, TRUE);
}

void TGraphicControl::Update() {
    if (Parent()) Parent()->Update();
}

void TGraphicControl::PropertyChanged(UINT cm) {
    TControl::PropertyChanged(cm);
    if (cm == CM_VISIBLECHANGED || cm == CM_COLORCHANGED || cm == CM_FONTCHANGED || cm == CM_TEXTCHANGED)
        Invalidate();
}

void TGraphicControl::Paint() {}

void TGraphicControl::PaintOn(HDC dc) {
    FCanvas->SetHandle(dc);
    TScopeExit done([this] { FCanvas->SetHandle(nullptr); });
    Paint();
}

// ---------------------------------------------------------------------------------------------
// TCustomControl

TAMREL_IMPLEMENT_CLASS(TCustomControl) { b.Message<&TCustomControl::WMPaint>(WM_PAINT); }

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), FCanvas(new TCanvas) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"TamrelCustomControl";
}

void TCustomControl::Paint() {}

void TCustomControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) FPressed = true;
    TWinControl::MouseDown(button, shift, x, y);
    if (button == mbLeft && shift.Contains(ssDouble)) DblClick();
}

void TCustomControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    bool click = button == mbLeft && FPressed;
    if (button == mbLeft) FPressed = false;
    TWinControl::MouseUp(button, shift, x, y);
    RECT r = ClientRect();
    POINT p = {x, y};
    if (click && PtInRect(&r, p)) Click();
}

void THotTracking::MouseMove(TWinControl* control) {
    if (FHot) return;
    FHot = true;
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, control->Handle(), 0};
    TrackMouseEvent(&track);
    control->Invalidate();
}

void THotTracking::MouseLeave(TWinControl* control, TMessage& m) {
    FHot = false;
    control->Invalidate();
    m.Result = 0;
}

int FontTextHeight(TFont* font, const std::wstring& sample) {
    TWindowDc screen(nullptr);
    if (!screen.Get()) return -font->Height();
    HGDIOBJ old = SelectObject(screen.Get(), font->Handle());
    SIZE s = {};
    GetTextExtentPoint32W(screen.Get(), sample.c_str(), static_cast<int>(sample.size()), &s);
    SelectObject(screen.Get(), old);
    return s.cy;
}

void TCustomControl::WMPaint(TMessage&) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    TScopeExit end([&] {
        FCanvas->SetHandle(nullptr);
        EndPaint(Handle(), &ps);
    });
    FCanvas->SetHandle(dc);
    FCanvas->SetFont(Font());
    FCanvas->SetBrush(Brush());
    Paint();
    FCanvas->Refresh();
    PaintControls(dc);
}

void LoadCommonControlClasses(DWORD classes) {
    static std::atomic<DWORD> loaded{0};
    if ((loaded.load() & classes) == classes) return;
    INITCOMMONCONTROLSEX icc = {sizeof icc, classes};
    if (InitCommonControlsEx(&icc)) loaded |= classes;
}

} // namespace tamrel
