// File handles on the I/O manager's boundary: every call becomes one request of kernel::user_io.
#include <memory>
#include <mutex>

#include "core/object.h"
#include "kernel/io_user.h"
#include "simclock/condition.h"
#include "win32/errors.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/sync.h"

namespace win32::detail {
namespace {

namespace kio = kernel::user_io;
constexpr std::int32_t kStatusPending = 0x103;
constexpr std::int32_t kStatusInvalidHandle = static_cast<std::int32_t>(0xC0000008u);

bool IsSuccess(std::int32_t status) {
    return status >= 0;
}

class FileObject final : public Object {
  public:
    FileObject(kio::FileId id, bool overlapped) : id(id), overlapped(overlapped) {}
    void OnClose() override { kio::Close(id); }
    const kio::FileId id;
    const bool overlapped;
};

kio::IssuerId CurrentIssuer() {
    return ThreadIdOf(*CurrentThreadRecord());
}

// Thread exit cancels the requests the thread still has pending.
void InstallExitHookOnce() {
    static const int hook = AddThreadExitHook([](const std::shared_ptr<ThreadRecord>& exiting) {
        kio::CancelIssuerRequests(ThreadIdOf(*exiting));
    });
    (void)hook;
}

std::shared_ptr<FileObject> FileOf(HANDLE handle) {
    auto file = LookupHandleAs<FileObject>(handle);
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

// The one completion of a request that the caller waits for (calls without OVERLAPPED).
struct Waiter {
    std::mutex mutex;
    simclock::ConditionVariable done;
    bool finished = false;
    kio::Completion completion{};
    kio::CompletionCallback Callback(const std::shared_ptr<Waiter>& self) {
        return [self](const kio::Completion& c) {
            std::lock_guard lock(self->mutex);
            self->completion = c;
            self->finished = true;
            self->done.notify_all();
        };
    }
    kio::Completion Wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return finished; });
        return completion;
    }
};

void StoreResult(LPOVERLAPPED ov, const kio::Completion& c) {
    __atomic_store_n(&ov->InternalHigh, static_cast<ULONG_PTR>(c.information), __ATOMIC_RELAXED);
    __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(static_cast<ULONG>(c.status)),
                     __ATOMIC_RELEASE);
}

BOOL Fail(std::int32_t status) {
    SetLastError(kio::Win32ErrorFromStatus(status));
    return FALSE;
}

// Issues a request: overlapped (ov given) or waiting for its own completion.
BOOL Issue(HANDLE handle, const kio::Request& request, LPDWORD bytes, LPOVERLAPPED ov) {
    auto file = FileOf(handle);
    if (!file)
        return FALSE;
    InstallExitHookOnce();
    if (ov != nullptr && file->overlapped) {
        __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(kStatusPending), __ATOMIC_RELEASE);
        HANDLE event = ov->hEvent;
        if (event != nullptr)
            ResetEvent(event);
        auto waiter = std::make_shared<Waiter>();
        auto record = waiter->Callback(waiter);
        const std::int32_t status = kio::Submit(file->id, CurrentIssuer(), request,
                                                [ov, event, record](const kio::Completion& c) {
                                                    if (c.notify) {
                                                        StoreResult(ov, c);
                                                        if (event != nullptr)
                                                            SetEvent(event);
                                                    }
                                                    record(c);
                                                });
        if (status == kStatusPending) {
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        if (!IsSuccess(status))
            return Fail(status);
        kio::Completion c = waiter->Wait();  // completed already: it was not pending
        if (bytes)
            *bytes = static_cast<DWORD>(c.information);
        return IsSuccess(c.status) ? TRUE : Fail(c.status);
    }
    auto waiter = std::make_shared<Waiter>();
    const std::int32_t status =
        kio::Submit(file->id, CurrentIssuer(), request, waiter->Callback(waiter));
    if (status == kStatusInvalidHandle)
        return Fail(status);
    kio::Completion c = waiter->Wait();  // this request only; APCs wait for an alertable wait
    if (bytes)
        *bytes = static_cast<DWORD>(c.information);
    if (ov != nullptr)
        StoreResult(ov, c);
    return IsSuccess(c.status) ? TRUE : Fail(c.status);
}

}  // namespace
}  // namespace win32::detail

using namespace win32::detail;

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    if (lpFileName == nullptr || lpFileName[0] != '\\') {
        SetLastError(ERROR_FILE_NOT_FOUND);  // only device paths are served
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != OPEN_ALWAYS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    InstallExitHookOnce();
    auto result = kernel::user_io::Open(lpFileName, dwDesiredAccess, CurrentIssuer());
    if (!IsSuccess(result.status)) {
        SetLastError(kernel::user_io::Win32ErrorFromStatus(result.status));
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = InsertHandle(std::make_shared<FileObject>(
        result.file, (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED) != 0));
    if (handle == nullptr) {
        kernel::user_io::Close(result.file);
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                     LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned,
                     LPOVERLAPPED lpOverlapped) {
    kernel::user_io::Request request{kernel::user_io::Operation::DeviceControl,
                                     dwIoControlCode,
                                     lpInBuffer,
                                     nInBufferSize,
                                     lpOutBuffer,
                                     nOutBufferSize};
    return Issue(hDevice, request, lpBytesReturned, lpOverlapped);
}

namespace {
std::uint64_t OffsetOf(LPOVERLAPPED ov) {
    return ov ? (static_cast<std::uint64_t>(ov->OffsetHigh) << 32) | ov->Offset : 0;
}
}  // namespace

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
              LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    kernel::user_io::Request request{kernel::user_io::Operation::Read,
                                     0,
                                     nullptr,
                                     0,
                                     lpBuffer,
                                     nNumberOfBytesToRead,
                                     OffsetOf(lpOverlapped)};
    return Issue(hFile, request, lpNumberOfBytesRead, lpOverlapped);
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
               LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    kernel::user_io::Request request{kernel::user_io::Operation::Write,
                                     0,
                                     lpBuffer,
                                     nNumberOfBytesToWrite,
                                     nullptr,
                                     0,
                                     OffsetOf(lpOverlapped)};
    return Issue(hFile, request, lpNumberOfBytesWritten, lpOverlapped);
}

BOOL ReadFileEx(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                LPOVERLAPPED lpOverlapped, LPOVERLAPPED_COMPLETION_ROUTINE lpCompletionRoutine) {
    auto file = FileOf(hFile);
    if (!file)
        return FALSE;
    if (lpOverlapped == nullptr || !file->overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    InstallExitHookOnce();
    __atomic_store_n(&lpOverlapped->Internal, static_cast<ULONG_PTR>(kStatusPending),
                     __ATOMIC_RELEASE);
    std::shared_ptr<ThreadRecord> issuer = CurrentThreadRecord();
    kernel::user_io::Request request{kernel::user_io::Operation::Read,
                                     0,
                                     nullptr,
                                     0,
                                     lpBuffer,
                                     nNumberOfBytesToRead,
                                     OffsetOf(lpOverlapped)};
    const std::int32_t status = kernel::user_io::Submit(
        file->id, ThreadIdOf(*issuer), request,
        [issuer, lpOverlapped, lpCompletionRoutine](const kernel::user_io::Completion& c) {
            if (!c.notify)
                return;
            StoreResult(lpOverlapped, c);
            const DWORD error = kernel::user_io::Win32ErrorFromStatus(c.status);
            const DWORD bytes = static_cast<DWORD>(c.information);
            QueueApc(issuer, [lpCompletionRoutine, error, bytes, lpOverlapped] {
                lpCompletionRoutine(error, bytes, lpOverlapped);
            });
        });
    if (!IsSuccess(status) && status != kStatusPending)
        return Fail(status);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                         LPDWORD lpNumberOfBytesTransferred, BOOL bWait) {
    auto pending = [&] {
        return __atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE) ==
               static_cast<ULONG_PTR>(kStatusPending);
    };
    if (pending()) {
        if (!bWait) {
            SetLastError(ERROR_IO_INCOMPLETE);
            return FALSE;
        }
        HANDLE waitOn = lpOverlapped->hEvent != nullptr ? lpOverlapped->hEvent : hFile;
        while (pending()) {
            if (lpOverlapped->hEvent == nullptr) {
                SleepEx(1, FALSE);  // no event to wait on: poll the record
            } else if (WaitForSingleObject(waitOn, INFINITE) != WAIT_OBJECT_0) {
                return FALSE;
            }
        }
    }
    const auto status = static_cast<std::int32_t>(
        static_cast<ULONG>(__atomic_load_n(&lpOverlapped->Internal, __ATOMIC_ACQUIRE)));
    if (lpNumberOfBytesTransferred)
        *lpNumberOfBytesTransferred = static_cast<DWORD>(lpOverlapped->InternalHigh);
    return IsSuccess(status) ? TRUE : Fail(status);
}

BOOL CancelIo(HANDLE hFile) {
    auto file = FileOf(hFile);
    if (!file)
        return FALSE;
    kernel::user_io::CancelRequests(file->id, CurrentIssuer());
    return TRUE;
}
