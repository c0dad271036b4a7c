#include "modules/bit_lamps.h"

namespace larkspur {

ui::Picture LampPicture(bool on) {
    constexpr int kRim = 1;
    ui::Picture lamp(kLampPixels, kLampPixels, ui::kBlack);
    lamp.Paint()->FillRect({kRim, kRim, kLampPixels - 2 * kRim, kLampPixels - 2 * kRim},
                           on ? kLampOnColour : kLampOffColour);
    return lamp;
}

}  // namespace larkspur
