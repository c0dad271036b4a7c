#include "panel_applet.h"

#include <cstdio>

namespace mqhxcpl {
namespace {

CPanelApplet* g_instance = nullptr;

constexpr LONG kDefaultDblClk = 0;
constexpr LONG kDefaultExit = 0;
constexpr LONG kDefaultCount = 1;
constexpr LONG kDefaultInit = 1;
constexpr LONG kDefaultSelect = 1;
constexpr LONG kDefaultStop = 1;

}  // namespace

CPanelApplet::CPanelApplet() {
    g_instance = this;
}

CPanelApplet::~CPanelApplet() {
    if (g_instance == this)
        g_instance = nullptr;
}

CPanelApplet* CPanelApplet::Instance() {
    return g_instance;
}

LONG CPanelApplet::OnDblClk(HWND, UINT, LONG) {
    return kDefaultDblClk;
}

LONG CPanelApplet::OnExit() {
    return kDefaultExit;
}

LONG CPanelApplet::OnGetCount() {
    return kDefaultCount;
}

LONG CPanelApplet::OnInit() {
    return kDefaultInit;
}

// A raw applet: its name and description, no icon (the module has no icon of its own for it).
LONG CPanelApplet::OnNewInquire(UINT, NEWCPLINFOA* info) {
    if (info == nullptr)
        return 0;
    *info = NEWCPLINFOA{};
    info->dwSize = sizeof(NEWCPLINFOA);
    std::snprintf(info->szName, sizeof info->szName, "%s", "Applet");
    std::snprintf(info->szInfo, sizeof info->szInfo, "%s", "Raw Cpl Applet");
    std::snprintf(info->szHelpFile, sizeof info->szHelpFile, "%s", kModuleAppName);
    return 0;
}

LONG CPanelApplet::OnSelect(UINT, LONG) {
    return kDefaultSelect;
}

LONG CPanelApplet::OnStop(UINT, LONG) {
    return kDefaultStop;
}

}  // namespace mqhxcpl
