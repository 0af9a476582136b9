#include "host/forms/Graphics.h"

#include "host/Streaming.h"
#include "host/Streams.h"

#include <cstring>

namespace tamrel {

TAMREL_IMPLEMENT_CLASS(TGraphicsObject) {}
TAMREL_IMPLEMENT_CLASS(TFont) {
    b.Integer(L"Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET);
    b.Integer(L"Color", &TFont::Color, &TFont::SetColor, clWindowText);
    b.Integer(L"Height", &TFont::Height, &TFont::SetHeight).StoredAlways();
    b.String(L"Name", &TFont::Name, &TFont::SetName);
    b.Set(L"Style", &TFont::Style, &TFont::SetStyle, TFontStyles{});
    b.Enum(L"Pitch", &TFont::Pitch, &TFont::SetPitch, fpDefault);
}
TAMREL_IMPLEMENT_CLASS(TBrush) {
    b.Integer(L"Color", &TBrush::Color, &TBrush::SetColor, clWhite);
    b.Enum(L"Style", &TBrush::Style, &TBrush::SetStyle, bsSolid);
}
TAMREL_IMPLEMENT_CLASS(TPen) {
    b.Integer(L"Color", &TPen::Color, &TPen::SetColor, clBlack);
    b.Enum(L"Style", &TPen::Style, &TPen::SetStyle, psSolid);
    b.Integer(L"Width", &TPen::Width, &TPen::SetWidth, 1);
}
TAMREL_IMPLEMENT_CLASS(TCanvas) {}
TAMREL_IMPLEMENT_CLASS(TBitmap) {}
TAMREL_IMPLEMENT_CLASS(TIcon) {}
TAMREL_IMPLEMENT_CLASS(TPicture) {}

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

int ScreenPixelsPerInch() {
    // Read once: a service process without a display has no screen, and then 96 stands in.
    static const int ppi = [] {
        HDC dc = GetDC(nullptr);
        if (!dc) return 96;
        int v = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return v > 0 ? v : 96;
    }();
    return ppi;
}

RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }

// ---------------------------------------------------------------------------------------------
// Font, brush, pen

void TGraphicsObject::Changed() {
    if (FOnChange) FOnChange(this);
}

TFont::TFont() : FName(L"Tahoma"), FHeight(-11) {}

void TFont::Changed() {
    FHandle.Reset();
    TGraphicsObject::Changed();
}

void TFont::SetName(const std::wstring& value) {
    if (value.empty() || value == FName) return;
    FName = value;
    Changed();
}

void TFont::SetHeight(int32_t value) {
    if (value == FHeight) return;
    FHeight = value;
    Changed();
}

int32_t TFont::Size() const { return -MulDiv(FHeight, 72, ScreenPixelsPerInch()); }
void TFont::SetSize(int32_t value) { SetHeight(-MulDiv(value, ScreenPixelsPerInch(), 72)); }

void TFont::SetStyle(TFontStyles value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

void TFont::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    // The colour is not part of the GDI font: keep the handle.
    TGraphicsObject::Changed();
}

void TFont::SetCharset(int32_t value) {
    if (value == FCharset) return;
    FCharset = value;
    Changed();
}

void TFont::SetPitch(TFontPitch value) {
    if (value == FPitch) return;
    FPitch = value;
    Changed();
}

HFONT TFont::Handle() {
    if (!FHandle) {
        LOGFONTW lf = {};
        lf.lfHeight = FHeight;
        lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = FStyle.Contains(fsItalic);
        lf.lfUnderline = FStyle.Contains(fsUnderline);
        lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
        lf.lfCharSet = static_cast<BYTE>(FCharset);
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = FPitch == fpFixed      ? FIXED_PITCH | FF_MODERN
                              : FPitch == fpVariable ? VARIABLE_PITCH
                                                     : DEFAULT_PITCH;
        lstrcpynW(lf.lfFaceName, FName.c_str(), LF_FACESIZE);
        FHandle.Reset(CreateFontIndirectW(&lf));
        if (!FHandle) RaiseLastOSError();
    }
    return FHandle.Get();
}

bool TFont::SameAs(const TFont& o) const {
    return FName == o.FName && FHeight == o.FHeight && FStyle == o.FStyle && FColor == o.FColor &&
           FCharset == o.FCharset && FPitch == o.FPitch;
}

void TFont::Assign(TPersistent* source) {
    auto* f = dynamic_cast<TFont*>(source);
    if (!f) return TGraphicsObject::Assign(source);
    if (SameAs(*f)) return;
    bool sameFace = FName == f->FName && FHeight == f->FHeight && FStyle == f->FStyle && FCharset == f->FCharset &&
                    FPitch == f->FPitch;
    FName = f->FName;
    FHeight = f->FHeight;
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    if (sameFace) TGraphicsObject::Changed();
    else Changed();
}

void TBrush::Changed() {
    FHandle.Reset();
    TGraphicsObject::Changed();
}

void TBrush::SetColor(TColor value) {
    // Giving a clear brush a colour makes it solid, also with the colour it had.
    if (value == FColor && FStyle != bsClear) return;
    FColor = value;
    if (FStyle == bsClear) FStyle = bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

HBRUSH TBrush::Handle() {
    if (FStyle == bsClear) return static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
    if (!FHandle) {
        static const int hatch[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
        HBRUSH b = FStyle == bsSolid ? CreateSolidBrush(ColorToRGB(FColor))
                                     : CreateHatchBrush(hatch[FStyle], ColorToRGB(FColor));
        if (!b) RaiseLastOSError();
        FHandle.Reset(b);
    }
    return FHandle.Get();
}

void TBrush::Assign(TPersistent* source) {
    auto* b = dynamic_cast<TBrush*>(source);
    if (!b) return TGraphicsObject::Assign(source);
    if (b->FColor == FColor && b->FStyle == FStyle) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    Changed();
}

void TPen::Changed() {
    FHandle.Reset();
    TGraphicsObject::Changed();
}

void TPen::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TPen::SetWidth(int32_t value) {
    if (value == FWidth || value < 0) return;
    FWidth = value;
    Changed();
}

void TPen::SetStyle(TPenStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

HPEN TPen::Handle() {
    if (!FHandle) {
        static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        HPEN p = CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor));
        if (!p) RaiseLastOSError();
        FHandle.Reset(p);
    }
    return FHandle.Get();
}

void TPen::Assign(TPersistent* source) {
    auto* p = dynamic_cast<TPen*>(source);
    if (!p) return TGraphicsObject::Assign(source);
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    Changed();
}

// ---------------------------------------------------------------------------------------------
// Canvas

TCanvas::TCanvas() : FFont(new TFont), FBrush(new TBrush), FPen(new TPen) {
    auto changed = TNotifyEvent::Of<&TCanvas::ObjectChanged>(this);
    FFont->SetOnChange(changed);
    FBrush->SetOnChange(changed);
    FPen->SetOnChange(changed);
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::ObjectChanged(TObject*) {
    // The changed object may be about to make a new GDI object: select afresh on next use.
    Refresh();
}

HDC TCanvas::Handle() {
    if (!FHandle) CreateHandle();
    if (!FHandle) throw EInvalidOperation(L"Canvas does not allow drawing");
    return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == FHandle) return;
    Refresh();
    FHandle = dc;
}

void TCanvas::Refresh() {
    if (!FSelected || !FHandle) {
        FSelected = false;
        return;
    }
    SelectObject(FHandle, FOldFont);
    SelectObject(FHandle, FOldBrush);
    SelectObject(FHandle, FOldPen);
    FSelected = false;
}

void TCanvas::RequireObjects() {
    HDC dc = Handle();
    if (!FSelected) {
        FOldFont = SelectObject(dc, FFont->Handle());
        FOldBrush = SelectObject(dc, FBrush->Handle());
        FOldPen = SelectObject(dc, FPen->Handle());
        FSelected = true;
    }
    SetTextColor(dc, ColorToRGB(FFont->Color()));
    if (FBrush->Style() == bsClear) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorToRGB(FBrush->Color()));
    }
}

void TCanvas::FillRect(const RECT& r) {
    RequireObjects();
    ::FillRect(FHandle, &r, FBrush->Handle());
}

void TCanvas::FrameRect(const RECT& r) {
    RequireObjects();
    ::FrameRect(FHandle, &r, FBrush->Handle());
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    RequireObjects();
    ::Rectangle(FHandle, left, top, right, bottom);
}

void TCanvas::MoveTo(int x, int y) {
    RequireObjects();
    MoveToEx(FHandle, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    RequireObjects();
    ::LineTo(FHandle, x, y);
}

void TCanvas::TextOut(int x, int y, const std::wstring& text) {
    RequireObjects();
    ExtTextOutW(FHandle, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::TextRect(const RECT& r, int x, int y, const std::wstring& text) {
    RequireObjects();
    UINT options = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
    ExtTextOutW(FHandle, x, y, options, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
}

int TCanvas::DrawText(RECT& r, const std::wstring& text, UINT flags) {
    RequireObjects();
    return ::DrawTextW(FHandle, text.c_str(), static_cast<int>(text.size()), &r, flags);
}

SIZE TCanvas::TextExtent(const std::wstring& text) {
    RequireObjects();
    SIZE s = {};
    GetTextExtentPoint32W(FHandle, text.c_str(), static_cast<int>(text.size()), &s);
    return s;
}

void TCanvas::Draw(int x, int y, TBitmap* bitmap) {
    if (!bitmap || bitmap->Empty()) return;
    RequireObjects();
    BitBlt(FHandle, x, y, bitmap->Width(), bitmap->Height(), bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TCanvas::Draw(int x, int y, TIcon* icon) {
    if (!icon || icon->Empty()) return;
    RequireObjects();
    DrawIconEx(FHandle, x, y, icon->Handle(), 0, 0, 0, nullptr, DI_NORMAL);
}

void TCanvas::StretchDraw(const RECT& r, TBitmap* bitmap) {
    if (!bitmap || bitmap->Empty()) return;
    RequireObjects();
    SetStretchBltMode(FHandle, COLORONCOLOR);
    StretchBlt(FHandle, r.left, r.top, RectWidth(r), RectHeight(r), bitmap->Canvas()->Handle(), 0, 0,
               bitmap->Width(), bitmap->Height(), SRCCOPY);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* canvas, const RECT& source) {
    RequireObjects();
    HDC src = canvas->Handle();
    StretchBlt(FHandle, dest.left, dest.top, RectWidth(dest), RectHeight(dest), src, source.left, source.top,
               RectWidth(source), RectHeight(source), SRCCOPY);
}

void TCanvas::BrushCopy(const RECT& dest, TBitmap* bitmap, const RECT& source, TColor color) {
    if (!bitmap || bitmap->Empty()) return;
    RequireObjects();
    if (FBrush->Style() != bsClear) ::FillRect(FHandle, &dest, FBrush->Handle());
    HDC src = bitmap->Canvas()->Handle();
    TransparentBlt(FHandle, dest.left, dest.top, RectWidth(dest), RectHeight(dest), src, source.left, source.top,
                   RectWidth(source), RectHeight(source), ColorToRGB(color));
}

TColor TCanvas::Pixel(int x, int y) {
    RequireObjects();
    return static_cast<TColor>(GetPixel(FHandle, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    RequireObjects();
    ::SetPixelV(FHandle, x, y, ColorToRGB(color));
}

RECT TCanvas::ClipRect() {
    RECT r = {};
    GetClipBox(Handle(), &r);
    return r;
}

// ---------------------------------------------------------------------------------------------
// Bitmap

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() { FreeCanvas(); }

void TBitmap::FreeCanvas() {
    if (FCanvas) FCanvas->SetHandle(nullptr);
    if (FCanvasDc) SelectObject(FCanvasDc.Get(), FOldBitmap);
    FCanvasDc.Reset();
    FOldBitmap = nullptr;
}

void TBitmap::SetHandle(HBITMAP bitmap) {
    FreeCanvas();
    FHandle.Reset(bitmap);
    BITMAP bm = {};
    if (bitmap && GetObjectW(bitmap, sizeof bm, &bm)) {
        FWidth = bm.bmWidth;
        FHeight = bm.bmHeight;
    } else {
        FWidth = FHeight = 0;
    }
}

void TBitmap::SetSize(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        SetHandle(nullptr);
        return;
    }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP h = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!h) RaiseLastOSError();
    // 24-bit rows are padded to 4 bytes.
    std::memset(bits, 0xFF, static_cast<size_t>((width * 3 + 3) & ~3) * height);
    SetHandle(h);
}

TPixelFormat TBitmap::PixelFormat() const {
    DIBSECTION ds = {};
    if (!FHandle) return pfDevice;
    if (GetObjectW(FHandle.Get(), sizeof ds, &ds) != sizeof ds) return pfDevice;
    switch (ds.dsBmih.biBitCount) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return pf16bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
    }
}

TCanvas* TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>();
    if (!FCanvasDc && FHandle) {
        FCanvasDc.Reset(CreateCompatibleDC(nullptr));
        if (!FCanvasDc) RaiseLastOSError();
        FOldBitmap = SelectObject(FCanvasDc.Get(), FHandle.Get());
        FCanvas->SetHandle(FCanvasDc.Get());
    }
    return FCanvas.get();
}

void TBitmap::LoadFromResourceName(HMODULE module, const std::wstring& name) {
    if (!FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(2) /* RT_BITMAP */))
        throw EResNotFound(L"Resource %s not found", name);
    HANDLE h = LoadImageW(module, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (!h) RaiseLastOSError();
    SetHandle(static_cast<HBITMAP>(h));
}

void TBitmap::LoadFromFile(const std::wstring& fileName) {
    HANDLE h = LoadImageW(nullptr, fileName.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    if (!h) throw EFOpenError(L"Cannot open file \"%s\". %s", fileName, SysErrorMessage(GetLastError()));
    SetHandle(static_cast<HBITMAP>(h));
}

std::string TBitmap::SaveToBytes() {
    if (Empty()) return {};
    // Written as a 24-bit image, whatever the source: every reader takes it.
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof bih;
    bih.biWidth = FWidth;
    bih.biHeight = FHeight;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    const size_t stride = static_cast<size_t>((FWidth * 3 + 3) & ~3);
    bih.biSizeImage = static_cast<DWORD>(stride * FHeight);
    std::string pixels(bih.biSizeImage, '\0');
    FreeCanvas(); // GetDIBits wants the bitmap out of any device context
    TWindowDc screen(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader = bih;
    if (!GetDIBits(screen.Get(), FHandle.Get(), 0, FHeight, pixels.data(), &bi, DIB_RGB_COLORS)) RaiseLastOSError();
    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = static_cast<DWORD>(bfh.bfOffBits + pixels.size());
    std::string out(reinterpret_cast<const char*>(&bfh), sizeof bfh);
    out.append(reinterpret_cast<const char*>(&bih), sizeof bih);
    out += pixels;
    return out;
}

void TBitmap::LoadFromBytes(const std::string& bytes) {
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) throw EInvalidOperation(L"Invalid bitmap");
    auto* bfh = reinterpret_cast<const BITMAPFILEHEADER*>(bytes.data());
    auto* bi = reinterpret_cast<const BITMAPINFO*>(bytes.data() + sizeof(BITMAPFILEHEADER));
    if (bfh->bfType != 0x4D42 || bfh->bfOffBits >= bytes.size()) throw EInvalidOperation(L"Invalid bitmap");
    const auto& h = bi->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1 ||
        (h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB)
        throw EInvalidOperation(L"Invalid bitmap");
    const uint64_t stride = ((static_cast<uint64_t>(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    const uint64_t rows = static_cast<uint64_t>(h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
    if (stride * rows > bytes.size() - bfh->bfOffBits) throw EInvalidOperation(L"Invalid bitmap");
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) RaiseLastOSError();
    std::memcpy(bits, bytes.data() + bfh->bfOffBits, static_cast<size_t>(stride * rows));
    SetHandle(bmp);
}

void TBitmap::SaveToFile(const std::wstring& fileName) {
    std::string bytes = SaveToBytes();
    TFileHandle f(CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) throw EFCreateError(L"Cannot create file \"%s\". %s", fileName, SysErrorMessage(GetLastError()));
    DWORD written = 0;
    if (!WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        throw EWriteError(L"Stream write error");
}

TColor TBitmap::TransparentColor() {
    if (FTransparentMode == tmFixed) return FTransparentColor;
    if (Empty()) return clDefault;
    return (Canvas()->Pixel(0, FHeight - 1) & 0xFFFFFF) | 0x02000000;
}

void TBitmap::SetTransparentColor(TColor value) {
    FTransparentColor = value;
    FTransparentMode = value == clDefault ? tmAuto : tmFixed;
}

void TBitmap::Assign(TPersistent* source) {
    auto* b = dynamic_cast<TBitmap*>(source);
    if (!b) return TPersistent::Assign(source);
    if (b == this) return;
    HBITMAP copy = nullptr;
    if (b->FHandle) {
        b->FreeCanvas();
        copy = static_cast<HBITMAP>(CopyImage(b->FHandle.Get(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (!copy) RaiseLastOSError();
    }
    SetHandle(copy);
    FTransparentMode = b->FTransparentMode;
    FTransparentColor = b->FTransparentColor;
}

// ---------------------------------------------------------------------------------------------
// Icon

namespace {

#pragma pack(push, 1)
struct TIconDir {
    uint16_t Reserved, Type, Count;
};
struct TIconDirEntry {
    uint8_t Width, Height, ColorCount, Reserved;
    uint16_t Planes, BitCount;
    uint32_t BytesInRes, ImageOffset;
};
#pragma pack(pop)

// The directory entry of an icon file's first image; null when the directory does not fit the
// bytes.
const TIconDirEntry* FirstIconEntry(const std::string& bytes) {
    if (bytes.size() < sizeof(TIconDir)) return nullptr;
    TIconDir dir;
    std::memcpy(&dir, bytes.data(), sizeof dir);
    if (dir.Reserved != 0 || dir.Type != 1 || dir.Count == 0) return nullptr;
    if (bytes.size() < sizeof(TIconDir) + size_t(dir.Count) * sizeof(TIconDirEntry)) return nullptr;
    return reinterpret_cast<const TIconDirEntry*>(bytes.data() + sizeof(TIconDir));
}

} // namespace

HICON TIcon::Handle() const {
    if (!FHandle && !FData.empty()) {
        const TIconDirEntry* e = FirstIconEntry(FData);
        // The image must lie inside the bytes; a damaged one gives no handle.
        if (e && e->ImageOffset < FData.size() && e->BytesInRes > 0 && e->BytesInRes <= FData.size() - e->ImageOffset) {
            auto* image = reinterpret_cast<BYTE*>(const_cast<char*>(FData.data()) + e->ImageOffset);
            FHandle.Reset(CreateIconFromResourceEx(image, e->BytesInRes, TRUE, 0x00030000, FWidth, FHeight, LR_DEFAULTCOLOR));
        }
    }
    return FHandle.Get();
}

HICON TIcon::ReleaseHandle() {
    Handle();
    return FHandle.Release();
}

void TIcon::LoadFromBytes(std::string bytes) {
    const TIconDirEntry* e = FirstIconEntry(bytes);
    if (!e) throw EInvalidOperation(L"Invalid icon");
    FHandle.Reset();
    FWidth = e->Width ? e->Width : 256;
    FHeight = e->Height ? e->Height : 256;
    FData = std::move(bytes);
    if (FOnChange) FOnChange(this);
}

void TIcon::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    LoadFromBytes(std::move(bytes));
}

void TIcon::SaveToStream(TStream& stream) const {
    if (!FData.empty()) stream.WriteBuffer(FData.data(), static_cast<int32_t>(FData.size()));
}

void TIcon::DefineProperties(TFiler& filer) {
    filer.DefineBinaryProperty(
        L"Data", [this](const std::vector<uint8_t>& data) { LoadFromBytes(std::string(data.begin(), data.end())); },
        [this] { return std::vector<uint8_t>(FData.begin(), FData.end()); }, !FData.empty());
}

void TIcon::SetHandle(HICON icon) {
    FHandle.Reset(icon);
    FData.clear();
    FWidth = FHeight = 0;
    ICONINFO info = {};
    if (icon && GetIconInfo(icon, &info)) {
        const TGdiHandle<HBITMAP> color(info.hbmColor), mask(info.hbmMask); // copies made for us
        BITMAP bm = {};
        if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm)) {
            FWidth = bm.bmWidth;
            FHeight = bm.bmHeight;
        } else if (info.hbmMask && GetObjectW(info.hbmMask, sizeof bm, &bm)) {
            FWidth = bm.bmWidth;
            FHeight = bm.bmHeight / 2;
        }
    }
    if (FOnChange) FOnChange(this);
}

void TIcon::LoadFromResourceName(HMODULE module, const std::wstring& name) {
    if (!FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */))
        throw EResNotFound(L"Resource %s not found", name);
    HANDLE h = LoadImageW(module, name.c_str(), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    if (!h) RaiseLastOSError();
    SetHandle(static_cast<HICON>(h));
}

void TIcon::Assign(TPersistent* source) {
    auto* i = dynamic_cast<TIcon*>(source);
    if (!i) return TPersistent::Assign(source);
    if (i == this) return;
    if (!i->FData.empty()) {
        FHandle.Reset();
        FData = i->FData;
        FWidth = i->FWidth;
        FHeight = i->FHeight;
        if (FOnChange) FOnChange(this);
        return;
    }
    SetHandle(i->Handle() ? CopyIcon(i->Handle()) : nullptr);
}

// ---------------------------------------------------------------------------------------------
// Picture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

TBitmap* TPicture::Bitmap() {
    if (!FBitmap) {
        FIcon.reset();
        FBitmap = std::make_unique<TBitmap>();
    }
    return FBitmap.get();
}

TIcon* TPicture::Icon() {
    if (!FIcon) {
        FBitmap.reset();
        FIcon = std::make_unique<TIcon>();
    }
    return FIcon.get();
}

bool TPicture::Empty() const { return !(FBitmap && !FBitmap->Empty()) && !(FIcon && !FIcon->Empty()); }
int32_t TPicture::Width() const { return FBitmap ? FBitmap->Width() : FIcon ? FIcon->Width() : 0; }
int32_t TPicture::Height() const { return FBitmap ? FBitmap->Height() : FIcon ? FIcon->Height() : 0; }

void TPicture::Changed() {
    if (FOnChange) FOnChange(this);
}

void TPicture::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TPicture*>(source)) {
        if (p->FBitmap) Bitmap()->Assign(p->FBitmap.get());
        else if (p->FIcon) Icon()->Assign(p->FIcon.get());
        else FBitmap.reset(), FIcon.reset();
    } else if (auto* b = dynamic_cast<TBitmap*>(source)) {
        Bitmap()->Assign(b);
    } else if (auto* i = dynamic_cast<TIcon*>(source)) {
        Icon()->Assign(i);
    } else {
        return TPersistent::Assign(source);
    }
    Changed();
}

void TPicture::DefineProperties(TFiler& filer) {
    // "Data": the image as the bytes of a .bmp file (icons are not stored).
    filer.DefineBinaryProperty(
        L"Data",
        [this](const std::vector<uint8_t>& data) {
            Bitmap()->LoadFromBytes(std::string(data.begin(), data.end()));
            Changed();
        },
        [this] {
            std::string bytes = FBitmap ? FBitmap->SaveToBytes() : std::string();
            return std::vector<uint8_t>(bytes.begin(), bytes.end());
        },
        FBitmap && !FBitmap->Empty());
}

} // namespace tamrel
