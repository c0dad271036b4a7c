// New artwork, drawn at load: a green circuit board with a chip and its gold contacts; the applet's
// icon adds a gear, a numbered board's chip is blue.
#include "icons.h"

#include <algorithm>

namespace mqhxcpl {
namespace {

constexpr ui::Colour kBoardGreen = 0x2E7D32;  // 0x00BBGGRR
constexpr ui::Colour kBoardEdge = 0x1B4D1F;
constexpr ui::Colour kChipBlack = 0x202020;
constexpr ui::Colour kChipBlue = 0xC06020;
constexpr ui::Colour kContactGold = 0x30B0E0;
constexpr ui::Colour kGearGrey = 0x808080;
constexpr ui::Colour kBackground = 0xFFFFFF;

void DrawBoard(ui::Surface& surface, int size, ui::Colour chip) {
    const int margin = size / 8;
    const int height = size * 5 / 8;
    const int top = (size - height) / 2;
    surface.FillRect({margin, top, size - 2 * margin, height}, kBoardEdge);
    surface.FillRect({margin + 1, top + 1, size - 2 * margin - 2, height - 2}, kBoardGreen);
    const int chipSize = size / 3;
    surface.FillRect({(size - chipSize) / 2, top + (height - chipSize) / 2 - 1, chipSize, chipSize},
                     chip);
    // Contacts along the bottom edge.
    const int contact = std::max(1, size / 16);
    for (int x = margin + 2; x + contact < size - margin - 1; x += 2 * contact)
        surface.FillRect({x, top + height - 2 * contact - 1, contact, 2 * contact}, kContactGold);
}

void DrawGear(ui::Surface& surface, int size) {
    const int box = size / 3;
    const int left = size - box - 1;
    const int top = size - box - 1;
    surface.FillRect({left, top, box, box}, kGearGrey);
    surface.FillRect({left + box / 3, top + box / 3, box / 3, box / 3}, kBackground);
}

ui::Picture Draw(int size, ui::Colour chip, bool gear) {
    ui::Picture picture(size, size, kBackground);
    {
        auto surface = picture.Paint();
        DrawBoard(*surface, size, chip);
        if (gear)
            DrawGear(*surface, size);
    }
    return picture;
}

}  // namespace

ui::Picture IconImage(int id) {
    switch (id) {
        case kIconApplet:
            return Draw(kAppletIconSize, kChipBlack, true);
        case kIconBoard:
            return Draw(kBoardIconSize, kChipBlack, false);
        case kIconNumberedBoard:
            return Draw(kBoardIconSize, kChipBlue, false);
        default:
            return ui::Picture();
    }
}

}  // namespace mqhxcpl
