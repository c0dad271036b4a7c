// Device-control requests: checked for length, then routed by code to an operation of the bound
// subsystem object or of the board device. Every request completes, malformed ones with a failure
// status or with a status in the record.
#include <algorithm>

#include "dalayer/da_device.h"
#include "dalayer/trace.h"

namespace dalayer {

namespace {

enum class Target { Subsystem, Configure, Flush, WaitEvent, Board, Reserved };

constexpr ULONG kRecordSize = hxda::kDriverRequestSize;
constexpr ULONG kBlockSize = hxda::kConfigurationBlockBaseSize;

void WriteStatus(PIRP irp, hxda::ApiStatus status) {
    // Offset 12 of the record and of the configuration block alike.
    static_cast<hxda::DriverRequest*>(irp->AssociatedIrp.SystemBuffer)->status = status.code();
}

}  // namespace

struct DaDevice::Route {
    ULONG code;
    Target target;
    ULONG information;  // answered on success; the caller's output must take it
    hxda::ApiStatus (DaSubsystem::*subsystemOp)(DaRequest&);
    hxda::ApiStatus (DaDevice::*boardOp)(DaRequest&);
};

const DaDevice::Route* DaDevice::FindRoute(ULONG code) {
    using S = DaSubsystem;
    using D = DaDevice;
    static const Route kRoutes[] = {
        {IOCTL_HXDA_READEVENTS, Target::Subsystem, kRecordSize, &S::ReadEvents, nullptr},
        {IOCTL_HXDA_SETSINGLEVALUE, Target::Subsystem, kRecordSize, &S::SetSingleValue, nullptr},
        {IOCTL_HXDA_GETSINGLEVALUE, Target::Subsystem, kRecordSize, &S::GetSingleValue, nullptr},
        {IOCTL_HXDA_GETSINGLEVALUES, Target::Subsystem, kRecordSize, &S::GetSingleValues, nullptr},
        {IOCTL_HXDA_CONFIG, Target::Configure, kBlockSize, &S::Configure, nullptr},
        {IOCTL_HXDA_START, Target::Subsystem, kBlockSize, &S::Start, nullptr},
        {IOCTL_HXDA_STOP, Target::Subsystem, kRecordSize, &S::Stop, nullptr},
        {IOCTL_HXDA_PAUSE, Target::Subsystem, kRecordSize, &S::Pause, nullptr},
        {IOCTL_HXDA_CONTINUE, Target::Subsystem, kRecordSize, &S::Continue, nullptr},
        {IOCTL_HXDA_RESET, Target::Subsystem, kRecordSize, &S::Reset, nullptr},
        {IOCTL_HXDA_ABORT, Target::Subsystem, kRecordSize, &S::Abort, nullptr},
        {IOCTL_HXDA_PRESTART, Target::Subsystem, kRecordSize, &S::PreStart, nullptr},
        {IOCTL_HXDA_SIMULSTART, Target::Subsystem, kRecordSize, &S::SimultaneousStart, nullptr},
        {IOCTL_HXDA_FLUSHINPROCESS, Target::Flush, 0, &S::FlushInProcess, nullptr},
        {IOCTL_HXDA_WAITEVENT, Target::WaitEvent, kRecordSize, nullptr, nullptr},
        {IOCTL_HXDA_WRITEREG, Target::Board, kRecordSize, nullptr, &D::WriteRegister},
        {IOCTL_HXDA_READREG, Target::Board, kRecordSize, nullptr, &D::ReadRegister},
        {IOCTL_HXDA_SETHWINFO, Target::Board, kRecordSize, nullptr, &D::SetHardwareInfo},
        {IOCTL_HXDA_GETHWINFO, Target::Board, kRecordSize, nullptr, &D::GetHardwareInfo},
        {IOCTL_HXDA_WRITECALPOT, Target::Board, kRecordSize, nullptr, &D::WriteCalPot},
        {IOCTL_HXDA_READCALPOT, Target::Board, kRecordSize, nullptr, &D::ReadCalPot},
        {IOCTL_HXDA_RESERVED, Target::Reserved, 0, nullptr, nullptr},
    };
    for (const Route& route : kRoutes)
        if (route.code == code)
            return &route;
    return nullptr;
}

NTSTATUS DaDevice::OnDeviceControl(PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    const ULONG input = stack->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG output = stack->Parameters.DeviceIoControl.OutputBufferLength;

    const ULONG needed = code == IOCTL_HXDA_CONFIG ? kBlockSize : kRecordSize;
    if (input < needed) {
        MQ5120K_TRACE("request 0x%08X refused: input of %u bytes, %u needed", code, input, needed);
        return CompleteRequest(irp, STATUS_BUFFER_TOO_SMALL);
    }
    const Route* route = FindRoute(code);
    if (route == nullptr) {
        MQ5120K_TRACE("request 0x%08X refused: unknown code", code);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
    }
    // An answer longer than the caller's buffer would be written past it.
    if (output < route->information) {
        MQ5120K_TRACE("request 0x%08X refused: output of %u bytes, %u needed", code, output,
                      route->information);
        return CompleteRequest(irp, STATUS_BUFFER_TOO_SMALL);
    }
    if (irp->AssociatedIrp.SystemBuffer == nullptr) {
        MQ5120K_TRACE("request 0x%08X refused: no buffer", code);
        return CompleteRequest(irp, STATUS_INVALID_PARAMETER);
    }

    DaSubsystem* object = BoundTo(stack->FileObject);
    switch (route->target) {
        case Target::Reserved: {
            DaRequest request(irp, 0);
            ReservedRequest(request);
            return CompleteRequest(irp, STATUS_SUCCESS, 0);
        }
        case Target::Board: {
            DaRequest request(irp, 0);
            WriteStatus(irp, (this->*route->boardOp)(request));
            return CompleteRequest(irp, STATUS_SUCCESS, route->information);
        }
        case Target::WaitEvent: {
            if (object == nullptr)
                return CompleteRequest(irp, STATUS_SUCCESS, 0);
            const NTSTATUS status = object->WaitForEvent(irp);
            if (status == STATUS_PENDING)
                return status;
            return CompleteRequest(irp, status, 0);
        }
        default:
            break;
    }
    if (object == nullptr) {
        WriteStatus(irp, HXSUBSYSNOTINUSE);
        return CompleteRequest(irp, STATUS_SUCCESS, route->information);
    }
    return SubsystemRequest(irp, *route, object);
}

NTSTATUS DaDevice::SubsystemRequest(PIRP irp, const Route& route, DaSubsystem* object) {
    ULONG entries = 0;
    if (route.target == Target::Configure) {
        // The operation copies list entries for the count in the block: the input must hold them
        // all, and the count must fit the subsystem's list.
        const ULONG capacity = object->ListCapacity();
        if (capacity > 0) {
            const auto& block =
                *static_cast<const hxda::ConfigurationBlock*>(irp->AssociatedIrp.SystemBuffer);
            const ULONG count = block.channelListSize;
            const ULONG input =
                IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.InputBufferLength;
            if (count > capacity ||
                input < hxda::kListEntriesOffset + hxda::kListEntrySize * count) {
                MQ5120K_TRACE(
                    "configure of subsystem %u.%u refused: list of %u entries, %u "
                    "bytes of input, at most %u entries",
                    object->Type(), object->Element(), count, input, capacity);
                WriteStatus(irp, HXINVALIDLISTSIZE);
                return CompleteRequest(irp, STATUS_SUCCESS, route.information);
            }
            entries = count;
        }
    }
    DaRequest request(irp, entries);
    const hxda::ApiStatus status = (object->*route.subsystemOp)(request);
    if (request.Pended())
        return STATUS_PENDING;
    WriteStatus(irp, status);
    ULONG_PTR information = route.information;
    if (route.target == Target::Flush)
        information = std::min<ULONG_PTR>(request.Information(), request.OutputLength());
    return CompleteRequest(irp, STATUS_SUCCESS, information);
}

}  // namespace dalayer
