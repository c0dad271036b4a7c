// Closing handles and the per-thread last-error value.
#pragma once

#include "win32/errors.h"
#include "win32/types.h"

// Removes the handle from the process's handle table. The object lives on while anyone still holds
// it (a wait in progress, another handle). Pseudo handles (GetCurrentThread) close successfully.
BOOL CloseHandle(HANDLE hObject);

// The calling thread's last-error value; every thread starts with ERROR_SUCCESS.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
