// Graphics: colours (with the system ones), fonts, brushes, pens, the canvas that draws on a
// device context, bitmaps and icons.
//
// Font, brush and pen keep their values and make their GDI object on first use; a canvas
// selects the current ones into its device context before each drawing call and deselects them
// when the context is let go.
#pragma once

#include "host/Api.h"

#include "host/Classes.h"
#include "host/Handles.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tamrel {

class TStream;

// ---------------------------------------------------------------------------------------------
// Colours: $00BBGGRR, or a system colour (clSystemColor plus the COLOR_ index).

using TColor = int32_t;

inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                        clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                        clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                        clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                        clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;
inline constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR, clBackground = clSystemColor | COLOR_BACKGROUND,
                        clWindow = clSystemColor | COLOR_WINDOW, clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                        clBtnFace = clSystemColor | COLOR_BTNFACE, clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                        clBtnText = clSystemColor | COLOR_BTNTEXT, clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                        clGrayText = clSystemColor | COLOR_GRAYTEXT, clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                        clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT, clInfoBk = clSystemColor | COLOR_INFOBK,
                        clInfoText = clSystemColor | COLOR_INFOTEXT;

// The RGB value of a colour: system colours through GetSysColor; flag bits above the 24 colour
// bits (a bitmap's automatic transparent colour carries $02000000) are dropped.
TAMREL_API COLORREF ColorToRGB(TColor color);

// The screen's vertical pixel density (LOGPIXELSY), 96 where there is no screen.
TAMREL_API int ScreenPixelsPerInch();

// ---------------------------------------------------------------------------------------------
// Font, brush, pen

TAMREL_ENUM(TFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut);
using TFontStyles = TSet<TFontStyle>;
// fpFixed asks the font mapper for a fixed-pitch face of the modern family: a face the system
// lacks is then replaced by a monospaced one, not by any proportional face.
TAMREL_ENUM(TFontPitch, fpDefault, fpVariable, fpFixed);

class TAMREL_API TGraphicsObject : public TPersistent {
    TAMREL_CLASS(TGraphicsObject, TPersistent)
public:
    TGraphicsObject() = default;
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

protected:
    // Drops the GDI object (it is made anew on next use) and tells OnChange.
    virtual void Changed();
    TNotifyEvent FOnChange;
};

class TAMREL_API TFont : public TGraphicsObject {
    TAMREL_CLASS(TFont, TGraphicsObject)
public:
    TFont();

    const std::wstring& Name() const { return FName; }
    void SetName(const std::wstring& value);
    // Character height in pixels, negative (the cell height minus the internal leading).
    int32_t Height() const { return FHeight; }
    void SetHeight(int32_t value);
    // Points, through the screen density.
    int32_t Size() const;
    void SetSize(int32_t value);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int32_t Charset() const { return FCharset; }
    void SetCharset(int32_t value);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch value);

    HFONT Handle();
    void Assign(TPersistent* source) override;
    bool SameAs(const TFont& other) const;

protected:
    void Changed() override;

private:
    std::wstring FName;
    int32_t FHeight;
    TFontStyles FStyle;
    TColor FColor = clWindowText;
    int32_t FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    TGdiHandle<HFONT> FHandle;
};

TAMREL_ENUM(TBrushStyle, bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross);

class TAMREL_API TBrush : public TGraphicsObject {
    TAMREL_CLASS(TBrush, TGraphicsObject)
public:
    TBrush() = default;
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value);
    // Clear brushes answer the stock hollow brush.
    HBRUSH Handle();
    void Assign(TPersistent* source) override;

protected:
    void Changed() override;

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    TGdiHandle<HBRUSH> FHandle;
};

TAMREL_ENUM(TPenStyle, psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame);

class TAMREL_API TPen : public TGraphicsObject {
    TAMREL_CLASS(TPen, TGraphicsObject)
public:
    TPen() = default;
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    int32_t Width() const { return FWidth; }
    void SetWidth(int32_t value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);
    HPEN Handle();
    void Assign(TPersistent* source) override;

protected:
    void Changed() override;

private:
    TColor FColor = clBlack;
    int32_t FWidth = 1;
    TPenStyle FStyle = psSolid;
    TGdiHandle<HPEN> FHandle;
};

// ---------------------------------------------------------------------------------------------
// Canvas

class TBitmap;
class TIcon;

TAMREL_API RECT Rect(int left, int top, int right, int bottom);
inline int RectWidth(const RECT& r) { return r.right - r.left; }
inline int RectHeight(const RECT& r) { return r.bottom - r.top; }

class TAMREL_API TCanvas : public TPersistent {
    TAMREL_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    ~TCanvas() override;

    // The device context; a canvas that makes its own (CreateHandle) makes it here.
    HDC Handle();
    // Attaches a device context the caller owns (0 detaches; the current objects are deselected).
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value) { FFont->Assign(value); }
    TBrush* Brush() const { return FBrush.get(); }
    void SetBrush(TBrush* value) { FBrush->Assign(value); }
    TPen* Pen() const { return FPen.get(); }
    void SetPen(TPen* value) { FPen->Assign(value); }

    void FillRect(const RECT& r);
    void FrameRect(const RECT& r);
    void Rectangle(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const std::wstring& text);
    // Text clipped to R, starting at (X, Y).
    void TextRect(const RECT& r, int x, int y, const std::wstring& text);
    // DrawTextW with the canvas' font and colours; answers the text height.
    int DrawText(RECT& r, const std::wstring& text, UINT flags);
    SIZE TextExtent(const std::wstring& text);
    int TextWidth(const std::wstring& text) { return TextExtent(text).cx; }
    int TextHeight(const std::wstring& text) { return TextExtent(text).cy; }
    void Draw(int x, int y, TBitmap* bitmap);
    void Draw(int x, int y, TIcon* icon);
    void StretchDraw(const RECT& r, TBitmap* bitmap);
    void CopyRect(const RECT& dest, TCanvas* canvas, const RECT& source);
    // Copies Source of Bitmap to Dest; the pixels of colour Color become the brush: with a
    // clear brush they leave the canvas as it was, so the bitmap is drawn transparently.
    void BrushCopy(const RECT& dest, TBitmap* bitmap, const RECT& source, TColor color);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    RECT ClipRect();
    // Deselects the font, brush and pen, so that their objects may change or go.
    void Refresh();

protected:
    virtual void CreateHandle() {}
    // Selects the current font, brush and pen, and sets the text colours.
    void RequireObjects();

private:
    void ObjectChanged(TObject* sender);
    HDC FHandle = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
    bool FSelected = false;
    HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Bitmap and icon

TAMREL_ENUM(TPixelFormat, pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom);
TAMREL_ENUM(TTransparentMode, tmAuto, tmFixed);

class TAMREL_API TBitmap : public TPersistent {
    TAMREL_CLASS(TBitmap, TPersistent)
public:
    TBitmap();
    ~TBitmap() override;

    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    // A new 24-bit image of that size, white.
    void SetSize(int32_t width, int32_t height);
    TPixelFormat PixelFormat() const;
    bool Empty() const { return !FHandle || FWidth == 0 || FHeight == 0; }

    HBITMAP Handle() const { return FHandle.Get(); }
    // Takes ownership of a bitmap handle (a DIB section or a device-dependent bitmap).
    void SetHandle(HBITMAP bitmap);
    // A canvas that draws on the image.
    TCanvas* Canvas();

    // Raises EResNotFound ("Resource %s not found") when the module has no such bitmap.
    void LoadFromResourceName(HMODULE module, const std::wstring& name);
    void LoadFromFile(const std::wstring& fileName);
    void SaveToFile(const std::wstring& fileName);
    // The image as the bytes of a .bmp file, and back.
    std::string SaveToBytes();
    void LoadFromBytes(const std::string& bytes);

    // tmAuto: the colour of the bottom-left pixel, flagged with $02000000.
    TColor TransparentColor();
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return FTransparentMode; }

    void Assign(TPersistent* source) override;

private:
    void FreeCanvas();
    TGdiHandle<HBITMAP> FHandle;
    int32_t FWidth = 0, FHeight = 0;
    std::unique_ptr<TCanvas> FCanvas;
    TMemoryDc FCanvasDc;
    HGDIOBJ FOldBitmap = nullptr;
    TTransparentMode FTransparentMode = tmAuto;
    TColor FTransparentColor = clDefault;
};

// An icon: a handle, or the bytes of an .ico file (what streams and stored forms carry, as
// "Data") from which the handle is made when it is first asked for.
class TAMREL_API TIcon : public TPersistent {
    TAMREL_CLASS(TIcon, TPersistent)
public:
    TIcon() = default;
    // Made from the file bytes on first use; null when there is neither.
    HICON Handle() const;
    // Takes the handle over; the file bytes go.
    void SetHandle(HICON icon);
    // Gives the handle away (the caller destroys it); the icon keeps its file bytes, so that the
    // next Handle makes a new one from them.
    HICON ReleaseHandle();
    bool Empty() const { return !FHandle && FData.empty(); }
    int32_t Width() const { return FWidth; }
    int32_t Height() const { return FHeight; }
    // Raises EResNotFound when the module has no such icon.
    void LoadFromResourceName(HMODULE module, const std::wstring& name);
    // The rest of the stream as an .ico file: its directory is checked (EInvalidOperation
    // "Invalid icon"), its images are taken as they are.
    void LoadFromStream(TStream& stream);
    // The .ico file bytes it was loaded from; nothing for an icon made from a handle.
    void SaveToStream(TStream& stream) const;
    void Assign(TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;
    // Told after every change of the icon.
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

private:
    void LoadFromBytes(std::string bytes);
    mutable TIconHandle FHandle;
    std::string FData;
    int32_t FWidth = 0, FHeight = 0;
    TNotifyEvent FOnChange;
};

// What an image control shows: a bitmap (stored in forms as "Picture.Data") or an icon.
class TAMREL_API TPicture : public TPersistent {
    TAMREL_CLASS(TPicture, TPersistent)
public:
    TPicture();
    ~TPicture() override;
    // Each makes the picture one of its kind (dropping the other) when it is not.
    TBitmap* Bitmap();
    TIcon* Icon();
    bool HasBitmap() const { return FBitmap != nullptr; }
    bool Empty() const;
    int32_t Width() const;
    int32_t Height() const;
    TNotifyEvent OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    // Tells OnChange after the bitmap or icon was changed in place.
    void Changed();
    void Assign(TPersistent* source) override;
    void DefineProperties(TFiler& filer) override;

private:
    std::unique_ptr<TBitmap> FBitmap;
    std::unique_ptr<TIcon> FIcon;
    TNotifyEvent FOnChange;
};

} // namespace tamrel
