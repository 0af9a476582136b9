#include "tests/ide/msgtable/editor/PropertiesTestSupport.h"

#include "ide/msgtable/model/EvLog_Locales.h"
#include "tests/support/FormsTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tamrel::test {

namespace {

// The client x range of an item's check box, as the control's own hit test finds it.
bool CheckBoxSpan(TListView* list, int index, int& left, int& right, int& y) {
    const RECT bounds = list->Items()->Item(index)->DisplayRect();
    y = (bounds.top + bounds.bottom) / 2;
    left = right = -1;
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
        LVHITTESTINFO hit = {};
        hit.pt = POINT{x, y};
        const bool onBox = ListView_HitTest(list->Handle(), &hit) == index && (hit.flags & LVHT_ONITEMSTATEICON);
        if (onBox && left < 0) left = x;
        if (onBox) right = x;
    }
    return left >= 0;
}

} // namespace

int IndexOfLocale(TListView* list, uint32_t lcid) {
    for (int i = 0; i < list->Items()->Count(); ++i)
        if (static_cast<evlog::TLocale*>(list->Items()->Item(i)->Data())->Locale == lcid) return i;
    return -1;
}

std::vector<uint32_t> CheckedLocales(TListView* list) {
    std::vector<uint32_t> locales;
    for (int i = 0; i < list->Items()->Count(); ++i)
        if (TListItem* item = list->Items()->Item(i); item->Checked())
            locales.push_back(static_cast<evlog::TLocale*>(item->Data())->Locale);
    return locales;
}

void ClickCheckBox(TListView* list, int index) {
    ASSERT_GE(index, 0);
    ListView_EnsureVisible(list->Handle(), index, FALSE);
    PumpPending();
    int left, right, y;
    ASSERT_TRUE(CheckBoxSpan(list, index, left, right, y)) << "no check box beside item " << index;
    // Scrolled into view, the next item may lie where the last click was: a second click there
    // would be a double click, so it goes to the other side of the box.
    static POINT last = {-1, -1};
    POINT at = list->ClientToScreen(POINT{left + 3, y});
    if (std::abs(at.x - last.x) <= GetSystemMetrics(SM_CXDOUBLECLK) && std::abs(at.y - last.y) <= GetSystemMetrics(SM_CYDOUBLECLK))
        at = list->ClientToScreen(POINT{right - 3, y});
    last = at;
    ClickAt(at);
    PumpPending();
}

std::vector<COLORREF> CheckBoxPixels(TBitmap& capture, TListView* list, int index) {
    std::vector<COLORREF> pixels;
    int left, right, y;
    if (!CheckBoxSpan(list, index, left, right, y)) {
        ADD_FAILURE() << "no check box beside item " << index;
        return pixels;
    }
    for (int dy = -5; dy <= 5; ++dy)
        for (int x = left; x <= right; ++x) pixels.push_back(PixelOf(capture, x, y + dy));
    return pixels;
}

} // namespace tamrel::test
