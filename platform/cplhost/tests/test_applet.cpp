// An applet module for the host's tests: applet 0 describes itself by resource ids of its string
// table, applet 1 dynamically. It keeps the window and values of every message it gets; its
// answer to CPL_INIT is set by the test.
#include <cstdio>
#include <vector>

#include "cplhost/cpl.h"
#include "test_applet.h"
#include "win32/exports.h"
#include "win32/strings.h"

namespace {

LONG g_initAnswer = 1;
std::vector<TestAppletMessage> g_received;

LONG OnNewInquire(NEWCPLINFOA* info) {
    info->dwSize = sizeof(NEWCPLINFOA);
    info->dwHelpContext = kTestHelpContext;
    info->lData = kTestDynamicData;
    info->hIcon = kTestIcon;
    // A name that fills its field without a terminator: the host must stop at the field's end.
    for (char& c : info->szName)
        c = 'N';
    std::snprintf(info->szInfo, sizeof info->szInfo, "%s", kTestDynamicInfo);
    std::snprintf(info->szHelpFile, sizeof info->szHelpFile, "%s", kTestHelpFile);
    return 0;
}

LONG CALLBACK CPlApplet(HWND window, UINT message, LPARAM lParam1, LPARAM lParam2) {
    g_received.push_back({window, message, lParam1, lParam2});
    switch (message) {
        case CPL_INIT:
            return g_initAnswer;
        case CPL_GETCOUNT:
            return 2;
        case CPL_INQUIRE:
            if (lParam1 == 0) {
                auto* info = reinterpret_cast<CPLINFO*>(lParam2);
                *info = {kTestIconId, kTestNameId, kTestInfoId, kTestStaticData};
            }
            return 0;
        case CPL_NEWINQUIRE:
            return OnNewInquire(reinterpret_cast<NEWCPLINFOA*>(lParam2));
        case CPL_DBLCLK:
            return kTestDblClkAnswer;
        default:
            return 0;
    }
}

void TestAppletSetInitAnswer(LONG answer) {
    g_initAnswer = answer;
    g_received.clear();
}

const std::vector<TestAppletMessage>* TestAppletReceived() {
    return &g_received;
}

}  // namespace

MQ_EXPORTS_BEGIN
MQ_EXPORT(1, CPlApplet, 16)
MQ_EXPORT_PLAIN(2, TestAppletSetInitAnswer)
MQ_EXPORT_PLAIN(3, TestAppletReceived)
MQ_EXPORTS_END

MQ_STRINGTABLE_BEGIN
MQ_STRING(kTestNameId, "Static Applet")
MQ_STRING(kTestInfoId, "Described by resource ids")
MQ_STRINGTABLE_END
