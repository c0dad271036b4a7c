// The module's applet: it describes itself with its own icon and strings, and its double click
// runs the board list dialog.
#pragma once

#include <cstdint>

#include "panel_applet.h"

namespace mqhxcpl {

class CBoardPanelApplet : public CPanelApplet {
  public:
    CBoardPanelApplet() = default;
    ~CBoardPanelApplet() override;

    LONG OnDblClk(HWND window, UINT applet, LONG data) override;
    LONG OnNewInquire(UINT applet, NEWCPLINFOA* info) override;

  private:
    std::uint32_t icon_ = 0;  // made at the first inquiry, destroyed with the applet
};

}  // namespace mqhxcpl
