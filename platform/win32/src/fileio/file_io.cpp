// File handles on the I/O manager's boundary: every call becomes one request of kernel::user_io.
#include <chrono>
#include <memory>
#include <mutex>

#include "core/object.h"
#include "core/thread_record.h"
#include "fileio/issued_requests.h"
#include "kernel/io_user.h"
#include "simclock/condition.h"
#include "sync/event_object.h"
#include "win32/debug.h"
#include "win32/errors.h"
#include "win32/fileio.h"
#include "win32/handles.h"
#include "win32/sync.h"

namespace win32::detail {
namespace {

namespace kio = kernel::user_io;
constexpr std::int32_t kStatusPending = 0x103;
// How long a thread's exit and CancelIo wait for the requests they cancelled, as the platform
// does; a driver that keeps one longer is reported and the caller goes on.
constexpr std::chrono::minutes kCancelledRequestsWait{5};

bool IsSuccess(std::int32_t status) {
    return status >= 0;
}

// A file handle. The file object is waitable, as on the platform: issuing a request on the file
// clears it, and the completion of a request of the file that has no event of its own (a
// ReadFileEx read, a call without OVERLAPPED, an OVERLAPPED without hEvent) signals it.
class FileObject final : public Object {
  public:
    FileObject(kio::FileId id, bool overlapped) : id(id), overlapped(overlapped) {}
    void OnClose() override { kio::Close(id); }
    bool IsWaitable() const override { return true; }
    bool IsSignaled() const override { return signaled_; }
    void Signal() {
        WithWaitLock([this] {
            signaled_ = true;
            SignalWaiters(*this);
        });
    }
    void Clear() {
        WithWaitLock([this] { signaled_ = false; });
    }

    const kio::FileId id;
    const bool overlapped;

  private:
    bool signaled_ = false;  // guarded by the wait lock
};

kio::IssuerId CurrentIssuer() {
    return ThreadIdOf(*CurrentThreadRecord());
}

void WaitForCancelled(kio::IssuerId issuer, kio::FileId file) {
    if (!IssuedRequests::Instance().WaitUntilNone(issuer, file, kCancelledRequestsWait))
        OutputDebugStringA("win32: cancelled requests still outstanding after five minutes\n");
}

// Thread exit cancels the requests the thread still has pending and waits until they are back.
void InstallExitHookOnce() {
    static const int hook = AddThreadExitHook([](const std::shared_ptr<ThreadRecord>& exiting) {
        const kio::IssuerId issuer = ThreadIdOf(*exiting);
        kio::CancelIssuerRequests(issuer);
        WaitForCancelled(issuer, 0);
    });
    (void)hook;
}

std::shared_ptr<FileObject> FileOf(HANDLE handle) {
    auto file = LookupHandleAs<FileObject>(handle);
    if (!file)
        SetLastError(ERROR_INVALID_HANDLE);
    return file;
}

void StoreResult(LPOVERLAPPED ov, const kio::Completion& c) {
    __atomic_store_n(&ov->InternalHigh, static_cast<ULONG_PTR>(c.information), __ATOMIC_RELAXED);
    __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(static_cast<ULONG>(c.status)),
                     __ATOMIC_RELEASE);
}

BOOL Fail(std::int32_t status) {
    SetLastError(kio::Win32ErrorFromStatus(status));
    return FALSE;
}

// One issued request: who issued it on which file, what its completion signals, and its result
// once it has completed (the caller's own status block for calls without OVERLAPPED).
struct IssuedRequest {
    std::shared_ptr<FileObject> file;
    kio::IssuerId issuer = 0;
    LPOVERLAPPED ov = nullptr;           // written at completion, when given
    std::shared_ptr<EventObject> event;  // taken at issue, set at completion
    // ReadFileEx: the routine queued to the issuing thread at completion.
    LPOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;
    std::shared_ptr<ThreadRecord> routineThread;

    std::mutex mutex;
    simclock::ConditionVariable done;
    bool completed = false;
    kio::Completion completion{};
    bool settled = false;  // taken off the issued requests (once, by whoever sees it end first)

    static std::shared_ptr<IssuedRequest> Make(std::shared_ptr<FileObject> file, LPOVERLAPPED ov,
                                               std::shared_ptr<EventObject> event) {
        auto request = std::make_shared<IssuedRequest>();
        request->file = std::move(file);
        request->issuer = CurrentIssuer();
        request->ov = ov;
        request->event = std::move(event);
        return request;
    }

    void Settle() {
        {
            std::lock_guard lock(mutex);
            if (settled)
                return;
            settled = true;
        }
        IssuedRequests::Instance().Remove(issuer, file->id);
    }

    void Complete(const kio::Completion& c) {
        if (c.notify) {
            if (ov != nullptr)
                StoreResult(ov, c);
        }
        {
            std::lock_guard lock(mutex);
            completion = c;
            completed = true;
            done.notify_all();
        }
        if (c.notify) {
            if (event)
                event->Set();
            else
                file->Signal();
            if (routine != nullptr)
                QueueRoutine(c);
        }
        Settle();
    }

    void QueueRoutine(const kio::Completion& c) {
        const DWORD error = kio::Win32ErrorFromStatus(c.status);
        const auto bytes = static_cast<DWORD>(c.information);
        QueueApc(routineThread,
                 [routine = routine, error, bytes, ov = ov] { routine(error, bytes, ov); });
    }

    kio::Completion WaitCompleted() {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return completed; });
        return completion;
    }

    bool Completed(kio::Completion* result) {
        std::lock_guard lock(mutex);
        if (completed && result != nullptr)
            *result = completion;
        return completed;
    }

    // Sends it; the dispatch routine's status. A status other than STATUS_PENDING for a request
    // that has not completed means that it never became an IRP: nothing will complete it.
    std::int32_t Submit(const kio::Request& request, const std::shared_ptr<IssuedRequest>& self) {
        file->Clear();
        if (ov != nullptr)
            __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(kStatusPending),
                             __ATOMIC_RELEASE);
        if (event)
            event->Reset();
        IssuedRequests::Instance().Add(issuer, file->id);
        const std::int32_t status = kio::Submit(
            file->id, issuer, request, [self](const kio::Completion& c) { self->Complete(c); });
        if (status != kStatusPending && !Completed(nullptr))
            Settle();
        return status;
    }
};

// The event an OVERLAPPED names, referenced at issue; false (ERROR_INVALID_HANDLE) when its
// handle names no event.
bool EventOf(LPOVERLAPPED ov, std::shared_ptr<EventObject>* event) {
    if (ov == nullptr || ov->hEvent == nullptr)
        return true;
    *event = LookupHandleAs<EventObject>(ov->hEvent);
    if (*event)
        return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

BOOL Finished(const kio::Completion& c, LPDWORD bytes) {
    if (bytes)
        *bytes = static_cast<DWORD>(c.information);
    return IsSuccess(c.status) ? TRUE : Fail(c.status);
}

// Issues a request. With an OVERLAPPED on a handle opened overlapped it runs on; otherwise the
// call waits: on a handle opened overlapped for the file object (so that another completion on
// the file can end the wait before this request is done, as on the platform, and its output
// arrives later), on any other handle for this request.
BOOL Issue(HANDLE handle, const kio::Request& request, LPDWORD bytes, LPOVERLAPPED ov) {
    auto file = FileOf(handle);
    if (!file)
        return FALSE;
    std::shared_ptr<EventObject> event;
    if (!EventOf(ov, &event))
        return FALSE;
    InstallExitHookOnce();
    const bool runsOn = ov != nullptr && file->overlapped;
    const bool waitsOnFile = ov == nullptr && file->overlapped;
    auto issued = IssuedRequest::Make(file, ov, event);
    const std::int32_t status = issued->Submit(request, issued);
    kio::Completion c{};
    if (status != kStatusPending && !issued->Completed(&c))
        return Fail(status);  // it never became a request
    if (runsOn) {
        if (status == kStatusPending) {
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        return Finished(c, bytes);
    }
    if (waitsOnFile) {
        if (status == kStatusPending) {
            const std::shared_ptr<Object> objects[] = {file};
            WaitForObjects(objects, false, INFINITE, false);
        }
        if (!issued->Completed(&c)) {
            // Woken by another request of the file: this one still runs. Its status block says
            // pending, a success; no byte count has been written yet.
            if (bytes)
                *bytes = 0;
            SetLastError(ERROR_SUCCESS);
            return TRUE;
        }
        return Finished(c, bytes);
    }
    // A handle for synchronous I/O: the I/O manager waits for the request itself.
    return Finished(issued->WaitCompleted(), bytes);
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
    // hEvent is the caller's own here: the completion signals the file, and the routine runs as
    // an APC of the issuing thread.
    auto issued = IssuedRequest::Make(file, lpOverlapped, nullptr);
    issued->routine = lpCompletionRoutine;
    issued->routineThread = CurrentThreadRecord();
    kernel::user_io::Request request{kernel::user_io::Operation::Read,
                                     0,
                                     nullptr,
                                     0,
                                     lpBuffer,
                                     nNumberOfBytesToRead,
                                     OffsetOf(lpOverlapped)};
    const std::int32_t status = issued->Submit(request, issued);
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
    const kernel::user_io::IssuerId issuer = CurrentIssuer();
    kernel::user_io::CancelRequests(file->id, issuer);
    WaitForCancelled(issuer, file->id);
    return TRUE;
}
