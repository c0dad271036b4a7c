// What a Control Panel applet module and its host share: the messages the host sends to the
// module's one entry point, CPlApplet, and the records in which an applet describes itself.
//
// The host loads the module, sends CPL_INIT (0: the module is freed at once) and CPL_GETCOUNT,
// then asks each applet about itself: CPL_INQUIRE with a zeroed CPLINFO, and CPL_NEWINQUIRE with a
// zeroed NEWCPLINFOA when the applet left any of CPLINFO's resource ids at CPL_DYNAMIC_RES.
// CPL_DBLCLK opens an applet with the host's window as parent; before the module is freed each
// applet gets CPL_STOP, then the module CPL_EXIT.
//
// Handles and user data travel as 32-bit words in the records (as every handle here), so that the
// records keep the platform's sizes: 16 bytes for CPLINFO, 244 for NEWCPLINFOA.
#pragma once

#include <cstdint>

#include "win32/types.h"

#define CPL_INIT 1
#define CPL_GETCOUNT 2
#define CPL_INQUIRE 3  // lParam1: applet index, lParam2: CPLINFO*
#define CPL_SELECT 4
#define CPL_DBLCLK 5  // lParam1: applet index, lParam2: the applet's lData
#define CPL_STOP 6    // lParam1: applet index, lParam2: the applet's lData
#define CPL_EXIT 7
#define CPL_NEWINQUIRE 8  // lParam1: applet index, lParam2: NEWCPLINFOA*

// A CPLINFO resource id asking the host to use CPL_NEWINQUIRE instead.
#define CPL_DYNAMIC_RES 0

struct CPLINFO {
    std::int32_t idIcon;
    std::int32_t idName;
    std::int32_t idInfo;
    std::int32_t lData;
};
static_assert(sizeof(CPLINFO) == 16);

struct NEWCPLINFOA {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHelpContext;
    std::int32_t lData;
    std::uint32_t hIcon;  // an icon handle of the forms runtime (ui/icons.h)
    CHAR szName[32];
    CHAR szInfo[64];
    CHAR szHelpFile[128];
};
static_assert(sizeof(NEWCPLINFOA) == 244);

using APPLET_PROC = LONG(CALLBACK*)(HWND hwndCpl, UINT msg, LPARAM lParam1, LPARAM lParam2);

// The entry point's name in an applet module.
inline constexpr char kCplAppletEntryName[] = "CPlApplet";
