// Helpers of the properties frame's and the locale dialog's tests: locale lists read from a list
// view whose items carry their TLocale, and check boxes clicked and seen as a person does.
#pragma once

#include "host/forms/Graphics.h"
#include "host/forms/ListView.h"

#include <cstdint>
#include <vector>

namespace tamrel::test {

// An LCID no system knows (language 0x3FF is not assigned).
inline constexpr uint32_t kUnknownLocale = 0x2FFF;

// The item whose TLocale has the LCID, or -1.
int IndexOfLocale(TListView* list, uint32_t lcid);
// The LCIDs of the checked items, in the items' order.
std::vector<uint32_t> CheckedLocales(TListView* list);
// Scrolls the item into view and clicks its check box with the mouse.
void ClickCheckBox(TListView* list, int index);
// The pixels of an item's check box in a capture of the list view's client area.
std::vector<COLORREF> CheckBoxPixels(TBitmap& capture, TListView* list, int index);

} // namespace tamrel::test
