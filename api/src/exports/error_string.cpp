// The text of a status from the library's status table.
#include "hxdaapi32.h"
#include "status/status_texts.h"

extern "C" LPSTR HXAPI hxDaGetErrorString(HXSTATUS status, LPSTR buffer, UINT size) {
    return hxda::CopyErrorString(status, buffer, size);
}
