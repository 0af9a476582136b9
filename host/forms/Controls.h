// Controls: the windowed control with its parent, bounds, alignment, visibility, colour, font
// and reading order; its window made from CreateParams by CreateWnd on first need; message
// methods; notifications that a parent receives about a child handed back to that child; mouse
// and key events.
//
// Every control is a window. A control made of a system class (a button, a list box) is a
// window of a class registered as a copy of that class with the library's window procedure,
// so that it sees every message from WM_NCCREATE on; the system's procedure does the default
// handling. Messages take this road:
//
//     window procedure -> WndProc (virtual) -> Dispatch -> message method of the class
//                                                      or DefaultHandler -> system procedure
//
// A parent hands WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_DELETEITEM,
// WM_COMPAREITEM, WM_CTLCOLOR*, WM_HSCROLL/WM_VSCROLL, WM_CHARTOITEM and WM_VKEYTOITEM from a
// child to the child as CN_BASE + the message; the child's answer is the parent's. A list or
// combo box that measures its items sends WM_MEASUREITEM while CreateWindowEx runs, before its
// handle is known: the parent hands it to the control that the thread is creating.
//
// Later units (grids, page controls, list views) derive from TWinControl or TCustomControl and
// use these same hooks.
//
// A graphic control (TGraphicControl) is the one kind of control without a window: its parent
// paints it on the parent's own window, after the parent's own painting, clipped to its bounds.
// Parents whose window is of the library's own class (TWinControl, TCustomControl and their
// descendants that keep that class) paint such children; it takes no focus, keys or mouse.
#pragma once

#include "host/Api.h"

#include "host/forms/Graphics.h"
#include "host/Messages.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamrel {

// ---------------------------------------------------------------------------------------------
// Messages between controls (CM_) and notifications handed back to the child (CN_).

inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 1;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 2;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 3;
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 4;
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 5;
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 6;
inline constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 7;
inline constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 8;
inline constexpr UINT CM_PARENTBIDIMODECHANGED = CM_BASE + 9;
// Sent to the top-level control when a control inside it got the focus (LParam: the control).
inline constexpr UINT CM_FOCUSCHANGED = CM_BASE + 10;
// Posted by TCustomForm::Release.
inline constexpr UINT CM_RELEASE = CM_BASE + 11;
// Posted by a modal loop once its form is shown.
inline constexpr UINT CM_MODALSHOWN = CM_BASE + 12;
inline constexpr UINT CM_ENTER = CM_BASE + 13;
inline constexpr UINT CM_EXIT = CM_BASE + 14;
// A dialog key (WParam: VK_RETURN or VK_ESCAPE) offered to every control of a form; a control
// that acts on it answers 1.
inline constexpr UINT CM_DIALOGKEY = CM_BASE + 15;
// The first message id that is not the library's own.
inline constexpr UINT CM_END = 0xC000;

inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
inline constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
inline constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
inline constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
inline constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
inline constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
inline constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
inline constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
inline constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
inline constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
inline constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// ---------------------------------------------------------------------------------------------
// Types

TAMREL_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient);
TAMREL_ENUM(TBiDiMode, bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly);
TAMREL_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter);
TAMREL_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle);
TAMREL_ENUM(TShiftStateFlag, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble);
using TShiftState = TSet<TShiftStateFlag>;

// What a modal form answers: 0 while it runs, then the button's value (IDOK...).
using TModalResult = int32_t;
inline constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                              mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO, mrClose = 8, mrHelp = 9,
                              mrTryAgain = 10, mrContinue = 11, mrAll = 12, mrNoToAll = 13, mrYesToAll = 14;

using TMouseEvent = TMethod<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TMethod<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TMethod<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = TMethod<void(TObject* Sender, wchar_t& Key)>;

// The shift state of a keyboard message (from the key state now) and of a mouse message.
TAMREL_API TShiftState KeyboardShiftState();
TAMREL_API TShiftState MouseShiftState(WPARAM keys);

struct TCreateParams {
    std::wstring Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    HMENU Id = nullptr; // a child window's id
    void* Param = nullptr;
    // The window class: WinClassName is registered on first use, as a copy of SysClassName
    // (a system class) when that is set, else as the library's own class with ClassStyle.
    std::wstring WinClassName;
    std::wstring SysClassName;
    UINT ClassStyle = CS_DBLCLKS;
};

class TWinControl;

// ---------------------------------------------------------------------------------------------
// TControl: what every control has, windowed or not.

class TAMREL_API TControl : public TComponent {
    TAMREL_CLASS(TControl, TComponent)
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int32_t Left() const { return FLeft; }
    int32_t Top() const { return FTop; }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    void SetLeft(int32_t v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int32_t v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int32_t v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int32_t v) { SetBounds(FLeft, FTop, FWidth, v); }
    virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    RECT BoundsRect() const { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    // The client area in client coordinates.
    virtual RECT ClientRect();
    int32_t ClientWidth() { return RectWidth(ClientRect()); }
    int32_t ClientHeight() { return RectHeight(ClientRect()); }
    virtual void SetClientWidth(int32_t value);
    virtual void SetClientHeight(int32_t value);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and every parent up to the top-level one visible too.
    bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value);
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);

    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value);
    bool ParentBiDiMode() const { return FParentBiDiMode; }
    void SetParentBiDiMode(bool value);
    // Text and glyph columns run from the right.
    bool UseRightToLeftAlignment() const { return FBiDiMode == bdRightToLeft; }
    bool UseRightToLeftReading() const { return FBiDiMode != bdLeftToRight; }
    bool UseRightToLeftScrollBar() const {
        return FBiDiMode == bdRightToLeft || FBiDiMode == bdRightToLeftNoAlign;
    }

    // Caption and Text are one value: the window text.
    std::wstring Caption() const { return GetText(); }
    void SetCaption(const std::wstring& value) { SetText(value); }
    virtual std::wstring GetText() const { return FText; }
    virtual void SetText(const std::wstring& value);

    // A short help text; stored with the form (showing it as a tooltip is the form's business).
    const std::wstring& Hint() const { return FHint; }
    void SetHint(const std::wstring& value) { FHint = value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }

    TNotifyEvent OnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent e) { FOnClick = e; }
    TNotifyEvent OnDblClick() const { return FOnDblClick; }
    void SetOnDblClick(TNotifyEvent e) { FOnDblClick = e; }
    TMouseEvent OnMouseDown() const { return FOnMouseDown; }
    void SetOnMouseDown(TMouseEvent e) { FOnMouseDown = e; }
    TMouseEvent OnMouseUp() const { return FOnMouseUp; }
    void SetOnMouseUp(TMouseEvent e) { FOnMouseUp = e; }
    TMouseMoveEvent OnMouseMove() const { return FOnMouseMove; }
    void SetOnMouseMove(TMouseMoveEvent e) { FOnMouseMove = e; }
    TNotifyEvent OnResize() const { return FOnResize; }
    void SetOnResize(TNotifyEvent e) { FOnResize = e; }

    // Sends a message straight to WndProc (no window needed).
    LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    virtual void WndProc(TMessage& message);
    virtual void Click();
    virtual void DblClick();
    virtual void Invalidate() {}
    virtual void Update() {}
    void Repaint() {
        Invalidate();
        Update();
    }

    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* parent) override;
    void Loaded() override;

protected:
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Resize();
    // Tells the control (and, for inherited values, its children) that a value changed.
    virtual void PropertyChanged(UINT cm);
    bool StoredFont() const { return !FParentFont; }
    // Forms store their client size instead.
    virtual bool StoredSize() const { return true; }
    bool StoredColor() const { return !FParentColor; }
    bool StoredBiDiMode() const { return !FParentBiDiMode; }
    // While true, a font change comes from the parent and keeps ParentFont.
    bool FInheritingFont = false;

    std::wstring FText;
    int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;

private:
    friend class TWinControl;
    void FontChanged(TObject* sender);
    void CMParentFontChanged(TMessage& m);
    void CMParentColorChanged(TMessage& m);
    void CMParentBiDiModeChanged(TMessage& m);

    TWinControl* FParent = nullptr;
    TAlign FAlign = alNone;
    TColor FColor = clWindow;
    bool FParentColor = false;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    TBiDiMode FBiDiMode = bdLeftToRight;
    bool FParentBiDiMode = true;
    std::wstring FHint;
    bool FShowHint = false;
    TNotifyEvent FOnClick, FOnDblClick, FOnResize;
    TMouseEvent FOnMouseDown, FOnMouseUp;
    TMouseMoveEvent FOnMouseMove;
};

// ---------------------------------------------------------------------------------------------
// TWinControl: a control with a window, and the parent of other controls.

class TAMREL_API TWinControl : public TControl {
    TAMREL_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    void BeforeDestruction() override;

    // The window, made (with its parents') when first asked for.
    HWND Handle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // Makes the window anew (style changes that need it).
    void RecreateWnd();
    // The control whose window this is (also a window a control is still making), or null.
    static TWinControl* FindControl(HWND wnd);

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
    bool ContainsControl(const TControl* control) const;

    int32_t TabOrder() const;
    void SetTabOrder(int32_t value);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    // The background brush (the control's colour).
    TBrush* Brush() const { return FBrush.get(); }

    TKeyEvent OnKeyDown() const { return FOnKeyDown; }
    void SetOnKeyDown(TKeyEvent e) { FOnKeyDown = e; }
    TKeyEvent OnKeyUp() const { return FOnKeyUp; }
    void SetOnKeyUp(TKeyEvent e) { FOnKeyUp = e; }
    TKeyPressEvent OnKeyPress() const { return FOnKeyPress; }
    void SetOnKeyPress(TKeyPressEvent e) { FOnKeyPress = e; }
    TNotifyEvent OnEnter() const { return FOnEnter; }
    void SetOnEnter(TNotifyEvent e) { FOnEnter = e; }
    TNotifyEvent OnExit() const { return FOnExit; }
    void SetOnExit(TNotifyEvent e) { FOnExit = e; }

    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    RECT ClientRect() override;
    void SetClientWidth(int32_t value) override;
    void SetClientHeight(int32_t value) override;
    std::wstring GetText() const override;
    void SetText(const std::wstring& value) override;
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void Invalidate() override;
    void Update() override;
    POINT ClientToScreen(POINT p);
    POINT ScreenToClient(POINT p);
    // Lays the aligned children out in the client area.
    void Realign();

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    // Runs before the window goes (RecreateWnd, the parent's window going): keep what the
    // window holds.
    virtual void DestroyWnd();
    virtual void KeyDown(WORD& key, TShiftState shift);
    virtual void KeyUp(WORD& key, TShiftState shift);
    virtual void KeyPress(wchar_t& key);
    virtual void DoEnter();
    virtual void DoExit();
    virtual void AlignControls(RECT& rect);
    // Whether the window is being made anew (RecreateWnd), so that its content is kept.
    bool Recreating() const { return FRecreating; }
    void PropertyChanged(UINT cm) override;
    // Sets or clears a style bit of the window, and the value CreateParams will see.
    void UpdateStyle(bool exStyle, DWORD bits, bool on);

    void CNCtlColor(TMessage& m);
    void WMSize(TMessage& m);
    void WMEraseBkgnd(TMessage& m);
    void WMPaint(TMessage& m);
    // Paints the visible graphic children that the context's clipping area reaches, in their
    // order, each with the origin at its top-left corner and clipped to its bounds.
    void PaintControls(HDC dc);

private:
    friend class TControl;
    friend LRESULT CALLBACK ControlWindowProc(HWND, UINT, WPARAM, LPARAM);
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void CreateHandle();
    void DestroyHandle();
    void AttachHandle(HWND wnd);
    void DetachHandle();
    bool ReflectToChild(TMessage& m);
    void ApplyVisibility();

    HWND FHandle = nullptr;
    WNDPROC FDefWndProc = nullptr;
    std::vector<TControl*> FControls;
    std::unique_ptr<TBrush> FBrush;
    bool FTabStop = false;
    bool FRecreating = false;
    bool FAligning = false;
    TKeyEvent FOnKeyDown, FOnKeyUp;
    TKeyPressEvent FOnKeyPress;
    TNotifyEvent FOnEnter, FOnExit;
};

// ---------------------------------------------------------------------------------------------
// TCustomControl: a window of the library's own class that paints itself on its canvas.

class TAMREL_API TCustomControl : public TWinControl {
    TAMREL_CLASS(TCustomControl, TWinControl)
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    void CreateParams(TCreateParams& params) override;
    // Draws the control on Canvas (valid only here).
    virtual void Paint();
    // A left click released inside the control is a click; a double click is one too.
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void WMPaint(TMessage& m);

private:
    std::unique_ptr<TCanvas> FCanvas;
    bool FPressed = false;
};

// Hot tracking, for flat buttons that show their edge only while the pointer is over them. The
// first mouse move of a visit asks the system for the leave message (one request per visit), and
// each change of state repaints the control.
class TAMREL_API THotTracking {
public:
    bool Hot() const { return FHot; }
    // From the control's WM_MOUSEMOVE, before the inherited handler.
    void MouseMove(TWinControl* control);
    // From the control's WM_MOUSELEAVE, which this answers.
    void MouseLeave(TWinControl* control, TMessage& m);

private:
    bool FHot = false;
};

// ---------------------------------------------------------------------------------------------
// TGraphicControl: a control without a window, painted by its parent.

class TAMREL_API TGraphicControl : public TControl {
    TAMREL_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    // While the control paints: the parent's device context, its origin at the control's top-left
    // corner. At other times a memory context like the screen's: it measures text as the screen
    // does and draws nowhere.
    TCanvas* Canvas() const { return FCanvas.get(); }

    void SetParent(TWinControl* parent) override;
    // Repaints the old and the new area; the parent lays its children out again (a scrolling
    // parent follows its children's extent so).
    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    // The control's area of the parent's window.
    void Invalidate() override;
    void Update() override;

protected:
    // Draws the control on Canvas.
    virtual void Paint();
    void PropertyChanged(UINT cm) override;

private:
    friend class TWinControl;
    void PaintOn(HDC dc);
    std::unique_ptr<TCanvas> FCanvas;
};

// The height of a line of text in Font (the canvas of the screen measures it).
TAMREL_API int FontTextHeight(TFont* font, const std::wstring& sample = L"Wg");

// The top-level control that holds Control (itself when it has no parent).
TAMREL_API TWinControl* GetParentRoot(TControl* control);

// Registers the window classes of a set of common controls (ICC_... flags) before a control of
// the set makes its first window; each set once per process.
TAMREL_API void LoadCommonControlClasses(DWORD classes);

} // namespace tamrel
