#include "drawing.h"

#include "gdi/bitmap.h"
#include "win32/module.h"

namespace mqacq32 {

namespace {

HMODULE OwnModule() {
    static const char anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        &anchor, &module);
    return module;
}

bool FillWhite(HDC hdc, const RECT& bounds) {
    HGDIOBJ brush = SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    if (brush == nullptr)
        return false;
    HGDIOBJ pen = SelectObject(hdc, GetStockObject(NULL_PEN));  // a fill without an outline
    Rectangle(hdc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    SelectObject(hdc, pen);
    SelectObject(hdc, brush);
    return true;
}

void StretchDesignBitmap(HDC hdc, const RECT& bounds) {
    HBITMAP bitmap = LoadBitmapA(OwnModule(), MAKEINTRESOURCEA(kDesignBitmapId));
    if (bitmap == nullptr)
        return;
    BITMAP size{};
    HDC memory = CreateCompatibleDC(hdc);
    if (memory != nullptr && GetObjectA(bitmap, sizeof(size), &size) != 0) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        StretchBlt(hdc, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, memory, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (memory != nullptr)
        DeleteDC(memory);
    DeleteObject(bitmap);
}

}  // namespace

bool DrawDesignPicture(HDC hdc, const RECT& bounds, const std::string& caption) {
    if (!FillWhite(hdc, bounds))
        return false;
    StretchDesignBitmap(hdc, bounds);
    const int mode = SetBkMode(hdc, TRANSPARENT);
    RECT text = bounds;
    DrawTextA(hdc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetBkMode(hdc, mode);
    return true;
}

}  // namespace mqacq32
