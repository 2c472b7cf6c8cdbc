#include "classlib/gui/Glyphs.h"

namespace gui {
namespace {

constexpr COLORREF kCheckColour = RGB(0, 128, 0);
constexpr COLORREF kCrossColour = RGB(192, 0, 0);
constexpr int kStroke = 3;

void DrawStrokes(HDC dc, COLORREF colour, int x, int y, const POINT* points, const DWORD* counts, DWORD strokes) {
    HPEN pen = CreatePen(PS_SOLID, kStroke, colour);
    HGDIOBJ old = SelectObject(dc, pen);
    POINT moved[8];
    DWORD total = 0;
    for (DWORD i = 0; i < strokes; ++i) total += counts[i];
    for (DWORD i = 0; i < total && i < 8; ++i) moved[i] = POINT{points[i].x + x, points[i].y + y};
    PolyPolyline(dc, moved, counts, strokes);
    SelectObject(dc, old);
    DeleteObject(pen);
}

}  // namespace

void DrawGlyph(HDC dc, TGlyph glyph, int x, int y, bool enabled) {
    COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    switch (glyph) {
        case TGlyph::Check: {
            static constexpr POINT points[] = {{2, 8}, {6, 12}, {13, 3}};
            static constexpr DWORD counts[] = {3};
            DrawStrokes(dc, enabled ? kCheckColour : grey, x, y, points, counts, 1);
            break;
        }
        case TGlyph::Cross: {
            static constexpr POINT points[] = {{3, 3}, {13, 13}, {13, 3}, {3, 13}};
            static constexpr DWORD counts[] = {2, 2};
            DrawStrokes(dc, enabled ? kCrossColour : grey, x, y, points, counts, 2);
            break;
        }
        case TGlyph::None:
            break;
    }
}

}  // namespace gui
