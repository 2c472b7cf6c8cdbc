// Colours and fonts of the GUI classes.
#pragma once

#include <functional>

#include "classlib/AnsiString.h"
#include "classlib/ClassLibExport.h"

// The named colours a form file may give; system colours follow the user's
// settings.
enum TColor {
    clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray,
    clSilver, clRed, clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite,
    clWindowText, clWindow, clBtnFace, clBtnText, clGrayText, clHighlight, clHighlightText,
    clLastColor = clHighlightText
};
// The colour as a Win32 COLORREF (0x00BBGGRR).
CLASSLIB_API unsigned long ColorToRGB(TColor color);

// The character sets of fonts. A form file names them as Win32 does
// (SHIFTJIS_CHARSET); CharsetValue gives the Win32 number.
enum TFontCharset {
    fcAnsi, fcDefault, fcSymbol, fcShiftJis, fcHangeul, fcGb2312, fcChineseBig5, fcOem,
    fcLast = fcOem
};

CLASSLIB_API unsigned char CharsetValue(TFontCharset charset);

// The screen's resolution in pixels per logical inch; 0 when unknown.
CLASSLIB_API int ScreenPixelsPerInch();

// Font styles as bits; a form file keeps fonts without style.
enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// A font description and, once asked for, its GDI font. Any change drops the
// GDI font (it is made anew on the next Handle) and calls OnChange.
class CLASSLIB_API TFont {
public:
    TFont();
    ~TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const AnsiString& Name() const { return FName; }
    void SetName(const AnsiString& name);
    // Negative: the character height in pixels; positive: the cell height.
    int Height() const { return FHeight; }
    void SetHeight(int height);
    TFontCharset Charset() const { return FCharset; }
    void SetCharset(TFontCharset charset);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    unsigned Style() const { return FStyle; }
    void SetStyle(unsigned style);

    // The GDI font (HFONT); owned by this object. Null when GDI refuses it.
    void* Handle();

    std::function<void()> OnChange;

private:
    void Changed();
    void ReleaseHandle();

    AnsiString FName;
    int FHeight;
    TFontCharset FCharset = fcShiftJis;
    TColor FColor = clWindowText;
    unsigned FStyle = 0;
    void* FHandle = nullptr;
};
