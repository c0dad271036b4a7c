// CPlApplet: the host's messages to the operations of the module's one applet.
#include "panel_applet.h"
#include "win32/exports.h"

namespace mqhxcpl {
namespace {

constexpr LONG kUnknownMessageAnswer = 1;
constexpr LONG kInquireAnswer = 0;

LONG CALLBACK CPlApplet(HWND window, UINT message, LPARAM lParam1, LPARAM lParam2) {
    CPanelApplet* applet = CPanelApplet::Instance();
    if (applet == nullptr)
        return 0;
    const auto index = static_cast<UINT>(lParam1);
    const auto data = static_cast<LONG>(lParam2);
    switch (message) {
        case CPL_INIT:
            return applet->OnInit();
        case CPL_GETCOUNT:
            return applet->OnGetCount();
        case CPL_INQUIRE:
            return kInquireAnswer;  // described only by CPL_NEWINQUIRE
        case CPL_SELECT:
            return applet->OnSelect(index, data);
        case CPL_DBLCLK:
            return applet->OnDblClk(window, index, data);
        case CPL_STOP:
            return applet->OnStop(index, data);
        case CPL_EXIT:
            return applet->OnExit();
        case CPL_NEWINQUIRE:
            return applet->OnNewInquire(index, reinterpret_cast<NEWCPLINFOA*>(lParam2));
        default:
            return kUnknownMessageAnswer;
    }
}

}  // namespace
}  // namespace mqhxcpl

MQ_EXPORTS_BEGIN
MQ_EXPORT_AS(1, "CPlApplet", mqhxcpl::CPlApplet, 16)
MQ_EXPORTS_END
