#include "classlib/gui/Graphics.h"

#include <iterator>

#include "GuiTexts.h"
#include "classlib/WideText.h"

#include <windows.h>

namespace {

// A system colour is marked by the high bit, with its COLOR_ index below.
constexpr unsigned long kSystemColor = 0x80000000ul;

constexpr unsigned long kColorValues[] = {
    RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),     RGB(128, 128, 0),
    RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128),   RGB(128, 128, 128),
    RGB(192, 192, 192), RGB(255, 0, 0),   RGB(0, 255, 0),     RGB(255, 255, 0),
    RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255),   RGB(255, 255, 255),
    kSystemColor | COLOR_WINDOWTEXT, kSystemColor | COLOR_WINDOW, kSystemColor | COLOR_BTNFACE,
    kSystemColor | COLOR_BTNTEXT, kSystemColor | COLOR_GRAYTEXT, kSystemColor | COLOR_HIGHLIGHT,
    kSystemColor | COLOR_HIGHLIGHTTEXT,
};
static_assert(std::size(kColorValues) == clLastColor + 1);

constexpr unsigned char kCharsetValues[] = {
    ANSI_CHARSET,     DEFAULT_CHARSET, SYMBOL_CHARSET,      SHIFTJIS_CHARSET,
    HANGEUL_CHARSET,  GB2312_CHARSET,  CHINESEBIG5_CHARSET, OEM_CHARSET,
};
static_assert(std::size(kCharsetValues) == fcLast + 1);

}  // namespace

unsigned long ColorToRGB(TColor color) {
    if (color < 0 || color > clLastColor) return 0;
    const unsigned long value = kColorValues[color];
    if (value & kSystemColor) return GetSysColor(int(value & ~kSystemColor));
    return value;
}

unsigned char CharsetValue(TFontCharset charset) {
    if (charset < 0 || charset > fcLast) return DEFAULT_CHARSET;
    return kCharsetValues[charset];
}

int ScreenPixelsPerInch() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    const int pixels = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return pixels;
}

TFont::TFont() : FName(GuiText::DefaultFontName), FHeight(-12) {}

TFont::~TFont() { ReleaseHandle(); }

void TFont::SetName(const AnsiString& name) {
    if (name == FName) return;
    FName = name;
    Changed();
}

void TFont::SetHeight(int height) {
    if (height == FHeight) return;
    FHeight = height;
    Changed();
}

void TFont::SetCharset(TFontCharset charset) {
    if (charset == FCharset) return;
    FCharset = charset;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == FColor) return;
    FColor = color;
    Changed();
}

void TFont::SetStyle(unsigned style) {
    if (style == FStyle) return;
    FStyle = style;
    Changed();
}

void* TFont::Handle() {
    if (!FHandle) {
        // The face name as the W function wants it, so a Japanese name is found
        // whatever the system's code page.
        const std::wstring face = WideFromCp932(FName).substr(0, LF_FACESIZE - 1);
        FHandle = CreateFontW(FHeight, 0, 0, 0, (FStyle & fsBold) ? FW_BOLD : FW_NORMAL, (FStyle & fsItalic) != 0,
                              (FStyle & fsUnderline) != 0, (FStyle & fsStrikeOut) != 0, CharsetValue(FCharset),
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              face.c_str());
    }
    return FHandle;
}

// The old GDI font goes only after OnChange has given the windows that use
// it the new one.
void TFont::Changed() {
    void* old = FHandle;
    FHandle = nullptr;
    if (OnChange) OnChange();
    if (old) DeleteObject(static_cast<HFONT>(old));
}

void TFont::ReleaseHandle() {
    if (FHandle) DeleteObject(static_cast<HFONT>(FHandle));
    FHandle = nullptr;
}
