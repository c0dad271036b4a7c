// The enumeration callbacks the control hands to the API library (and exports by name): the
// Fill... ones build the board list and the control's tables, the CB... ones fire the control's
// enumeration events. `user` is the control (0 for FillBoardArray).
#pragma once

#include "hxdaapi32.h"

extern "C" {

BOOL CALLBACK FillBoardArray(LPSTR boardName, LPSTR driverName, LPARAM user);
BOOL CALLBACK FillSubSystems(LPSTR description, hxss_tag kind, UINT element, LPARAM control);
BOOL CALLBACK FillRangeArray(UINT kind, double upper, double lower, LPARAM control);
BOOL CALLBACK FillGainArray(UINT kind, double gain, double unused, LPARAM control);
BOOL CALLBACK FillFilterArray(UINT kind, double filter, double unused, LPARAM control);
BOOL CALLBACK FillResolutionArray(UINT kind, double bits, double unused, LPARAM control);
// Each fires one event and answers 1, so that the enumeration runs to its end.
BOOL CALLBACK CBEnumBoards(LPSTR boardName, LPSTR driverName, LPARAM control);
BOOL CALLBACK CBEnumSS(LPSTR description, hxss_tag kind, UINT element, LPARAM control);
BOOL CALLBACK CBEnumSSCap(UINT kind, double value1, double value2, LPARAM control);

}  // extern "C"
