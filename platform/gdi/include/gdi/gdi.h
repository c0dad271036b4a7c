// The drawing interface: device contexts with their mapping modes, pens and brushes, the text
// metrics of one fixed font, DrawText, lines, polylines and rectangles, saved states, and the
// conversions between logical and device coordinates.
//
// Device contexts, pens and brushes are 32-bit tokens (slot and generation), never addresses: a
// deleted or foreign handle is refused (the call fails) without touching freed memory, and a
// handle of one kind is refused where another kind is wanted. A device context draws on a
// ui::Surface (gdi/surface_dc.h), to which every call is forwarded in device pixels. Safe to call
// from any thread; the calls on one device context are serialised.
//
// What this stand-in leaves out: every device context has the one fixed font (its metrics below),
// the mapping modes are MM_TEXT and MM_ANISOTROPIC only, and text is not broken at words.
#pragma once

#include "win32/types.h"

MQ_DECLARE_HANDLE(HDC);
MQ_DECLARE_HANDLE(HPEN);
// HBRUSH is declared with the window-class types (win32/types.h).
using HGDIOBJ = void*;
using COLORREF = DWORD;  // 0x00BBGGRR

struct SIZE {
    LONG cx;
    LONG cy;
};
using LPSIZE = SIZE*;

#define RGB(r, g, b)                                                                               \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define CLR_INVALID 0xFFFFFFFFu

// Mapping modes. In MM_TEXT one logical unit is one device pixel, y grows downward and the
// extents are ignored; in MM_ANISOTROPIC the extents scale each axis.
#define MM_TEXT 1
#define MM_ANISOTROPIC 8

// Pen styles. PS_NULL draws nothing; PS_INSIDEFRAME draws as PS_SOLID; a dashed style one pixel
// wide reaches the surface as one line per dash.
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6

// Stock objects; deleting one does nothing and succeeds.
#define WHITE_BRUSH 0
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

// Background modes: text cells filled with the background colour, or left as they are.
#define TRANSPARENT 1
#define OPAQUE 2

// DrawText formats.
#define DT_TOP 0x0000u
#define DT_LEFT 0x0000u
#define DT_CENTER 0x0001u
#define DT_RIGHT 0x0002u
#define DT_VCENTER 0x0004u  // one line only (with DT_SINGLELINE)
#define DT_BOTTOM 0x0008u   // one line only (with DT_SINGLELINE)
#define DT_SINGLELINE 0x0020u
#define DT_EXPANDTABS 0x0040u
#define DT_NOCLIP 0x0100u
#define DT_EXTERNALLEADING 0x0200u
#define DT_CALCRECT 0x0400u

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
using TEXTMETRIC = TEXTMETRICA;
using LPTEXTMETRICA = TEXTMETRICA*;

// Device contexts. DeleteDC frees one made by gdi::CreateSurfaceDC; its objects are deselected.
BOOL WINAPI DeleteDC(HDC hdc);
// Pushes the context's state (mapping mode, origins, extents, pen, brush, text and background
// colours, background mode, current position) and answers the new depth, 1 for the first; 0 for
// a bad handle.
int WINAPI SaveDC(HDC hdc);
// Brings back saved state nSavedDC (1 the first; a negative number counts back from the latest,
// -1 being the latest) and drops it and every later one. FALSE for 0, for a state not saved and
// for a bad handle.
BOOL WINAPI RestoreDC(HDC hdc, int nSavedDC);

// Mapping. SetMapMode answers the previous mode, 0 for a bad handle or a mode not served. The
// extents are ignored (and TRUE answered) in MM_TEXT; an extent of 0 is refused. Each setter
// writes the previous value through its last argument when that is not NULL.
int WINAPI SetMapMode(HDC hdc, int iMode);
int WINAPI GetMapMode(HDC hdc);
BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt);
BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT lppt);
BOOL WINAPI SetViewportExtEx(HDC hdc, int x, int y, LPSIZE lpsz);
BOOL WINAPI SetWindowExtEx(HDC hdc, int x, int y, LPSIZE lpsz);
BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT lppt);
BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT lppt);
BOOL WINAPI GetViewportExtEx(HDC hdc, LPSIZE lpsz);
BOOL WINAPI GetWindowExtEx(HDC hdc, LPSIZE lpsz);
// Converts c points in place: device = viewport origin + (logical - window origin) x viewport
// extent / window extent, each axis in exact integer arithmetic rounded to the nearest unit (a half
// away from zero); DPtoLP the inverse. FALSE for a bad handle or a null array with c > 0.
BOOL WINAPI LPtoDP(HDC hdc, LPPOINT lppt, int c);
BOOL WINAPI DPtoLP(HDC hdc, LPPOINT lppt, int c);

// Pens and brushes. A pen's width is in logical units along x (0 or 1: one pixel whatever the
// mapping). CreatePen answers NULL for an unknown style; a dashed style wider than 1 is solid.
HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
HBRUSH WINAPI CreateSolidBrush(COLORREF color);
HGDIOBJ WINAPI GetStockObject(int i);
// Selects a pen or a brush into the context and answers the one it replaces; NULL for a bad
// context or object.
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
// Deletes a pen or brush: FALSE for a bad handle and for one still selected into a context (or
// into one of its saved states).
BOOL WINAPI DeleteObject(HGDIOBJ ho);

// Lines in the selected pen, from the current position. MoveToEx writes the previous position
// through lppt when not NULL; LineTo moves the position to its end. Polyline neither uses nor
// moves it and needs two points at least (FALSE otherwise). End points are drawn.
BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt);
BOOL WINAPI LineTo(HDC hdc, int x, int y);
BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt);
// A rectangle filled with the selected brush and outlined with the selected pen; it covers the
// device pixels from the lesser corner up to, not including, the greater one.
BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom);

// Text. SetTextColor and SetBkColor answer the previous colour (CLR_INVALID for a bad handle),
// SetBkMode the previous mode (0 for a bad handle or mode).
COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color);
COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color);
int WINAPI SetBkMode(HDC hdc, int mode);
// The fixed font's metrics in logical units.
BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm);
// Draws cchText characters of lpchText (all of it up to its NUL for -1) in the rectangle, in the
// text colour: one line with DT_SINGLELINE (placed by DT_TOP, DT_VCENTER or DT_BOTTOM), else a line
// per line break from the top, each aligned by DT_LEFT, DT_CENTER or DT_RIGHT; without DT_NOCLIP
// only the characters wholly inside the rectangle are drawn. Lines are tmHeight apart (plus the
// external leading with DT_EXTERNALLEADING). DT_CALCRECT draws nothing and sets the rectangle's
// right and bottom to the text's extent. Answers the text's height in logical units (from the
// rectangle's top to the text's bottom for DT_VCENTER and DT_BOTTOM), 0 on failure.
int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format);

static inline BOOL GetTextMetrics(HDC hdc, LPTEXTMETRICA lptm) {
    return GetTextMetricsA(hdc, lptm);
}
static inline int DrawText(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    return DrawTextA(hdc, lpchText, cchText, lprc, format);
}
