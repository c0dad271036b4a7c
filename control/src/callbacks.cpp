#include "callbacks.h"

#include "acq_control.h"
#include "board_list.h"

namespace {

mqacq32::AcqControl& ControlOf(LPARAM user) {
    return *reinterpret_cast<mqacq32::AcqControl*>(user);
}

}  // namespace

extern "C" {

BOOL CALLBACK FillBoardArray(LPSTR boardName, LPSTR, LPARAM) {
    return mqacq32::board_list::Append(boardName);
}

BOOL CALLBACK FillSubSystems(LPSTR description, hxss_tag kind, UINT element, LPARAM control) {
    return ControlOf(control).AppendSubsystem(description, kind, element);
}

BOOL CALLBACK FillRangeArray(UINT, double upper, double lower, LPARAM control) {
    return ControlOf(control).AppendRange(upper, lower);
}

BOOL CALLBACK FillGainArray(UINT, double gain, double, LPARAM control) {
    return ControlOf(control).AppendGain(gain);
}

BOOL CALLBACK FillFilterArray(UINT, double filter, double, LPARAM control) {
    return ControlOf(control).AppendFilter(filter);
}

BOOL CALLBACK FillResolutionArray(UINT, double bits, double, LPARAM control) {
    return ControlOf(control).AppendResolution(bits);
}

BOOL CALLBACK CBEnumBoards(LPSTR boardName, LPSTR driverName, LPARAM control) {
    ControlOf(control).FireEnumBoards(boardName, driverName);
    return TRUE;
}

BOOL CALLBACK CBEnumSS(LPSTR description, hxss_tag kind, UINT element, LPARAM control) {
    ControlOf(control).FireEnumSubsystem(description, kind, element);
    return TRUE;
}

BOOL CALLBACK CBEnumSSCap(UINT kind, double value1, double value2, LPARAM control) {
    ControlOf(control).FireEnumCapability(kind, value1, value2);
    return TRUE;
}

}  // extern "C"
