// The check-box and radio-button glyphs of the check lists, and the screen's pixel density.
#pragma once

#include "host/Api.h"

#include "host/forms/Graphics.h"

namespace tamrel {

TAMREL_ENUM(TrkGlyphKind, gkCheck, gkRadio);
// gsOn is ordinal 0: stored states and callers rely on it.
TAMREL_ENUM(TrkGlyphState, gsOn, gsOff, gsGrayed);

// The shared bitmap of a kind, state and enabled flag, loaded from the library's own module on
// first use; the caller must not free it. A grayed radio button has no glyph: null. A missing
// resource gives an empty bitmap, never another glyph.
TAMREL_API TBitmap* RkGetGlyph(TrkGlyphKind Kind, TrkGlyphState State, bool Enabled);

// The screen's LOGPIXELSY, read once on first use (96 where there is no screen, as in a service
// process without a display; reading it never stops the library from loading).
TAMREL_API int ScreenLogPixels();

namespace detail {
// A bitmap resource of the library's own module; empty when there is none.
TAMREL_API std::unique_ptr<TBitmap> LoadLibraryBitmap(const wchar_t* name);
} // namespace detail

} // namespace tamrel
