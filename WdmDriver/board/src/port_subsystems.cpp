#include "board/port_subsystems.h"

#include "board/board_device.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr USHORT kInterruptOn = 1;
constexpr USHORT kInterruptOff = 0;
constexpr ULONG kPortBits = 0xFF;
constexpr ULONG kChangedShift = 8;

}  // namespace

// ---- Digital input
// -------------------------------------------------------------------------------

DinSubsystem::DinSubsystem(BoardDevice* board, ULONG element)
    : DaSubsystem(board, HXSS_DIN, element), board_(board), events_(board) {}

hxda::ApiStatus DinSubsystem::Start(dalayer::DaRequest&) {
    CommandChannel& commands = board_->Commands();
    USHORT mask = 0;
    USHORT port = 0;
    NTSTATUS status = commands.ReadRegister(kRegDinChangeMask, &mask);
    if (NT_SUCCESS(status))
        status = commands.ReadRegister(kRegDinPort, &port);
    if (NT_SUCCESS(status)) {
        wdm::SpinLockHold hold(lock_);
        mask_ = mask;
        previous_ = port;
    }
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(kRegDinInterruptEnable, kInterruptOn);
    if (!NT_SUCCESS(status))
        MQ5120K_TRACE("DIN start failed: 0x%08X", static_cast<ULONG>(status));
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus DinSubsystem::Stop(dalayer::DaRequest& request) {
    return Abort(request);
}

hxda::ApiStatus DinSubsystem::Abort(dalayer::DaRequest&) {
    return dalayer::TransactionStatus(
        board_->Commands().WriteRegister(kRegDinInterruptEnable, kInterruptOff));
}

hxda::ApiStatus DinSubsystem::GetSingleValue(dalayer::DaRequest& request) {
    USHORT port = 0;
    const NTSTATUS status = board_->Commands().ReadRegister(kRegDinPort, &port);
    if (NT_SUCCESS(status))
        request.Record().parameters.singleValue.value = port;
    return dalayer::TransactionStatus(status);
}

void DinSubsystem::PostEvent(dalayer::SubsystemEvent event, ULONG data) {
    if (event == dalayer::SubsystemEvent::kEventValue) {
        const USHORT value = static_cast<USHORT>(data & kPortBits);
        {
            wdm::SpinLockHold hold(lock_);
            data = value | (((value ^ previous_) & mask_ & kPortBits) << kChangedShift);
            previous_ = value;
        }
    }
    events_.Post(event, data);
}

// ---- Digital output
// ------------------------------------------------------------------------------

DoutSubsystem::DoutSubsystem(BoardDevice* board, ULONG element)
    : DaSubsystem(board, HXSS_DOUT, element), board_(board), events_(board) {}

hxda::ApiStatus DoutSubsystem::SetSingleValue(dalayer::DaRequest& request) {
    const ULONG value = request.Record().parameters.singleValue.value;
    CommandChannel& commands = board_->Commands();
    NTSTATUS status;
    {
        wdm::MutexHold control(board_->ControlMutex());
        const auto shadow = static_cast<USHORT>(board_->ControlShadow() & ~kControlDaDrivesDout);
        status = commands.WriteRegister(kRegBoardControl, shadow);
        if (NT_SUCCESS(status))
            board_->ControlShadow() = shadow;
    }
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(kRegDoutPort, static_cast<USHORT>(value));
    return dalayer::TransactionStatus(status);
}

}  // namespace board
