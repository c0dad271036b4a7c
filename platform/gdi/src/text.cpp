// Text in the fixed font: colours, background mode, metrics and DrawText.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "gdi/surface_dc.h"
#include "mapping.h"
#include "surface_output.h"

using namespace gdi::detail;

namespace {

constexpr int kFontWeightNormal = 400;
constexpr int kFontDpi = 96;
constexpr BYTE kFirstChar = 0x20;
constexpr BYTE kLastChar = 0xFF;
constexpr BYTE kDefaultChar = '?';
constexpr BYTE kBreakChar = ' ';
constexpr BYTE kFixedPitchModern = 0x30;  // fixed pitch (low bit clear), the modern family
constexpr BYTE kAnsiCharset = 0;
constexpr int kTabStopChars = 8;

// The text's lines: split at CR, LF and CR LF, or one line with the breaks left out.
std::vector<std::string> LinesOf(const std::string& text, bool singleLine) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            lines.back() += c;
            continue;
        }
        if (singleLine)
            continue;
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines.emplace_back();
    }
    return lines;
}

std::string ExpandTabs(const std::string& line) {
    std::string expanded;
    for (char c : line) {
        if (c != '\t') {
            expanded += c;
            continue;
        }
        do
            expanded += ' ';
        while (expanded.size() % kTabStopChars != 0);
    }
    return expanded;
}

ui::Align AlignOf(UINT format) {
    if ((format & DT_CENTER) != 0)
        return ui::Align::Centre;
    return (format & DT_RIGHT) != 0 ? ui::Align::Right : ui::Align::Left;
}

// The device box of the rectangle, its corners put in order.
struct Box {
    int left;
    int top;
    int right;
    int bottom;
};

Box DeviceBox(const DcState& state, const RECT& rect) {
    const POINT a = ToDevice(state, {rect.left, rect.top});
    const POINT b = ToDevice(state, {rect.right, rect.bottom});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

int LineLeft(const Box& box, int width, UINT format) {
    if ((format & DT_CENTER) != 0)
        return box.left + (box.right - box.left - width) / 2;
    return (format & DT_RIGHT) != 0 ? box.right - width : box.left;
}

int TextTop(const Box& box, int height, UINT format) {
    if ((format & DT_SINGLELINE) == 0)
        return box.top;
    if ((format & DT_VCENTER) != 0)
        return box.top + (box.bottom - box.top - height) / 2;
    return (format & DT_BOTTOM) != 0 ? box.bottom - height : box.top;
}

// One line drawn at (x, y), clipped to the box by whole characters unless DT_NOCLIP.
void DrawLine(Dc& dc, std::string line, int x, int y, const Box& box, UINT format) {
    using gdi::kFontCharWidth;
    using gdi::kFontHeight;
    if ((format & DT_NOCLIP) == 0) {
        if (y < box.top || y + kFontHeight > box.bottom)
            return;
        const int firstInside = std::max(0, (box.left - x + kFontCharWidth - 1) / kFontCharWidth);
        const int endInside = std::max(0, (box.right - x) / kFontCharWidth);
        const int count = static_cast<int>(line.size());
        const int first = std::min(firstInside, count);
        const int end = std::clamp(endInside, first, count);
        line = line.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(end - first));
        x += first * kFontCharWidth;
    }
    if (line.empty())
        return;
    const ui::Rect cell{x, y, static_cast<int>(line.size()) * kFontCharWidth, kFontHeight};
    if (dc.state.bkMode == OPAQUE)
        dc.surface->FillRect(cell, SurfaceColour(dc.state.bkColour));
    UsePen(dc, SurfaceColour(dc.state.textColour), 1);
    dc.surface->Text(cell, line, AlignOf(format));
}

}  // namespace

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->state.textColour, color);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return CLR_INVALID;
    return std::exchange(dc->state.bkColour, color);
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return 0;
    return std::exchange(dc->state.bkMode, mode);
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
    if (!lptm)
        return FALSE;
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    const DcState& state = dc->state;
    TEXTMETRICA metrics{};
    metrics.tmHeight = LogicalHeight(state, gdi::kFontHeight);
    metrics.tmAscent = LogicalHeight(state, gdi::kFontAscent);
    metrics.tmDescent = LogicalHeight(state, gdi::kFontDescent);
    metrics.tmExternalLeading = LogicalHeight(state, gdi::kFontExternalLeading);
    metrics.tmAveCharWidth = LogicalWidth(state, gdi::kFontCharWidth);
    metrics.tmMaxCharWidth = metrics.tmAveCharWidth;
    metrics.tmWeight = kFontWeightNormal;
    metrics.tmDigitizedAspectX = kFontDpi;
    metrics.tmDigitizedAspectY = kFontDpi;
    metrics.tmFirstChar = kFirstChar;
    metrics.tmLastChar = kLastChar;
    metrics.tmDefaultChar = kDefaultChar;
    metrics.tmBreakChar = kBreakChar;
    metrics.tmPitchAndFamily = kFixedPitchModern;
    metrics.tmCharSet = kAnsiCharset;
    *lptm = metrics;
    return TRUE;
}

int WINAPI DrawTextA(HDC hdc, LPCSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    if (!lprc || (!lpchText && cchText != 0))
        return 0;
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return 0;
    const std::string text = cchText < 0 ? std::string(lpchText)
                                         : std::string(lpchText, static_cast<std::size_t>(cchText));
    std::vector<std::string> lines = LinesOf(text, (format & DT_SINGLELINE) != 0);
    if ((format & DT_EXPANDTABS) != 0) {
        for (std::string& line : lines)
            line = ExpandTabs(line);
    }
    const int pitch =
        gdi::kFontHeight + ((format & DT_EXTERNALLEADING) != 0 ? gdi::kFontExternalLeading : 0);
    const int height = static_cast<int>(lines.size()) * pitch;
    std::size_t longest = 0;
    for (const std::string& line : lines)
        longest = std::max(longest, line.size());
    const DcState& state = dc->state;
    if ((format & DT_CALCRECT) != 0) {
        const int width = LogicalWidth(state, static_cast<int>(longest) * gdi::kFontCharWidth);
        const int logicalHeight = LogicalHeight(state, height);
        lprc->right = lprc->left + width;
        // Down the page is up in logical units when y grows upward.
        const POINT below = ToLogical(state, {0, 1});
        const POINT origin = ToLogical(state, {0, 0});
        lprc->bottom = lprc->top + (below.y >= origin.y ? logicalHeight : -logicalHeight);
        return logicalHeight;
    }
    if (!dc->surface)
        return 0;  // a memory context draws nothing
    const Box box = DeviceBox(state, *lprc);
    const int top = TextTop(box, height, format);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int width = static_cast<int>(lines[i].size()) * gdi::kFontCharWidth;
        DrawLine(*dc, lines[i], LineLeft(box, width, format), top + static_cast<int>(i) * pitch,
                 box, format);
    }
    return LogicalHeight(state, top + height - box.top);
}
