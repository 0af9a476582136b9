#include "host/forms/ComCtrls.h"

#include "host/SysUtils.h"

#include <commctrl.h>

#include <algorithm>

namespace tamrel {

namespace {

bool IsDestroying(const TComponent* c) { return c->ComponentState().Contains(csDestroying); }

} // namespace

// ---------------------------------------------------------------------------------------------
// TTabSheet

TAMREL_IMPLEMENT_CLASS(TTabSheet) {
    b.String(L"Caption", &TTabSheet::GetText, &TTabSheet::SetText);
    b.Component(L"PageControl", &TTabSheet::PageControl, &TTabSheet::SetPageControl);
    b.Boolean(L"TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible, true);
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
    // Shown only while it is the active page.
    FVisible = false;
    FWidth = 185;
    FHeight = 41;
    SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() {
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = nullptr;
}

void TTabSheet::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style |= WS_CLIPCHILDREN;
    // Tab and the arrow keys walk into the sheet's controls.
    params.ExStyle |= WS_EX_CONTROLPARENT;
    params.WinClassName = L"TamrelTabSheet";
}

void TTabSheet::SetPageControl(TPageControl* value) {
    if (value == FPageControl) return;
    if (FPageControl) FPageControl->RemovePage(this);
    FPageControl = nullptr;
    SetParent(value);
    if (value) value->InsertPage(this);
}

void TTabSheet::SetParentComponent(TComponent* parent) {
    auto* pageControl = dynamic_cast<TPageControl*>(parent);
    if (parent && !pageControl)
        throw EInvalidOperation(L"Tab sheet '%s' needs a page control as its parent, not '%s'", Name(), parent->Name());
    SetPageControl(pageControl);
}

void TTabSheet::SetTabVisible(bool value) {
    if (value == FTabVisible) return;
    FTabVisible = value;
    if (FPageControl) FPageControl->UpdateTabs();
}

int32_t TTabSheet::PageIndex() const {
    if (!FPageControl) return -1;
    const auto& pages = FPageControl->FPages;
    return static_cast<int32_t>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int32_t value) {
    if (FPageControl) FPageControl->MovePage(this, value);
}

int32_t TTabSheet::TabIndex() const {
    if (!FPageControl || !FTabVisible) return -1;
    int32_t tab = 0;
    for (TTabSheet* page : FPageControl->FPages) {
        if (page == this) return tab;
        if (page->FTabVisible) ++tab;
    }
    return -1;
}

void TTabSheet::PropertyChanged(UINT cm) {
    TWinControl::PropertyChanged(cm);
    if (cm == CM_TEXTCHANGED && FPageControl) FPageControl->UpdateTabs();
}

// ---------------------------------------------------------------------------------------------
// TPageControl

TAMREL_IMPLEMENT_CLASS(TPageControl) {
    b.Component(L"ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
    b.Event(L"OnChange", &TPageControl::OnChange, &TPageControl::SetOnChange);
    b.Message<&TPageControl::CNNotify>(CN_NOTIFY);
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    LoadCommonControlClasses(ICC_TAB_CLASSES);
    FWidth = 289;
    FHeight = 193;
    SetTabStop(true);
}

TPageControl::~TPageControl() {
    for (TTabSheet* page : FPages) page->FPageControl = nullptr;
}

void TPageControl::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.SysClassName = WC_TABCONTROLW;
    params.WinClassName = L"TamrelPageControl";
    // The sheets are the strip's child windows: it must not paint over them.
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CONTROLPARENT;
}

void TPageControl::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateTabs();
}

TTabSheet* TPageControl::Pages(int32_t index) const {
    if (index < 0 || index >= PageCount()) throw EListError(SListIndexError, index);
    return FPages[static_cast<size_t>(index)];
}

int32_t TPageControl::ActivePageIndex() const { return FActivePage ? FActivePage->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int32_t value) {
    SetActivePage(value >= 0 && value < PageCount() ? FPages[static_cast<size_t>(value)] : nullptr);
}

TTabSheet* TPageControl::SheetOfTab(int32_t tab) const {
    if (tab < 0) return nullptr;
    for (TTabSheet* page : FPages)
        if (page->FTabVisible && tab-- == 0) return page;
    return nullptr;
}

void TPageControl::SetActivePage(TTabSheet* value) {
    if (value && value->FPageControl != this)
        throw EInvalidOperation(L"Tab sheet '%s' is not a page of '%s'", value->Name(), Name());
    if (value == FActivePage) return;
    FActivePage = value;
    if (HandleAllocated()) SendMessageW(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(value ? value->TabIndex() : -1), 0);
    ShowActivePage();
}

void TPageControl::ShowActivePage() {
    if (IsDestroying(this)) return;
    // The focus must not stay behind on a sheet that goes out of sight.
    HWND focus = GetFocus();
    bool focusHidden = false;
    for (TTabSheet* page : FPages)
        if (page != FActivePage && page->HandleAllocated() && focus && (focus == page->Handle() || IsChild(page->Handle(), focus)))
            focusHidden = true;
    if (FActivePage) {
        const RECT area = DisplayRect();
        FActivePage->SetBounds(area.left, area.top, RectWidth(area), RectHeight(area));
        FActivePage->SetVisible(true);
    }
    for (TTabSheet* page : FPages)
        if (page != FActivePage) page->SetVisible(false);
    if (focusHidden && CanFocus()) SetFocus();
}

void TPageControl::InsertPage(TTabSheet* page) {
    FPages.push_back(page);
    page->FPageControl = this;
    UpdateTabs();
    // A page control shows a page as soon as it has one.
    if (!FActivePage) SetActivePage(page);
    else page->SetVisible(false);
}

void TPageControl::RemovePage(TTabSheet* page) {
    auto it = std::find(FPages.begin(), FPages.end(), page);
    if (it == FPages.end()) return;
    const size_t at = static_cast<size_t>(it - FPages.begin());
    FPages.erase(it);
    page->FPageControl = nullptr;
    if (IsDestroying(this)) return;
    if (page == FActivePage) {
        // The page that took its place, else the one before it.
        FActivePage = nullptr;
        if (!FPages.empty()) FActivePage = FPages[std::min(at, FPages.size() - 1)];
        ShowActivePage();
    }
    UpdateTabs();
}

void TPageControl::MovePage(TTabSheet* page, int32_t index) {
    auto it = std::find(FPages.begin(), FPages.end(), page);
    if (it == FPages.end()) return;
    FPages.erase(it);
    index = std::clamp<int32_t>(index, 0, PageCount());
    FPages.insert(FPages.begin() + index, page);
    UpdateTabs();
}

void TPageControl::UpdateTabs() {
    if (!HandleAllocated() || IsDestroying(this)) return;
    HWND wnd = Handle();
    SendMessageW(wnd, TCM_DELETEALLITEMS, 0, 0);
    int tab = 0;
    for (TTabSheet* page : FPages) {
        if (!page->FTabVisible) continue;
        std::wstring caption = page->GetText();
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        if (SendMessageW(wnd, TCM_INSERTITEMW, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item)) < 0)
            RaiseLastOSError();
        ++tab;
    }
    SendMessageW(wnd, TCM_SETCURSEL, static_cast<WPARAM>(FActivePage ? FActivePage->TabIndex() : -1), 0);
    // The rows of tabs decide the display area.
    Realign();
}

RECT TPageControl::DisplayRect() {
    RECT r = ClientRect();
    if (HandleAllocated()) {
        SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    } else {
        // Until the strip exists: one row of tabs of the font's height.
        r.top += FontTextHeight(Font()) + 8;
        InflateRect(&r, -4, -4);
    }
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    return r;
}

void TPageControl::AlignControls(RECT& rect) {
    const RECT area = DisplayRect();
    for (TTabSheet* page : FPages)
        page->SetBounds(area.left, area.top, RectWidth(area), RectHeight(area));
    TWinControl::AlignControls(rect);
}

void TPageControl::Change() {
    if (FOnChange) FOnChange(this);
}

void TPageControl::CNNotify(TMessage& m) {
    const auto* header = reinterpret_cast<const NMHDR*>(m.LParam);
    if (header->code != TCN_SELCHANGE) return;
    TTabSheet* page = SheetOfTab(static_cast<int32_t>(SendMessageW(Handle(), TCM_GETCURSEL, 0, 0)));
    if (!page || page == FActivePage) return;
    FActivePage = page;
    ShowActivePage();
    Change();
}

void TPageControl::Loaded() {
    TWinControl::Loaded();
    ShowActivePage();
}

} // namespace tamrel
