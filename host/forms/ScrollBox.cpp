#include "host/forms/ScrollBox.h"

#include "host/SysUtils.h"

#include <algorithm>

namespace tamrel {

namespace {

constexpr int kBars[2] = {SB_HORZ, SB_VERT};
// Pixels of one step of an arrow of a scroll bar.
constexpr int32_t kLineStep = 8;

bool Scrolled(const TControl* c) { return c->Visible() && c->Align() == alNone; }

} // namespace

TAMREL_IMPLEMENT_CLASS(TScrollBox) {
    b.Message<&TScrollBox::WMHScroll>(WM_HSCROLL);
    b.Message<&TScrollBox::WMVScroll>(WM_VSCROLL);
}

TScrollBox::TScrollBox(TComponent* owner) : TWinControl(owner) {
    FWidth = 185;
    FHeight = 41;
    SetColor(clBtnFace);
}

void TScrollBox::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.WinClassName = L"TamrelScrollBox";
    params.Style |= WS_CLIPCHILDREN;
    params.ExStyle |= WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT;
}

void TScrollBox::CreateWnd() {
    TWinControl::CreateWnd();
    UpdateScrollBars();
}

void TScrollBox::AlignControls(RECT& rect) {
    TWinControl::AlignControls(rect);
    if (!FScrolling) UpdateScrollBars();
}

int32_t TScrollBox::MaxPosition(int bar) {
    const RECT client = ClientRect();
    return std::max(0, FRange[bar] - (bar == 0 ? RectWidth(client) : RectHeight(client)));
}

void TScrollBox::UpdateScrollBars() {
    if (FUpdating) return;
    FUpdating = true;
    TScopeExit done([this] { FUpdating = false; });
    int32_t range[2] = {0, 0};
    for (int i = 0; i < ControlCount(); ++i) {
        const TControl* c = Controls(i);
        if (!Scrolled(c)) continue;
        range[0] = std::max(range[0], c->Left() + c->Width() + FPos[0]);
        range[1] = std::max(range[1], c->Top() + c->Height() + FPos[1]);
    }
    FRange[0] = range[0];
    FRange[1] = range[1];
    // A bar that shows or goes changes the other's page: settle both.
    for (int pass = 0; pass < 3; ++pass) {
        const RECT before = ClientRect();
        if (HandleAllocated())
            for (int bar = 0; bar < 2; ++bar) {
                SCROLLINFO si = {};
                si.cbSize = sizeof si;
                si.fMask = SIF_RANGE | SIF_PAGE;
                si.nMin = 0;
                si.nMax = std::max(0, FRange[bar] - 1);
                si.nPage = static_cast<UINT>(bar == 0 ? RectWidth(before) : RectHeight(before));
                SetScrollInfo(Handle(), kBars[bar], &si, TRUE);
            }
        for (int bar = 0; bar < 2; ++bar) ScrollTo(bar, FPos[bar]);
        const RECT after = ClientRect();
        if (!HandleAllocated() || EqualRect(&before, &after)) break;
    }
}

void TScrollBox::ScrollTo(int bar, int32_t position) {
    position = std::clamp(position, 0, MaxPosition(bar));
    const int32_t delta = position - FPos[bar];
    if (HandleAllocated() && GetScrollPos(Handle(), kBars[bar]) != position) SetScrollPos(Handle(), kBars[bar], position, TRUE);
    if (delta == 0) return;
    FPos[bar] = position;
    FScrolling = true;
    TScopeExit done([this] { FScrolling = false; });
    for (int i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        if (c->Align() != alNone) continue;
        c->SetBounds(c->Left() - (bar == 0 ? delta : 0), c->Top() - (bar == 1 ? delta : 0), c->Width(), c->Height());
    }
    Invalidate();
}

void TScrollBox::Scroll(int bar, WPARAM code) {
    const RECT client = ClientRect();
    const int32_t page = std::max(1, bar == 0 ? RectWidth(client) : RectHeight(client));
    int32_t position = FPos[bar];
    switch (LOWORD(code)) {
    case SB_LINEUP: position -= kLineStep; break;
    case SB_LINEDOWN: position += kLineStep; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = FRange[bar]; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 32-bit position: the message carries only 16 bits.
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_TRACKPOS;
        GetScrollInfo(Handle(), kBars[bar], &si);
        position = si.nTrackPos;
        break;
    }
    default: return;
    }
    ScrollTo(bar, position);
}

void TScrollBox::WMHScroll(TMessage& m) {
    Scroll(0, m.WParam);
    m.Result = 0;
}

void TScrollBox::WMVScroll(TMessage& m) {
    Scroll(1, m.WParam);
    m.Result = 0;
}

} // namespace tamrel
