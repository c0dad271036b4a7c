// Files and device I/O: CreateFile on device paths, synchronous and overlapped DeviceIoControl,
// ReadFile/ReadFileEx/WriteFile, GetOverlappedResult and CancelIo, served by the kernel stand-in's
// I/O manager. Completion routines of ReadFileEx run as user APCs on the issuing thread, only in
// its alertable waits. Only device paths ("\\.\NAME...", "\\?\...") are files here.
#pragma once

#include "win32/types.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OVERLAPPED 0x40000000u

// CTL_CODE, the methods and the access bits come with the base declarations.

// Internal holds the request's status (STATUS_PENDING while it runs) and InternalHigh its byte
// count; Offset, OffsetHigh and hEvent belong to the caller and pass through untouched. The event
// hEvent names is taken at issue (a handle that names no event is refused), reset then and set at
// completion of overlapped ReadFile/WriteFile/DeviceIoControl, even if its handle was closed
// meanwhile; ReadFileEx leaves hEvent to the caller.
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
};
using LPOVERLAPPED = OVERLAPPED*;
using LPOVERLAPPED_COMPLETION_ROUTINE = void(WINAPI*)(DWORD dwErrorCode,
                                                      DWORD dwNumberOfBytesTransfered,
                                                      LPOVERLAPPED lpOverlapped);

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
inline HANDLE CreateFile(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                         LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                         DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    return CreateFileA(lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes,
                       dwCreationDisposition, dwFlagsAndAttributes, hTemplateFile);
}

// A file handle is waitable: issuing a request on the file clears it, and the completion of any
// request of the file without an event of its own (ReadFileEx, no OVERLAPPED, an OVERLAPPED
// without hEvent) signals it. Without lpOverlapped, a call on a handle opened overlapped waits on
// the file handle: another such completion ends that wait early, the call then returns TRUE with
// 0 bytes while its own request still runs, and its output arrives later. Callers that need the
// result give the call an OVERLAPPED with an event of its own. On other handles the call waits
// for its own request.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED lpOverlapped);
BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL ReadFileEx(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                LPOVERLAPPED lpOverlapped, LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine);
BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
// Cancels the requests the calling thread issued on hFile and that are still pending, and returns
// once they have completed. A thread's exit does the same for every request it leaves behind
// before its handle is signalled.
BOOL CancelIo(HANDLE hFile);
