// The user boundary: user-mode file calls become IRPs here, and finished IRPs are reported back.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "io/io_manager.h"
#include "kernel/machine.h"
#include "kernel/rules.h"
#include "kernel/testing.h"

namespace kernel::io {

FileRecord::~FileRecord() = default;

namespace {

struct FileRecordWithObject : FileRecord {
    FILE_OBJECT storage{};
};

PETHREAD ThreadOf(user_io::IssuerId issuer) {
    return reinterpret_cast<PETHREAD>(static_cast<std::uintptr_t>(issuer));
}

UserRequest* NewRequest(PDEVICE_OBJECT target, user_io::IssuerId issuer) {
    PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
    if (irp == nullptr)
        return nullptr;
    auto* request = new UserRequest;
    request->irp = irp;
    request->issuer = issuer;
    irp->IoManagerPrivate = request;
    irp->RequestorMode = UserMode;
    irp->Tail.Overlay.Thread = ThreadOf(issuer);
    return request;
}

// Sends create, cleanup or close and waits for its completion.
NTSTATUS SendSynchronous(PDEVICE_OBJECT target, FILE_OBJECT* object, UCHAR major,
                         user_io::IssuerId issuer, ACCESS_MASK access) {
    UserRequest* request = NewRequest(target, issuer);
    if (request == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    auto done = std::make_shared<host::Signal>();
    auto status = std::make_shared<NTSTATUS>(STATUS_PENDING);
    request->callback = [done, status](const user_io::Completion& completion) {
        *status = completion.status;
        done->Set();
    };
    IO_SECURITY_CONTEXT security{};
    security.DesiredAccess = access;
    PIRP irp = request->irp;
    irp->Tail.Overlay.OriginalFileObject = object;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->MajorFunction = major;
    stack->FileObject = object;
    if (major == IRP_MJ_CREATE) {
        stack->Parameters.Create.SecurityContext = &security;
        stack->Parameters.Create.Options = 1u << 24;  // FILE_OPEN
    }
    IoCallDriver(target, irp);
    done->Wait();
    return *status;
}

void SendClose(const std::shared_ptr<FileRecord>& file) {
    SendSynchronous(file->target, file->object, IRP_MJ_CLOSE, 0, 0);
    IoManager& io = IoManager::Instance();
    host::Guard guard(io.lock);
    io.files.erase(file->id);
    io.ReleaseDevice(file->device);
}

// Sends IRP_MJ_CLOSE once cleanup is done and nothing of the file is outstanding (the caller has
// decided that it is time, under the lock): from the I/O manager's worker, so that the close is
// never nested in the IoCompleteRequest of the driver that completed the last request, with the
// driver's locks held, as on the platform.
void CloseFromCompletion(std::shared_ptr<FileRecord> file) {
    IoManager::Instance().DeferClose([file] { SendClose(file); });
}

std::u16string Widen(std::string_view path) {
    std::u16string wide(path.begin(), path.end());
    if (wide.rfind(u"\\\\.\\", 0) == 0 || wide.rfind(u"\\\\?\\", 0) == 0)
        wide = u"\\??\\" + wide.substr(4);
    return wide;
}

void FreeMdlChain(PIRP irp) {
    PMDL mdl = irp->MdlAddress;
    irp->MdlAddress = nullptr;
    while (mdl != nullptr) {
        PMDL next = mdl->Next;
        IoFreeMdl(mdl);
        mdl = next;
    }
}

}  // namespace

void DiscardRequest(UserRequest* request) {
    std::free(request->systemBuffer);
    request->systemBuffer = nullptr;
    request->irp->AssociatedIrp.SystemBuffer = nullptr;
    FreeMdlChain(request->irp);
    ReleaseRequest(request);
}

void ReleaseRequest(UserRequest* request) {
    if (request->references.fetch_sub(1) != 1)
        return;
    request->irp->IoManagerPrivate = nullptr;
    IoFreeIrp(request->irp);
    delete request;
}

void FinishUserRequest(PIRP irp) {
    auto* request = static_cast<UserRequest*>(irp->IoManagerPrivate);
    const NTSTATUS status = irp->IoStatus.Status;
    const ULONG_PTR information = irp->IoStatus.Information;
    const bool notify = irp->PendingReturned || !NT_ERROR(status);

    if (request->copyBack && !NT_ERROR(status) && request->systemBuffer != nullptr &&
        request->userOutput != nullptr) {
        std::size_t bytes = information;
        if (bytes > request->userOutputLength) {
            ReportRuleViolation(
                "IoStatus.Information exceeds the output buffer",
                std::to_string(bytes) + " > " + std::to_string(request->userOutputLength));
            bytes = request->userOutputLength;
        }
        std::memcpy(request->userOutput, request->systemBuffer, bytes);
    }
    std::free(request->systemBuffer);
    request->systemBuffer = nullptr;
    irp->AssociatedIrp.SystemBuffer = nullptr;
    FreeMdlChain(irp);

    if (request->readBuffer != nullptr)
        ObserveReadCompletion(request->readBuffer, NT_ERROR(status) ? 0 : information);

    // The request leaves its file before its issuer hears of it: an issuer that closes the file
    // at once finds nothing outstanding, and the close reaches the driver before the close
    // returns (a subsystem opened once can be opened again straight away). It stays counted as
    // live until its issuer has been told.
    std::shared_ptr<FileRecord> closeNow;
    IoManager& io = IoManager::Instance();
    if (request->counted) {
        host::Guard guard(io.lock);
        FileRecord& file = *request->file;
        file.outstanding.erase(request);
        if (file.cleanupDone && file.outstanding.empty() && !file.closeSent) {
            file.closeSent = true;
            closeNow = request->file;
        }
    }
    if (request->callback)
        request->callback(user_io::Completion{status, information, notify});
    if (request->counted) {
        host::Guard guard(io.lock);
        --io.liveRequests;
    }
    ReleaseRequest(request);
    if (closeNow)
        CloseFromCompletion(std::move(closeNow));
}

}  // namespace kernel::io

namespace kernel::user_io {

using io::FileRecord;
using io::IoManager;
using io::UserRequest;

OpenResult Open(std::string_view path, std::uint32_t desiredAccess, IssuerId issuer) {
    if (KeGetCurrentIrql() != PASSIVE_LEVEL)
        ReportRuleViolation("a file is opened above PASSIVE_LEVEL");
    machine::EnsureBooted();
    IoManager& io = IoManager::Instance();
    auto file = std::make_shared<io::FileRecordWithObject>();
    {
        host::Guard guard(io.lock);
        PDEVICE_OBJECT device = io.Resolve(io::Widen(path), &file->fileName);
        if (device == nullptr)
            return {STATUS_OBJECT_NAME_NOT_FOUND, 0};
        if (device->Flags & DO_DEVICE_INITIALIZING)
            return {STATUS_NO_SUCH_DEVICE, 0};
        static_cast<io::DeviceRecord*>(device->IoManagerPrivate)->references++;
        file->device = device;
        file->target = device;
        while (file->target->AttachedDevice != nullptr)
            file->target = file->target->AttachedDevice;
    }
    FILE_OBJECT* object = &file->storage;
    object->Type = 5;
    object->Size = sizeof(FILE_OBJECT);
    object->DeviceObject = file->device;
    object->FileName.Buffer = file->fileName.data();
    object->FileName.Length = static_cast<USHORT>(file->fileName.size() * sizeof(WCHAR));
    object->FileName.MaximumLength = static_cast<USHORT>(object->FileName.Length + sizeof(WCHAR));
    object->IoManagerPrivate = file.get();
    file->object = object;

    const NTSTATUS status =
        io::SendSynchronous(file->target, object, IRP_MJ_CREATE, issuer, desiredAccess);
    host::Guard guard(io.lock);
    if (!NT_SUCCESS(status)) {
        io.ReleaseDevice(file->device);
        return {status, 0};
    }
    file->id = io.nextFileId++;
    io.files[file->id] = file;
    return {STATUS_SUCCESS, file->id};
}

std::int32_t Submit(FileId fileId, IssuerId issuer, const Request& request,
                    CompletionCallback onComplete) {
    if (KeGetCurrentIrql() != PASSIVE_LEVEL)
        ReportRuleViolation("a user request is issued above PASSIVE_LEVEL");
    // A submission that fails before its IRP exists is told to its issuer like one that its
    // driver failed at once, so that a caller waiting for the completion is not left waiting.
    auto refuse = [&onComplete](NTSTATUS status) {
        if (onComplete)
            onComplete(Completion{status, 0, false});
        return status;
    };
    IoManager& io = IoManager::Instance();
    std::shared_ptr<FileRecord> file;
    {
        host::Guard guard(io.lock);
        auto it = io.files.find(fileId);
        if (it == io.files.end() || it->second->closeSent)
            return refuse(STATUS_INVALID_HANDLE);
        file = it->second;
    }
    PDEVICE_OBJECT target = file->target;
    UserRequest* user = io::NewRequest(target, issuer);
    if (user == nullptr)
        return refuse(STATUS_INSUFFICIENT_RESOURCES);
    user->file = file;
    user->callback = std::move(onComplete);
    PIRP irp = user->irp;
    irp->Tail.Overlay.OriginalFileObject = file->object;
    irp->UserBuffer = request.output;
    PIO_STACK_LOCATION stack = IoGetNextIrpStackLocation(irp);
    stack->FileObject = file->object;

    auto systemBufferOf = [&](std::size_t bytes, const void* input, std::size_t inputBytes) {
        if (bytes == 0)
            return;
        user->systemBuffer = std::calloc(1, bytes);
        if (input != nullptr && inputBytes > 0)
            std::memcpy(user->systemBuffer, input, inputBytes);
        irp->AssociatedIrp.SystemBuffer = user->systemBuffer;
    };
    auto mdlOver = [&](const void* buffer, std::uint32_t length) {
        if (length > 0)
            IoAllocateMdl(const_cast<void*>(buffer), length, FALSE, FALSE, irp);
    };
    auto copyBackTo = [&](void* output, std::uint32_t length) {
        user->copyBack = true;
        user->userOutput = output;
        user->userOutputLength = length;
    };

    switch (request.operation) {
        case Operation::Read:
        case Operation::Write: {
            const bool read = request.operation == Operation::Read;
            stack->MajorFunction = read ? IRP_MJ_READ : IRP_MJ_WRITE;
            const std::uint32_t length = read ? request.outputLength : request.inputLength;
            void* buffer = read ? request.output : const_cast<void*>(request.input);
            if (read)
                user->readBuffer = request.output;
            stack->Parameters.Read.Length = length;
            stack->Parameters.Read.ByteOffset.QuadPart = static_cast<LONGLONG>(request.offset);
            if (target->Flags & DO_BUFFERED_IO) {
                systemBufferOf(length, read ? nullptr : request.input, read ? 0 : length);
                if (read)
                    copyBackTo(request.output, length);
            } else if (target->Flags & DO_DIRECT_IO) {
                mdlOver(buffer, length);
            } else {
                irp->UserBuffer = buffer;
            }
            break;
        }
        case Operation::DeviceControl: {
            stack->MajorFunction = IRP_MJ_DEVICE_CONTROL;
            stack->Parameters.DeviceIoControl.IoControlCode = request.controlCode;
            stack->Parameters.DeviceIoControl.InputBufferLength = request.inputLength;
            stack->Parameters.DeviceIoControl.OutputBufferLength = request.outputLength;
            switch (METHOD_FROM_CTL_CODE(request.controlCode)) {
                case METHOD_BUFFERED:
                    systemBufferOf(std::max(request.inputLength, request.outputLength),
                                   request.input, request.inputLength);
                    copyBackTo(request.output, request.outputLength);
                    break;
                case METHOD_IN_DIRECT:
                case METHOD_OUT_DIRECT:
                    systemBufferOf(request.inputLength, request.input, request.inputLength);
                    mdlOver(request.output, request.outputLength);
                    break;
                default:
                    stack->Parameters.DeviceIoControl.Type3InputBuffer =
                        const_cast<void*>(request.input);
                    break;
            }
            break;
        }
    }

    // The request joins its file under the same lock that decides the close: a close never
    // reaches the driver while a request of the file can still be dispatched.
    {
        host::Guard guard(io.lock);
        if (!file->closeSent) {
            file->outstanding.insert(user);
            user->counted = true;
            ++io.liveRequests;
        }
    }
    if (!user->counted) {
        onComplete = std::move(user->callback);
        io::DiscardRequest(user);
        return refuse(STATUS_INVALID_HANDLE);
    }
    return IoCallDriver(target, irp);
}

namespace {
void CancelWhere(const std::function<bool(const FileRecord&, const UserRequest&)>& selects) {
    IoManager& io = IoManager::Instance();
    std::vector<UserRequest*> chosen;
    {
        host::Guard guard(io.lock);
        for (auto& [id, file] : io.files)
            for (UserRequest* request : file->outstanding)
                if (selects(*file, *request)) {
                    request->references.fetch_add(1);
                    chosen.push_back(request);
                }
    }
    for (UserRequest* request : chosen) {
        IoCancelIrp(request->irp);
        io::ReleaseRequest(request);
    }
}
}  // namespace

void CancelRequests(FileId file, IssuerId issuer) {
    CancelWhere([&](const FileRecord& record, const UserRequest& request) {
        return record.id == file && request.issuer == issuer;
    });
}

void CancelIssuerRequests(IssuerId issuer) {
    CancelWhere(
        [&](const FileRecord&, const UserRequest& request) { return request.issuer == issuer; });
}

namespace {
void CloseNow(FileId fileId);
}

void Close(FileId fileId) {
    // A close asked for inside a completion waits for the worker, like one that the completion
    // itself causes.
    if (io::InsideCompletion() || KeGetCurrentIrql() != PASSIVE_LEVEL) {
        IoManager::Instance().DeferClose([fileId] { CloseNow(fileId); });
        return;
    }
    CloseNow(fileId);
}

namespace {
void CloseNow(FileId fileId) {
    IoManager& io = IoManager::Instance();
    std::shared_ptr<FileRecord> file;
    {
        host::Guard guard(io.lock);
        auto it = io.files.find(fileId);
        if (it == io.files.end() || it->second->cleanupStarted)
            return;
        file = it->second;
        file->cleanupStarted = true;
    }
    io::SendSynchronous(file->target, file->object, IRP_MJ_CLEANUP, 0, 0);
    bool closeNow = false;
    {
        host::Guard guard(io.lock);
        file->cleanupDone = true;
        if (file->outstanding.empty() && !file->closeSent) {
            file->closeSent = true;
            closeNow = true;
        }
    }
    if (closeNow)
        io::SendClose(file);
}
}  // namespace

}  // namespace kernel::user_io

namespace kernel::testing {
std::size_t OutstandingUserRequests() {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    return io.liveRequests;
}
std::size_t OpenFileObjects() {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    return io.files.size();
}
}  // namespace kernel::testing
