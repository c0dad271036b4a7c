#include <Qt>

#include "widgets.h"

namespace ui {
namespace {

constexpr int kKeyBack = 8;
constexpr int kKeyTab = 9;
constexpr int kKeyReturn = 13;
constexpr int kKeyEscape = 27;
constexpr int kKeySpace = 32;
constexpr int kKeyLeft = 37;
constexpr int kKeyUp = 38;
constexpr int kKeyRight = 39;
constexpr int kKeyDown = 40;
constexpr int kKeyDelete = 46;
constexpr int kKeyF1 = 112;
constexpr int kFunctionKeys = 12;
constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

struct KeyPair {
    int qt;
    int code;
};

constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, kKeyBack}, {Qt::Key_Tab, kKeyTab},       {Qt::Key_Return, kKeyReturn},
    {Qt::Key_Enter, kKeyReturn},   {Qt::Key_Escape, kKeyEscape}, {Qt::Key_Space, kKeySpace},
    {Qt::Key_Left, kKeyLeft},      {Qt::Key_Up, kKeyUp},         {Qt::Key_Right, kKeyRight},
    {Qt::Key_Down, kKeyDown},      {Qt::Key_Delete, kKeyDelete},
};

}  // namespace

int RuntimeKeyCode(int qtKey) {
    for (const KeyPair& pair : kKeys)
        if (pair.qt == qtKey)
            return pair.code;
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;  // the same codes
    if (qtKey >= Qt::Key_F1 && qtKey < Qt::Key_F1 + kFunctionKeys)
        return kKeyF1 + (qtKey - Qt::Key_F1);
    return 0;
}

int QtKeyOf(int keyCode) {
    for (const KeyPair& pair : kKeys)
        if (pair.code == keyCode)
            return pair.qt;
    if (keyCode >= kKeyF1 && keyCode < kKeyF1 + kFunctionKeys)
        return Qt::Key_F1 + (keyCode - kKeyF1);
    return keyCode;
}

int ShiftState(Qt::KeyboardModifiers modifiers) {
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= kShiftMask;
    if (modifiers & Qt::ControlModifier)
        shift |= kCtrlMask;
    if (modifiers & Qt::AltModifier)
        shift |= kAltMask;
    return shift;
}

Qt::KeyboardModifiers ModifiersOf(int shift) {
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    if (shift & kShiftMask)
        modifiers |= Qt::ShiftModifier;
    if (shift & kCtrlMask)
        modifiers |= Qt::ControlModifier;
    if (shift & kAltMask)
        modifiers |= Qt::AltModifier;
    return modifiers;
}

}  // namespace ui
