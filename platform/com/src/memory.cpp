// The task allocator and the freeing of filled call records.
#include <cstdlib>
#include <cstring>

#include "com/dispatch.h"
#include "com/runtime.h"

extern "C" {

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb == 0 ? 1 : cb);
}

void WINAPI CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}

}  // extern "C"

void ClearExcepInfo(EXCEPINFO* info) {
    if (info == nullptr)
        return;
    SysFreeString(info->bstrSource);
    SysFreeString(info->bstrDescription);
    SysFreeString(info->bstrHelpFile);
    std::memset(info, 0, sizeof(*info));
}
