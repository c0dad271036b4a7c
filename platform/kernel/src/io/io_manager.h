// The I/O manager's own records behind the platform objects, private to the kernel stand-in.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "host/host.h"
#include "kernel/io.h"
#include "kernel/io_user.h"

// The I/O manager's description of a buffer: the caller's own memory, which every thread of
// the process can address.
struct MDL {
    MDL* Next;
    PVOID StartVa;
    ULONG ByteCount;
};

namespace kernel::io {

struct FileRecord;

// A request the I/O manager issued on behalf of user mode (or for its own create, cleanup and
// close). It lives until its IRP has been finished and nobody (CancelIo) still refers to it.
struct UserRequest {
    PIRP irp = nullptr;
    std::shared_ptr<FileRecord> file;  // null for IRP_MJ_CREATE, which has no record yet
    user_io::IssuerId issuer = 0;
    user_io::CompletionCallback callback;
    void* userOutput = nullptr;  // where buffered output is copied back
    ULONG userOutputLength = 0;
    bool copyBack = false;
    void* systemBuffer = nullptr;
    void* readBuffer = nullptr;  // the caller's buffer of an IRP_MJ_READ
    std::atomic<int> references{1};
    bool counted = false;  // counted as outstanding on its file
};

// Behind FILE_OBJECT::IoManagerPrivate.
struct FileRecord {
    user_io::FileId id = 0;
    FILE_OBJECT* object = nullptr;
    std::u16string fileName;          // storage of object->FileName
    PDEVICE_OBJECT device = nullptr;  // the device that was opened
    PDEVICE_OBJECT target = nullptr;  // the top of its stack when opened
    std::set<UserRequest*> outstanding;
    bool cleanupStarted = false;
    bool cleanupDone = false;
    bool closeSent = false;
    ~FileRecord();
};

// Behind DEVICE_OBJECT::IoManagerPrivate.
struct DeviceRecord {
    std::u16string key;  // normalised name; empty for an unnamed device
    int references = 1;  // 1 until IoDeleteDevice, plus one per file object
    bool deleted = false;
};

class IoManager {
  public:
    static IoManager& Instance();

    host::Lock lock;  // guards everything below and the records above
    std::map<std::u16string, PDEVICE_OBJECT> devices;  // by normalised name
    std::map<std::u16string, std::u16string> links;    // normalised link -> device name as given
    std::map<user_io::FileId, std::shared_ptr<FileRecord>> files;
    user_io::FileId nextFileId = 1;
    std::size_t liveDevices = 0;
    std::size_t liveRequests = 0;
    // I/O work items queued or running, by the driver of their device: they keep it loaded.
    std::map<PDRIVER_OBJECT, int> workItemsOut;
    host::Condition workItemsChanged;  // signalled when a driver's count falls

    // Resolves a path in the object namespace: the device named by the longest prefix (a device
    // name or a link), and the rest of the path. Called with the lock held.
    PDEVICE_OBJECT Resolve(std::u16string_view path, std::u16string* remainder);

    // Drops one reference of a device record, freeing the device when it was the last.
    // Called with the lock held.
    void ReleaseDevice(PDEVICE_OBJECT device);

    // Closes that must not run on the thread that asks for them (inside a completion, or above
    // PASSIVE_LEVEL) go to this worker.
    void DeferClose(std::function<void()> send);
    bool DrainDeferred(int timeoutMs);
    ~IoManager();

  private:
    IoManager() = default;
    void WorkerLoop();
    host::Lock workerLock_;
    host::Condition workerChanged_;
    std::deque<std::function<void()>> deferred_;
    int running_ = 0;
    bool stopping_ = false;
    host::Thread worker_;
};

// Canonical form of an object name: "\DosDevices\" and "\GLOBAL??\" become "\??\"; case kept.
std::u16string CanonicalName(std::u16string_view name);
// Key for comparisons: canonical and upper-case.
std::u16string NameKey(std::u16string_view name);
std::u16string ToWide(const UNICODE_STRING* name);

// The calling thread is inside IoCompleteRequest (a completion, or what it calls).
bool InsideCompletion();

// Called by IoCompleteRequest when a request of the I/O manager reaches the top.
void FinishUserRequest(PIRP irp);
void ReleaseRequest(UserRequest* request);
// Frees a request that was built but never sent.
void DiscardRequest(UserRequest* request);

// Reports a finished read to the observer installed by testing::SetCompletionObserver.
void ObserveReadCompletion(const void* userBuffer, std::size_t bytes);

// Frees the device object's memory (the record says it is unreferenced).
void FreeDeviceObject(PDEVICE_OBJECT device);

}  // namespace kernel::io
