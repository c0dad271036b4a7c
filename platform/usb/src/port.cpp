// A plugged-in device: URB handling, per-pipe transfer queues, cancel, unplug and PnP.
#include "port.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "usb/usbdlib.h"

namespace usb {
namespace {

// The sleep before a retry that a model asks for "now": a model that keeps asking for it without
// moving on cannot make the thread spin. A time it names is kept to the nanosecond.
constexpr simclock::Duration kRetryNow = std::chrono::microseconds(50);
// How often the thread looks whether the PDO of an unplugged device can go.
constexpr auto kDeletePoll = std::chrono::milliseconds(1);

// Opaque handles: unique numbers that are never addresses of anything.
PVOID NewHandle() {
    static std::atomic<std::uintptr_t> next{0x10};
    return reinterpret_cast<PVOID>(next.fetch_add(0x10) | 0x1);
}

// The bus's private slots in a pending IRP (the bus owns the IRP while it is queued).
std::size_t BytesDone(PIRP irp) {
    return reinterpret_cast<std::uintptr_t>(irp->Tail.Overlay.DriverContext[0]);
}
void SetBytesDone(PIRP irp, std::size_t bytes) {
    irp->Tail.Overlay.DriverContext[0] =
        reinterpret_cast<PVOID>(static_cast<std::uintptr_t>(bytes));
}
UCHAR* Buffer(PIRP irp) {
    return static_cast<UCHAR*>(irp->Tail.Overlay.DriverContext[1]);
}
bool Frozen(PIRP irp) {
    return irp->Tail.Overlay.DriverContext[2] != nullptr;
}
void Freeze(PIRP irp) {
    irp->Tail.Overlay.DriverContext[2] = irp;
}

PURB UrbOf(PIRP irp) {
    return static_cast<PURB>(IoGetCurrentIrpStackLocation(irp)->Parameters.Others.Argument1);
}

void CompleteAtDispatch(PIRP irp) {
    KIRQL old;
    KeRaiseIrql(DISPATCH_LEVEL, &old);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    KeLowerIrql(old);
}

void CancelTransfer(PDEVICE_OBJECT device, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    Port::From(device)->CancelQueued(irp);
}

std::pair<NTSTATUS, USBD_STATUS> FaultPair(Fault fault) {
    switch (fault) {
        case Fault::TransactionError:
            return {STATUS_UNSUCCESSFUL, USBD_STATUS_XACT_ERROR};
        case Fault::Stall:
            return {STATUS_UNSUCCESSFUL, USBD_STATUS_STALL_PID};
        case Fault::DataError:
            return {STATUS_DEVICE_DATA_ERROR, USBD_STATUS_DEV_NOT_RESPONDING};
        case Fault::Removed:
            return {STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE};
        case Fault::NeverAnswer:
        case Fault::ZeroLength:
            break;
    }
    return {STATUS_SUCCESS, USBD_STATUS_SUCCESS};
}

}  // namespace

Port::Port(PDEVICE_OBJECT pdo, std::shared_ptr<DeviceModel> model, FrameService& frames)
    : pdo_(pdo), identity_(pdo), model_(std::move(model)), frames_(frames) {
    *static_cast<Port**>(pdo->DeviceExtension) = this;
    {
        std::lock_guard lock(mutex_);
        model_->Connected(this);
    }
    thread_ = simclock::Thread([this] { ThreadLoop(); });
}

Port::~Port() {
    Shutdown();
}

void Port::Shutdown() {
    Unplug();
    {
        std::lock_guard lock(wakeMutex_);
        stop_ = true;
    }
    wakeCondition_.notify_all();
    if (thread_.joinable())
        thread_.join();
    frames_.Forget(this);
    std::lock_guard lock(mutex_);
    if (!deleted_) {
        IoDeleteDevice(pdo_);
        deleted_ = true;
        changed_.notify_all();
    }
}

// ---- Submission ----------------------------------------------------------------------------

NTSTATUS Port::DispatchUrb(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    PURB urb = UrbOf(irp);
    if (stack->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB ||
        urb == nullptr) {
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        irp->IoStatus.Information = 0;
        CompleteAtDispatch(irp);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    {
        std::lock_guard lock(mutex_);
        ++held_;
    }
    NTSTATUS status;
    switch (urb->UrbHeader.Function) {
        case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
            return SubmitTransfer(irp, urb);
        case URB_FUNCTION_SELECT_CONFIGURATION:
            status = SelectConfiguration(urb);
            break;
        case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
            status = GetDescriptor(urb);
            break;
        case URB_FUNCTION_ABORT_PIPE:
        case URB_FUNCTION_RESET_PIPE: {
            std::vector<Done> done;
            std::vector<PIRP> owned;  // transfers whose cancel routine completes them
            std::unique_lock lock(mutex_);
            auto it = pipes_.find(urb->UrbPipeRequest.PipeHandle);
            if (!plugged_) {
                urb->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
                status = STATUS_DEVICE_NOT_CONNECTED;
            } else if (it == pipes_.end()) {
                urb->UrbHeader.Status = USBD_STATUS_INVALID_PIPE_HANDLE;
                status = STATUS_INVALID_PARAMETER;
            } else if (urb->UrbHeader.Function == URB_FUNCTION_RESET_PIPE) {
                it->second.halted = false;
                model_->PipeReset(it->second.endpoint);
                urb->UrbHeader.Status = USBD_STATUS_SUCCESS;
                status = STATUS_SUCCESS;
            } else {
                FailQueued(&it->second, STATUS_CANCELLED, USBD_STATUS_CANCELED, done);
                owned.assign(it->second.queue.begin(), it->second.queue.end());
                model_->PipeAborted(it->second.endpoint);
                urb->UrbHeader.Status = USBD_STATUS_SUCCESS;
                status = STATUS_SUCCESS;
            }
            lock.unlock();
            FinishAll(done);
            if (!owned.empty() && KeGetCurrentIrql() < DISPATCH_LEVEL) {
                // The abort completes after the transfers that cancel routines are completing.
                const PVOID handle = urb->UrbPipeRequest.PipeHandle;
                lock.lock();
                changed_.wait(lock, [&] {
                    auto pipe = pipes_.find(handle);
                    if (pipe == pipes_.end())
                        return true;
                    const auto& queue = pipe->second.queue;
                    return std::none_of(owned.begin(), owned.end(), [&](PIRP pending) {
                        return std::find(queue.begin(), queue.end(), pending) != queue.end();
                    });
                });
            }
            break;
        }
        default:
            urb->UrbHeader.Status = USBD_STATUS_INVALID_URB_FUNCTION;
            status = STATUS_INVALID_PARAMETER;
            break;
    }
    Finish({irp, status, urb->UrbHeader.Status, static_cast<ULONG>(-1)});
    return status;
}

NTSTATUS Port::GetDescriptor(PURB urb) {
    auto& request = urb->UrbControlDescriptorRequest;
    std::vector<std::uint8_t> descriptor;
    Fault fault;
    std::unique_lock lock(mutex_);
    if (!plugged_) {
        request.Hdr.Status = USBD_STATUS_DEVICE_GONE;
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    if (NextFault(0, &fault) && fault != Fault::NeverAnswer) {
        if (fault == Fault::ZeroLength) {
            request.TransferBufferLength = 0;
            request.Hdr.Status = USBD_STATUS_SUCCESS;
            return STATUS_SUCCESS;
        }
        auto [status, usbd] = FaultPair(fault);
        request.Hdr.Status = usbd;
        request.TransferBufferLength = 0;
        return status;
    }
    if (request.DescriptorType == USB_DEVICE_DESCRIPTOR_TYPE && request.Index == 0)
        descriptor = model_->DeviceDescriptor();
    else if (request.DescriptorType == USB_CONFIGURATION_DESCRIPTOR_TYPE)
        descriptor = model_->ConfigurationDescriptor(request.Index);
    lock.unlock();
    if (descriptor.empty()) {
        request.Hdr.Status = USBD_STATUS_STALL_PID;
        request.TransferBufferLength = 0;
        return STATUS_UNSUCCESSFUL;
    }
    UCHAR* buffer = static_cast<UCHAR*>(request.TransferBuffer);
    if (buffer == nullptr && request.TransferBufferMDL != nullptr)
        buffer = static_cast<UCHAR*>(
            MmGetSystemAddressForMdlSafe(request.TransferBufferMDL, NormalPagePriority));
    if (buffer == nullptr && request.TransferBufferLength > 0) {
        request.Hdr.Status = USBD_STATUS_INVALID_PARAMETER;
        return STATUS_INVALID_PARAMETER;
    }
    const ULONG bytes =
        std::min<ULONG>(request.TransferBufferLength, static_cast<ULONG>(descriptor.size()));
    if (bytes > 0)
        std::memcpy(buffer, descriptor.data(), bytes);
    request.TransferBufferLength = bytes;
    request.Hdr.Status = USBD_STATUS_SUCCESS;
    return STATUS_SUCCESS;
}

NTSTATUS Port::SelectConfiguration(PURB urb) {
    auto& select = urb->UrbSelectConfiguration;
    std::vector<Done> done;
    std::unique_lock lock(mutex_);
    if (!plugged_) {
        select.Hdr.Status = USBD_STATUS_DEVICE_GONE;
        return STATUS_DEVICE_NOT_CONNECTED;
    }
    auto reject = [&](USBD_STATUS usbd) {
        select.Hdr.Status = usbd;
        return STATUS_INVALID_PARAMETER;
    };

    std::map<PVOID, Pipe> pipes;
    std::uint8_t value = 0;
    if (select.ConfigurationDescriptor != nullptr) {
        value = select.ConfigurationDescriptor->bConfigurationValue;
        // The device's own descriptor with that value, not the caller's copy.
        std::vector<std::uint8_t> config;
        for (int index = 0; index < 256; ++index) {
            auto candidate = model_->ConfigurationDescriptor(static_cast<std::uint8_t>(index));
            if (candidate.empty())
                break;
            if (candidate.size() >= sizeof(USB_CONFIGURATION_DESCRIPTOR) &&
                reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(candidate.data())
                        ->bConfigurationValue == value) {
                config = std::move(candidate);
                break;
            }
        }
        if (config.empty())
            return reject(USBD_STATUS_INVALID_PARAMETER);
        auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
        const ULONG configLength = static_cast<ULONG>(config.size());
        const UCHAR* const urbEnd = reinterpret_cast<const UCHAR*>(urb) + urb->UrbHeader.Length;
        auto* block = reinterpret_cast<UCHAR*>(&select.Interface);
        for (int i = 0; i < descriptor->bNumInterfaces; ++i) {
            auto* info = reinterpret_cast<PUSBD_INTERFACE_INFORMATION>(block);
            constexpr std::size_t kFixed = offsetof(USBD_INTERFACE_INFORMATION, Pipes);
            if (block + kFixed > urbEnd || info->Length < kFixed || block + info->Length > urbEnd)
                return reject(USBD_STATUS_INVALID_PARAMETER);
            auto* interface = USBD_ParseConfigurationDescriptorInBuffer(
                descriptor, configLength, nullptr, info->InterfaceNumber, info->AlternateSetting,
                -1, -1, -1);
            if (interface == nullptr)
                return reject(USBD_STATUS_INVALID_PARAMETER);
            std::vector<PUSB_ENDPOINT_DESCRIPTOR> endpoints;
            auto* at = reinterpret_cast<UCHAR*>(interface) + interface->bLength;
            while (auto* next = USBD_ParseDescriptors(descriptor, configLength, at, -1)) {
                if (next->bDescriptorType == USB_INTERFACE_DESCRIPTOR_TYPE)
                    break;
                if (next->bDescriptorType == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                    next->bLength >= sizeof(USB_ENDPOINT_DESCRIPTOR))
                    endpoints.push_back(reinterpret_cast<PUSB_ENDPOINT_DESCRIPTOR>(next));
                at = reinterpret_cast<UCHAR*>(next) + next->bLength;
            }
            const std::size_t room = (info->Length - kFixed) / sizeof(USBD_PIPE_INFORMATION);
            if (endpoints.size() > room)
                return reject(USBD_STATUS_INVALID_PARAMETER);
            info->Class = interface->bInterfaceClass;
            info->SubClass = interface->bInterfaceSubClass;
            info->Protocol = interface->bInterfaceProtocol;
            info->InterfaceHandle = NewHandle();
            info->NumberOfPipes = static_cast<ULONG>(endpoints.size());
            for (std::size_t p = 0; p < endpoints.size(); ++p) {
                USBD_PIPE_INFORMATION& pipe = info->Pipes[p];
                pipe.MaximumPacketSize = endpoints[p]->wMaxPacketSize;
                pipe.EndpointAddress = endpoints[p]->bEndpointAddress;
                pipe.Interval = endpoints[p]->bInterval;
                pipe.PipeType = static_cast<USBD_PIPE_TYPE>(endpoints[p]->bmAttributes &
                                                            USB_ENDPOINT_TYPE_MASK);
                pipe.PipeHandle = NewHandle();
                Pipe record;
                record.endpoint = pipe.EndpointAddress;
                record.type = pipe.PipeType;
                record.maxPacket = pipe.MaximumPacketSize;
                pipes[pipe.PipeHandle] = std::move(record);
            }
            block += info->Length;
        }
        select.ConfigurationHandle = NewHandle();
    }
    // The old configuration's transfers end as cancelled; its handles become invalid.
    FailQueued(nullptr, STATUS_CANCELLED, USBD_STATUS_CANCELED, done);
    for (auto& [handle, pipe] : pipes_) {
        if (!pipe.queue.empty()) {  // left to their cancel routines: keep the records for them
            pipe.retired = true;
            pipes[handle] = std::move(pipe);
        }
    }
    pipes_ = std::move(pipes);
    configuration_ = value;
    model_->ConfigurationSelected(value);
    select.Hdr.Status = USBD_STATUS_SUCCESS;
    lock.unlock();
    FinishAll(done);
    return STATUS_SUCCESS;
}

NTSTATUS Port::SubmitTransfer(PIRP irp, PURB urb) {
    auto& transfer = urb->UrbBulkOrInterruptTransfer;
    std::unique_lock lock(mutex_);
    auto fail = [&](NTSTATUS status, USBD_STATUS usbd) {
        lock.unlock();
        Finish({irp, status, usbd, 0});
        return status;
    };
    if (!plugged_)
        return fail(STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE);
    if (removed_)  // removal in progress or done: nothing new is taken in
        return fail(STATUS_CANCELLED, USBD_STATUS_CANCELED);
    auto it = pipes_.find(transfer.PipeHandle);
    if (it == pipes_.end() || it->second.retired || configuration_ == 0)
        return fail(STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PIPE_HANDLE);
    if (it->second.halted)
        return fail(STATUS_UNSUCCESSFUL, USBD_STATUS_ENDPOINT_HALTED);
    UCHAR* buffer = static_cast<UCHAR*>(transfer.TransferBuffer);
    if (buffer == nullptr && transfer.TransferBufferMDL != nullptr)
        buffer = static_cast<UCHAR*>(
            MmGetSystemAddressForMdlSafe(transfer.TransferBufferMDL, NormalPagePriority));
    if (buffer == nullptr && transfer.TransferBufferLength > 0)
        return fail(STATUS_INVALID_PARAMETER, USBD_STATUS_INVALID_PARAMETER);

    IoMarkIrpPending(irp);
    SetBytesDone(irp, 0);
    irp->Tail.Overlay.DriverContext[1] = buffer;
    irp->Tail.Overlay.DriverContext[2] = nullptr;
    transfer.Hdr.Status = USBD_STATUS_PENDING;
    IoSetCancelRoutine(irp, CancelTransfer);
    if (irp->Cancel && IoSetCancelRoutine(irp, nullptr) != nullptr) {
        lock.unlock();
        Finish({irp, STATUS_CANCELLED, USBD_STATUS_CANCELED, 0});
        return STATUS_PENDING;
    }
    // Behind a waiting transfer it cannot move before that one completes, and the pass that
    // completes that one goes on to it: only a transfer at the head needs the thread woken.
    const bool head = it->second.queue.empty();
    it->second.queue.push_back(irp);
    lock.unlock();
    if (head)
        Wake();
    return STATUS_PENDING;
}

// ---- Completion ----------------------------------------------------------------------------

void Port::Finish(const Done& done) {
    PURB urb = UrbOf(done.irp);
    urb->UrbHeader.Status = done.usbd;
    if (done.bytes != static_cast<ULONG>(-1) &&
        urb->UrbHeader.Function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)
        urb->UrbBulkOrInterruptTransfer.TransferBufferLength = done.bytes;
    done.irp->IoStatus.Status = done.status;
    done.irp->IoStatus.Information = 0;
    CompleteAtDispatch(done.irp);
    std::lock_guard lock(mutex_);
    --held_;
    changed_.notify_all();
}

void Port::FinishAll(const std::vector<Done>& done) {
    for (const Done& entry : done)
        Finish(entry);
}

void Port::CancelQueued(PIRP irp) {
    Done done{irp, STATUS_CANCELLED, USBD_STATUS_CANCELED, 0};
    {
        std::lock_guard lock(mutex_);
        for (auto& [handle, pipe] : pipes_) {
            auto it = std::find(pipe.queue.begin(), pipe.queue.end(), irp);
            if (it != pipe.queue.end()) {
                Leaving(pipe, irp);
                pipe.queue.erase(it);
                done.bytes = static_cast<ULONG>(BytesDone(irp));
                if (pipe.retired && pipe.queue.empty()) {
                    const PVOID retiredHandle = handle;
                    pipes_.erase(retiredHandle);
                }
                break;
            }
        }
        changed_.notify_all();
    }
    Finish(done);
    Wake();  // the transfer behind it may now be served
}

void Port::FailQueued(Pipe* only, NTSTATUS status, USBD_STATUS usbd, std::vector<Done>& done) {
    for (auto& [handle, pipe] : pipes_) {
        if (only != nullptr && &pipe != only)
            continue;
        for (auto it = pipe.queue.begin(); it != pipe.queue.end();) {
            PIRP irp = *it;
            if (IoSetCancelRoutine(irp, nullptr) == nullptr) {
                ++it;  // its cancel routine is running and will complete it
                continue;
            }
            done.push_back({irp, status, usbd, static_cast<ULONG>(BytesDone(irp))});
            Leaving(pipe, irp);
            it = pipe.queue.erase(it);
        }
    }
}

bool Port::TakeHead(Pipe& pipe, NTSTATUS status, USBD_STATUS usbd, std::vector<Done>& done) {
    PIRP irp = pipe.queue.front();
    if (IoSetCancelRoutine(irp, nullptr) == nullptr)
        return false;
    Leaving(pipe, irp);
    pipe.queue.pop_front();
    done.push_back({irp, status, usbd, static_cast<ULONG>(BytesDone(irp))});
    return true;
}

bool Port::NextFault(std::uint8_t endpoint, Fault* fault) {
    auto it = faults_.find(endpoint);
    if (it == faults_.end() || it->second.empty())
        return false;
    *fault = it->second.front();
    it->second.pop_front();
    return true;
}

void Port::NoteRetry(Pipe& pipe, std::size_t wanted, std::uint64_t changes,
                     std::optional<simclock::Duration>& next) {
    pipe.waiting = pipe.queue.front();
    pipe.waitingChanges = changes;
    pipe.waitingUntil.reset();
    // The reading before the model's: a clock that moves on while the model answers makes the
    // retry early (one more try), never late (a transfer left waiting past its time).
    const simclock::Duration asked = simclock::Now();
    const auto after = model_->RetryAfter(pipe.endpoint, wanted);
    if (!after)
        return;
    const simclock::Duration at = asked + (after->count() > 0 ? *after : kRetryNow);
    pipe.waitingUntil = at;
    if (!next || at < *next)
        next = at;
}

bool Port::StillWaiting(const Pipe& pipe) const {
    if (pipe.waiting == nullptr || pipe.queue.empty() || pipe.queue.front() != pipe.waiting ||
        pipe.waitingChanges != changes_.load())
        return false;
    return !pipe.waitingUntil || simclock::Now() < *pipe.waitingUntil;
}

std::optional<simclock::Duration> Port::Service(std::vector<Done>& done) {
    std::optional<simclock::Duration> next;
    if (!plugged_)
        return next;
    for (auto& [handle, pipe] : pipes_) {
        if (pipe.retired)
            continue;
        if (StillWaiting(pipe)) {
            // Nothing changed for this one since its try: it keeps its own time.
            if (pipe.waitingUntil && (!next || *pipe.waitingUntil < *next))
                next = pipe.waitingUntil;
            continue;
        }
        while (!pipe.queue.empty()) {
            PIRP irp = pipe.queue.front();
            if (Frozen(irp))
                break;
            // Changes from here on, wakes by the model during this try included, call for another
            // try.
            const std::uint64_t changes = changes_.load();
            auto& transfer = UrbOf(irp)->UrbBulkOrInterruptTransfer;
            const std::size_t length = transfer.TransferBufferLength;
            const bool in = USB_ENDPOINT_DIRECTION_IN(pipe.endpoint);
            if (pipe.halted) {
                if (!TakeHead(pipe, STATUS_UNSUCCESSFUL, USBD_STATUS_ENDPOINT_HALTED, done))
                    break;
                continue;
            }
            Fault fault;
            if (NextFault(pipe.endpoint, &fault)) {
                if (fault == Fault::NeverAnswer) {
                    Freeze(irp);
                    break;
                }
                if (fault == Fault::Stall)
                    pipe.halted = true;
                auto [status, usbd] = FaultPair(fault);
                if (!TakeHead(pipe, status, usbd, done))
                    break;
                continue;
            }
            if (in) {
                std::size_t filled = BytesDone(irp);
                InResult result;
                if (filled < length)
                    result =
                        model_->In(pipe.endpoint,
                                   std::span<std::uint8_t>(Buffer(irp) + filled, length - filled),
                                   pipe.maxPacket);
                if (result.fault && *result.fault != Fault::NeverAnswer) {
                    if (*result.fault == Fault::Stall)
                        pipe.halted = true;
                    auto [status, usbd] = FaultPair(*result.fault);
                    if (!TakeHead(pipe, status, usbd, done))
                        break;
                    continue;
                }
                if (result.fault) {  // never answered
                    Freeze(irp);
                    break;
                }
                filled += std::min(result.bytes, length - filled);
                SetBytesDone(irp, filled);
                if (filled < length && !result.ended) {
                    NoteRetry(pipe, length - filled, changes, next);
                    break;
                }
                const bool shortOk = (transfer.TransferFlags & USBD_SHORT_TRANSFER_OK) != 0;
                const bool failed = filled < length && !shortOk;
                if (!TakeHead(pipe, failed ? STATUS_UNSUCCESSFUL : STATUS_SUCCESS,
                              failed ? USBD_STATUS_ERROR_SHORT_TRANSFER : USBD_STATUS_SUCCESS,
                              done))
                    break;
            } else {
                if (model_->Out(pipe.endpoint, std::span<const std::uint8_t>(
                                                   Buffer(irp), length)) == OutResult::Held) {
                    NoteRetry(pipe, length, changes, next);
                    break;
                }
                changes_.fetch_add(1);  // a command may start or change what other pipes wait for
                SetBytesDone(irp, length);
                if (!TakeHead(pipe, STATUS_SUCCESS, USBD_STATUS_SUCCESS, done))
                    break;
            }
        }
    }
    return next;
}

void Port::Wake() {
    changes_.fetch_add(1);
    {
        std::lock_guard lock(passMutex_);
        if (passing_) {
            again_ = true;  // the pass in progress looks again before it ends
            return;
        }
    }
    {
        std::lock_guard lock(wakeMutex_);
        wake_ = true;
    }
    wakeCondition_.notify_all();
}

void Port::Pass() {
    {
        std::lock_guard lock(passMutex_);
        if (passing_) {
            again_ = true;
            return;
        }
        passing_ = true;
    }
    // The bus takes no time: a host that stops this thread in the middle of a pass holds the clock.
    simclock::DueWork work;
    for (;;) {
        std::vector<Done> done;
        std::optional<simclock::Duration> retryAt;
        {
            std::lock_guard lock(mutex_);
            retryAt = Service(done);
        }
        FinishAll(done);
        TryDelete();
        std::lock_guard lock(passMutex_);
        if (again_) {
            again_ = false;
            continue;
        }
        // Named while no other pass can begin, so that a later pass's time is never overwritten.
        frames_.Due(this, retryAt);
        passing_ = false;
        return;
    }
}

void Port::ThreadLoop() {
    for (;;) {
        {
            std::unique_lock lock(wakeMutex_);
            auto ready = [this] { return wake_ || stop_; };
            if (deleteScheduled_)
                wakeCondition_.wait_for(lock, kDeletePoll, ready);
            else
                wakeCondition_.wait(lock, ready);
            if (stop_)
                return;
            wake_ = false;
        }
        Pass();
    }
}

void Port::TryDelete() {
    if (!deleteScheduled_)
        return;
    std::lock_guard lock(mutex_);
    if (deleted_ || held_ > 0 || IoGetAttachedDevice(pdo_) != pdo_)
        return;
    IoDeleteDevice(pdo_);
    deleted_ = true;
    changed_.notify_all();
}

// ---- Unplug, PnP and power -----------------------------------------------------------------

void Port::Unplug() {
    std::vector<Done> done;
    {
        std::lock_guard lock(mutex_);
        if (!plugged_)
            return;
        plugged_ = false;
        FailQueued(nullptr, STATUS_DEVICE_NOT_CONNECTED, USBD_STATUS_DEVICE_GONE, done);
        model_->Connected(nullptr);
        if (removed_)
            deleteScheduled_ = true;
    }
    FinishAll(done);
    Wake();
}

NTSTATUS Port::DispatchPnp(PIRP irp) {
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    NTSTATUS status = irp->IoStatus.Status;
    switch (minor) {
        case IRP_MN_START_DEVICE:
        case IRP_MN_QUERY_STOP_DEVICE:
        case IRP_MN_STOP_DEVICE:
        case IRP_MN_CANCEL_STOP_DEVICE:
        case IRP_MN_QUERY_REMOVE_DEVICE:
        case IRP_MN_CANCEL_REMOVE_DEVICE:
        case IRP_MN_SURPRISE_REMOVAL:
        case IRP_MN_QUERY_PNP_DEVICE_STATE:
            status = STATUS_SUCCESS;
            break;
        case IRP_MN_REMOVE_DEVICE: {
            // Every URB still held completes before the removal does.
            std::vector<Done> done;
            std::unique_lock lock(mutex_);
            removed_ = true;
            FailQueued(nullptr, plugged_ ? STATUS_CANCELLED : STATUS_DEVICE_NOT_CONNECTED,
                       plugged_ ? USBD_STATUS_CANCELED : USBD_STATUS_DEVICE_GONE, done);
            lock.unlock();
            FinishAll(done);
            lock.lock();
            changed_.wait(lock, [this] { return held_ == 0; });
            if (configuration_ != 0 && plugged_)
                model_->ConfigurationSelected(0);
            configuration_ = 0;
            pipes_.clear();
            if (!plugged_)
                deleteScheduled_ = true;
            status = STATUS_SUCCESS;
            break;
        }
        default:
            break;
    }
    {
        std::lock_guard lock(mutex_);
        auto it = pnpFailures_.find(minor);
        if (it != pnpFailures_.end())
            status = it->second;
        if (minor == IRP_MN_START_DEVICE && NT_SUCCESS(status))
            removed_ = false;
    }
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    if (minor == IRP_MN_REMOVE_DEVICE)
        Wake();  // the thread deletes the PDO of an unplugged device once it is detached
    return status;
}

NTSTATUS Port::DispatchPower(PIRP irp) {
    const UCHAR minor = IoGetCurrentIrpStackLocation(irp)->MinorFunction;
    PoStartNextPowerIrp(irp);
    NTSTATUS status = irp->IoStatus.Status;
    if (minor == IRP_MN_SET_POWER || minor == IRP_MN_QUERY_POWER)
        status = STATUS_SUCCESS;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

// ---- Test hooks ----------------------------------------------------------------------------

void Port::InjectFault(std::uint8_t endpoint, Fault fault, int count) {
    {
        std::lock_guard lock(mutex_);
        for (int i = 0; i < count; ++i)
            faults_[endpoint].push_back(fault);
    }
    Wake();
}

void Port::FailPnp(UCHAR minor, NTSTATUS status) {
    std::lock_guard lock(mutex_);
    if (NT_SUCCESS(status))
        pnpFailures_.erase(minor);
    else
        pnpFailures_[minor] = status;
}

std::size_t Port::PendingTransfers() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [handle, pipe] : pipes_)
        count += pipe.queue.size();
    return count;
}

std::uint8_t Port::SelectedConfiguration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

bool Port::Plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

bool Port::Deleted() const {
    std::lock_guard lock(mutex_);
    return deleted_;
}

bool Port::WaitDeleted(int timeoutMs) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return deleted_; });
}

}  // namespace usb
