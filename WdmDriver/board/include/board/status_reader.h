// `StatusReader`: keeps three 4-byte reads outstanding on the board's status pipe (0x86) and hands
// each completed message to a StatusRoute. A read that completes with a message is replaced by a
// new one; a failed read is not. "Device gone" (data error, not connected, or a stall) tells the
// route of the removal once; a transaction error asks the route for a recovery.
//
// Start tops the reads up to three and never posts more. Stop aborts the pipe and waits until every
// read has come back, so that nothing of the reader is touched after it returns.
//
// With an owner (SetOwner) the owner counts the reads instead: PostOne posts a single read, and a
// returned read is not replaced by the reader but reported to the owner, which posts its successor.
#pragma once

#include "board/status_route.h"
#include "framework/kernel_sync.h"
#include "framework/spin_lock.h"
#include "framework/usb_target.h"

namespace board {

class StatusReader {
  public:
    static constexpr LONG kReads = 3;

    StatusReader(wdm::UsbTarget& target, const wdm::UsbPipe& pipe);
    // The reads must have come back (Stop) before the reader goes.
    ~StatusReader() = default;
    StatusReader(const StatusReader&) = delete;
    StatusReader& operator=(const StatusReader&) = delete;

    // Where messages go; set before Start, kept until the next Stop.
    void SetRoute(StatusRoute* route) { route_ = route; }
    // returned(context, postAnother) runs once for every read PostOne posted, after its message
    // was routed and before Stop can return; postAnother: the read succeeded and no Stop runs.
    using ReturnedFn = void (*)(void* context, bool postAnother);
    void SetOwner(ReturnedFn returned, void* context) {
        returned_ = returned;
        owner_ = context;
    }
    // Posts one read (owner mode). A failure posted nothing and reports nothing.
    NTSTATUS PostOne();

    // Posts reads until three are outstanding. STATUS_DEVICE_NOT_CONNECTED when the pipe is not
    // bound, else the status of the last post.
    NTSTATUS Start();
    // Aborts the pipe and waits (at most timeoutMs; 0 without limit) for the outstanding reads.
    // STATUS_IO_TIMEOUT when some did not come back.
    NTSTATUS Stop(ULONG timeoutMs = 0);
    LONG Outstanding();
    // Whether the removal was reported since the last Stop.
    bool RemovalReported();

  private:
    struct Read;
    static void Completed(PDEVICE_OBJECT device, PIRP irp, PVOID context);
    NTSTATUS Post();
    void Finished(Read* read, NTSTATUS status, USBD_STATUS usbd);
    // Counts a read out.
    void Retire();

    wdm::UsbTarget& target_;
    const wdm::UsbPipe& pipe_;
    StatusRoute* route_ = nullptr;
    ReturnedFn returned_ = nullptr;
    void* owner_ = nullptr;
    wdm::SpinLock lock_;
    LONG outstanding_ = 0;
    bool stopping_ = false;
    bool removalReported_ = false;
    wdm::KernelEvent idle_{NotificationEvent, true};
};

}  // namespace board
