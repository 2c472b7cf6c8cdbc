// The button glyphs of the class library: small pictures of our own, drawn
// with GDI so they need no bitmap resources.
#pragma once

#include <windows.h>

namespace gui {

inline constexpr int kGlyphSize = 16;

enum class TGlyph { None, Check, Cross };

// Draws the glyph in the kGlyphSize square at (x, y); a disabled glyph is grey.
void DrawGlyph(HDC dc, TGlyph glyph, int x, int y, bool enabled);

}  // namespace gui
