// The root of one Control Panel applet: the operations that CPlApplet calls for the host's
// messages. Constructing an applet makes it the one instance that CPlApplet serves; destroying it
// withdraws it.
#pragma once

#include "cplhost/cpl.h"

namespace mqhxcpl {

class CPanelApplet {
  public:
    CPanelApplet();
    virtual ~CPanelApplet();
    CPanelApplet(const CPanelApplet&) = delete;
    CPanelApplet& operator=(const CPanelApplet&) = delete;

    // The instance CPlApplet serves; nullptr when none is made.
    static CPanelApplet* Instance();

    // CPL_DBLCLK: opens the applet with the host's window as parent.
    virtual LONG OnDblClk(HWND window, UINT applet, LONG data);
    virtual LONG OnExit();
    virtual LONG OnGetCount();
    virtual LONG OnInit();
    // CPL_NEWINQUIRE: describes the applet in the host's record.
    virtual LONG OnNewInquire(UINT applet, NEWCPLINFOA* info);
    virtual LONG OnSelect(UINT applet, LONG data);
    virtual LONG OnStop(UINT applet, LONG data);
};

// The name of the applet's module ("mqhxcpl"), the base applet's help file.
inline constexpr char kModuleAppName[] = "mqhxcpl";

}  // namespace mqhxcpl
