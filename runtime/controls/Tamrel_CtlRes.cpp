#include "runtime/controls/Tamrel_CtlRes.h"

#include <memory>
#include <mutex>

namespace tamrel {

namespace detail {
std::unique_ptr<TBitmap> LoadLibraryBitmap(const wchar_t* name) {
    auto bitmap = std::make_unique<TBitmap>();
    HMODULE module = ThisModuleHandle();
    if (FindResourceW(module, name, MAKEINTRESOURCEW(2) /* RT_BITMAP */)) bitmap->LoadFromResourceName(module, name);
    return bitmap;
}
} // namespace detail

namespace {

// [kind][state][enabled]; null names have no glyph.
const wchar_t* const kGlyphNames[2][3][2] = {
    {{L"RKBM_CHECK_ON_DISABLED", L"RKBM_CHECK_ON"},
     {L"RKBM_CHECK_OFF_DISABLED", L"RKBM_CHECK_OFF"},
     {L"RKBM_CHECK_ON_DISABLED", L"RKBM_CHECK_GRAY"}},
    {{L"RKBM_RADIO_ON_DISABLED", L"RKBM_RADIO_ON"},
     {L"RKBM_RADIO_OFF_DISABLED", L"RKBM_RADIO_OFF"},
     {nullptr, nullptr}}};

// Each cell owns its bitmap (a name used twice is loaded twice); freed with the process.
struct TGlyphTable {
    std::unique_ptr<TBitmap> Cells[2][3][2];
    TGlyphTable() {
        for (int k = 0; k < 2; ++k)
            for (int s = 0; s < 3; ++s)
                for (int e = 0; e < 2; ++e)
                    if (kGlyphNames[k][s][e]) Cells[k][s][e] = detail::LoadLibraryBitmap(kGlyphNames[k][s][e]);
    }
};

TGlyphTable& Glyphs() {
    static TGlyphTable table;
    return table;
}

} // namespace

TBitmap* RkGetGlyph(TrkGlyphKind Kind, TrkGlyphState State, bool Enabled) {
    if (Kind < gkCheck || Kind > gkRadio || State < gsOn || State > gsGrayed) return nullptr;
    return Glyphs().Cells[Kind][State][Enabled ? 1 : 0].get();
}

int ScreenLogPixels() { return ScreenPixelsPerInch(); }

} // namespace tamrel
