// The Control Panel's window: the applets of a loaded module by icon and name, each opened by a
// double click (or Open) with this window as the applet's parent.
#pragma once

#include <string>

#include "cplhost/control_panel.h"
#include "ui/forms.h"
#include "ui/list_view.h"

namespace mqhxcpl_host {

inline constexpr char kAppletModule[] = "mqhxcpl.cpl";

class ControlPanelWindow : public ui::Form {
  public:
    explicit ControlPanelWindow(cplhost::ControlPanel& host);

    // Opens an applet as its double click does; the answer of CPL_DBLCLK, -1 without it.
    LONG Open(std::size_t applet);
    ui::ListView& Applets() const { return Get<ui::ListView>("lvwApplets"); }

  protected:
    void Bind() override;

  private:
    cplhost::ControlPanel& host_;
};

}  // namespace mqhxcpl_host
