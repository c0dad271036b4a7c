// `TransferSet`: the reusable bulk transfers of a streaming object (the request packet, URB and
// buffer of each transfer record) and the bookkeeping that makes reusing and freeing them safe.
//
// A record is busy from the moment it is taken for posting until its completion routine has
// finished with it for good (it is not posted again); a cancel pass is busy while it runs, and a
// derived class may count work items of its own. The set's idle event is signalled whenever none
// of these is outstanding, and WaitIdle waits for it at PASSIVE_LEVEL: Destroy does so before it
// frees anything, so no completion runs on freed memory, whether the bus completes the transfers
// late, on cancel, or at removal.
//
// Only records that are not busy are taken for a new post, so a packet the bus still owns is
// never re-initialised. Cancel marks the set stopping (nothing is posted from then on until
// Restart) and cancels what is posted without waiting.
#pragma once

#include "framework/kernel_sync.h"
#include "framework/locked_list.h"
#include "framework/usb_target.h"

namespace wdm {

class TransferSet;

struct TransferRecord {
    LIST_ENTRY link;  // in the posted list while the bus has the request
    PIRP irp;         // one location of our own above the device below
    URB urb;
    UCHAR* buffer;
    ULONG bufferLength;
    TransferSet* set;
    bool busy;
    bool posted;
    LONG cancelRefs;  // cancel passes that may still call IoCancelIrp on this request
    // The derived class's own: the write a transfer belongs to, and the chunk it carries.
    ULONG tag;
    const UCHAR* chunk;
    ULONG chunkLength;
};

class TransferSet {
  public:
    static constexpr ULONG kMaxTransfers = 16;

    TransferSet(const TransferSet&) = delete;
    TransferSet& operator=(const TransferSet&) = delete;

    ULONG Count() const { return count_; }
    // Requests the bus holds now.
    ULONG Posted();
    // Cancels the posted transfers without waiting for them; nothing is posted until Restart.
    void Cancel();
    // Waits at PASSIVE_LEVEL until nothing is outstanding; timeout in 100 ns units (negative:
    // relative), null for no limit. STATUS_SUCCESS or STATUS_TIMEOUT.
    NTSTATUS WaitIdle(const LONGLONG* timeout = nullptr);

  protected:
    TransferSet(UsbTarget* target, UsbPipe* pipe) : target_(target), pipe_(pipe) {}
    ~TransferSet();  // frees what FreeRecords has not

    // Makes `count` records (at most kMaxTransfers) with buffers of bufferLength bytes.
    // STATUS_INSUFFICIENT_RESOURCES leaves the records made so far.
    NTSTATUS CreateRecords(ULONG count, ULONG bufferLength);
    // Waits until idle, then frees every record.
    void FreeRecords();
    TransferRecord* Record(ULONG index) const { return records_[index]; }

    // Allows posting again after Cancel.
    void Restart();
    // Takes a record that is not busy for posting; false when it is busy or being cancelled.
    bool Take(TransferRecord* record);
    // Posts a taken record whose URB the caller has built, with the set's completion routine.
    // When the set is stopping the record is released instead: STATUS_CANCELLED.
    NTSTATUS Post(TransferRecord* record);
    // A completion's first step: the record leaves the posted list. Returns the count of
    // transfers still posted.
    ULONG Leave(TransferRecord* record);
    // A completion's last step when its record is not posted again. Nothing of the set is touched
    // after its lock is released.
    void Release(TransferRecord* record);
    // Work of a derived class that must end before the set is idle (under lock_).
    void BeginUnitLocked();
    void FinishUnitLocked();

    // Busy records and running cancel passes, under lock_.
    ULONG OutstandingLocked() const { return busyRecords_ + cancelPasses_; }

    // The completion of one transfer, at DISPATCH_LEVEL; it must end with Post or Release.
    virtual void Completed(TransferRecord* record) = 0;
    // Called under lock_ when the last busy record is released.
    virtual void RecordsIdleLocked() {}
    // Called under lock_ when no record is busy and no cancel pass runs any more.
    virtual void TransfersIdleLocked() {}

    UsbTarget* target_;
    UsbPipe* pipe_;
    SpinLock lock_;  // the posted list, the counts, and the state of derived classes
    bool stopping_ = false;

  private:
    static NTSTATUS CompletionRoutine(PDEVICE_OBJECT device, PIRP irp, PVOID context);
    void RecordBusyLocked(TransferRecord* record);
    void RecordNotBusyLocked(TransferRecord* record);
    void UpdateIdleLocked();

    TransferRecord* records_[kMaxTransfers] = {};
    ULONG count_ = 0;
    UnlockedList posted_{0};
    ULONG busyRecords_ = 0;
    ULONG cancelPasses_ = 0;
    ULONG units_ = 0;
    KernelEvent idle_{NotificationEvent, true};
};

}  // namespace wdm
