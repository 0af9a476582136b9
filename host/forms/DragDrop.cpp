#include "host/forms/DragDrop.h"

#include <windowsx.h>

namespace tamrel {

namespace {

// One drag at a time on the thread: the one the mouse is captured for.
struct TDrag {
    TWinControl* Source = nullptr;
    TWinControl* Over = nullptr; // the target under the pointer
    bool Accepted = false;
};
thread_local TDrag gDrag;

// The control under a screen point that takes drops (a child window of it counts as it).
TWinControl* TargetAt(POINT screen) {
    for (HWND wnd = WindowFromPoint(screen); wnd; wnd = GetParent(wnd))
        if (TWinControl* c = TWinControl::FindControl(wnd))
            if (dynamic_cast<TDragTarget*>(c)) return c;
    return nullptr;
}

POINT ClientPoint(TWinControl* control, POINT screen) { return control->ScreenToClient(screen); }

void Leave() {
    if (gDrag.Over) {
        POINT p = {};
        GetCursorPos(&p);
        const POINT c = ClientPoint(gDrag.Over, p);
        dynamic_cast<TDragTarget*>(gDrag.Over)->DragOver(gDrag.Source, c.x, c.y, dsDragLeave);
    }
    gDrag.Over = nullptr;
    gDrag.Accepted = false;
}

void End(bool drop, POINT screen) {
    TWinControl* source = gDrag.Source;
    TWinControl* target = gDrag.Over;
    const bool accepted = gDrag.Accepted;
    gDrag = TDrag{};
    if (GetCapture() == source->Handle()) ReleaseCapture();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (!target) return;
    const POINT c = ClientPoint(target, screen);
    auto* t = dynamic_cast<TDragTarget*>(target);
    if (drop && accepted) t->DragDrop(source, c.x, c.y);
    else t->DragOver(source, c.x, c.y, dsDragLeave);
}

void Move(POINT screen) {
    TWinControl* target = TargetAt(screen);
    if (target != gDrag.Over) {
        Leave();
        gDrag.Over = target;
        if (target) {
            const POINT c = ClientPoint(target, screen);
            gDrag.Accepted = dynamic_cast<TDragTarget*>(target)->DragOver(gDrag.Source, c.x, c.y, dsDragEnter);
        }
    } else if (target) {
        const POINT c = ClientPoint(target, screen);
        gDrag.Accepted = dynamic_cast<TDragTarget*>(target)->DragOver(gDrag.Source, c.x, c.y, dsDragMove);
    }
    SetCursor(LoadCursorW(nullptr, gDrag.Accepted ? IDC_ARROW : IDC_NO));
}

} // namespace

void BeginAutoDrag(TWinControl* source) {
    if (gDrag.Source) return;
    gDrag = TDrag{};
    gDrag.Source = source;
    SetCapture(source->Handle());
    POINT p = {};
    GetCursorPos(&p);
    Move(p);
}

bool Dragging(const TWinControl* source) { return source && gDrag.Source == source; }

bool HandleDragMessage(TWinControl* source, TMessage& m) {
    if (!Dragging(source)) return false;
    auto screenOf = [&](LPARAM lParam) {
        POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        return source->ClientToScreen(p);
    };
    switch (m.Msg) {
    case WM_MOUSEMOVE:
        Move(screenOf(m.LParam));
        m.Result = 0;
        return true;
    case WM_LBUTTONUP: {
        const POINT p = screenOf(m.LParam);
        Move(p);
        End(true, p);
        m.Result = 0;
        return true;
    }
    case WM_RBUTTONDOWN:
    case WM_KEYDOWN: {
        if (m.Msg == WM_KEYDOWN && m.WParam != VK_ESCAPE) return true;
        POINT p = {};
        GetCursorPos(&p);
        End(false, p);
        m.Result = 0;
        return true;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(m.LParam) != source->Handle()) {
            POINT p = {};
            GetCursorPos(&p);
            End(false, p);
        }
        return false;
    default:
        return false;
    }
}

} // namespace tamrel
