#include "core/object.h"
#include "win32/handles.h"

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

bool IsPseudoHandle(HANDLE handle) {
    const auto value = reinterpret_cast<LONG_PTR>(handle);
    return value == -1 || value == -2;  // the current process, the current thread
}

}  // namespace

BOOL CloseHandle(HANDLE hObject) {
    if (IsPseudoHandle(hObject))
        return TRUE;
    if (!win32::detail::RemoveHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD dwErrCode) {
    t_lastError = dwErrCode;
}
