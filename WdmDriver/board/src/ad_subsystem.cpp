// The A/D object's requests: configure, single values, start, stop, abort, reset and its events.
#include "board/ad_subsystem.h"

#include "board/board_device.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr ULONG kSingleValueTransfer = 1024;

}  // namespace

AdSubsystem::AdSubsystem(BoardDevice* board, ULONG element)
    : DaSubsystem(board, HXSS_AD, element),
      board_(board),
      stream_(this, &board->Usb(), &board->AdPipe()),
      reads_(board, this),
      events_(board),
      held_(board) {
    NTSTATUS status = stream_.Create();
    stopItem_ = IoAllocateWorkItem(board->DeviceObject());
    recoveryItem_ = IoAllocateWorkItem(board->DeviceObject());
    if (NT_SUCCESS(status) && (stopItem_ == nullptr || recoveryItem_ == nullptr))
        status = STATUS_INSUFFICIENT_RESOURCES;
    SetError(status);
}

AdSubsystem::~AdSubsystem() {
    if (stopItem_ != nullptr)
        IoFreeWorkItem(stopItem_);
    if (recoveryItem_ != nullptr)
        IoFreeWorkItem(recoveryItem_);
}

void AdSubsystem::Destroy() {
    // A running board stops first (unless a stop is under way already); then nothing of this
    // object may still run.
    bool stop;
    {
        wdm::SpinLockHold hold(lock_);
        stop = state_ != kIdle && !stopRunning_;
    }
    if (stop)
        StopBoard();
    {
        wdm::SpinLockHold hold(lock_);
        state_ = kDestroyed;
        if (pollArmed_ && timer_.Cancel())
            pollArmed_ = false;
    }
    // A poll that had started when the timer was cancelled ends without setting it again, and a
    // work routine queued or running (a stop under way among them) ends without queueing more.
    wdm::KernelEvent pause{NotificationEvent, false};
    for (;;) {
        {
            wdm::SpinLockHold hold(lock_);
            if (!pollArmed_ && worksOut_ == 0)
                break;
        }
        pause.Wait(-wdm::kMillisecond100ns);
    }
    stream_.Destroy();
    DaSubsystem::Destroy();
}

AdState AdSubsystem::State() {
    wdm::SpinLockHold hold(lock_);
    return state_;
}

wdm::TransferState AdSubsystem::StreamState() {
    switch (State()) {
        case kIdle:
            return wdm::kStreamStateIdle;
        case kArmed:
            return wdm::kStreamStateArmed;
        case kRunning:
            return wdm::kStreamStateRunningLast;
        case kDestroyed:
            return wdm::kStreamStateDestroyed;
        default:
            return wdm::kOutStateStopping;
    }
}

bool AdSubsystem::Query() {
    const AdState state = State();
    return state != kIdle && state != kDestroyed;
}

// ---- Configuration and single values ------------------------------------------------------------

hxda::ApiStatus AdSubsystem::Configure(dalayer::DaRequest& request) {
    hxda::ConfigurationBlock& block = request.Block();
    AdProgram::Registers r;
    if (const hxda::ApiStatus refused = AdProgram::Prepare(block, AnalogInputs(board_->BoardType()),
                                                           board_->EnableShadow(), &r);
        refused != HXNOERROR) {
        MQ5120K_TRACE(
            "A/D configure refused with %u: flow %u, channels %u, trigger %u, "
            "retrigger %u/%u, clock %u",
            refused.code(), block.dataFlow, block.numberOfChannels, block.triggerSource,
            block.retriggerMode, block.retriggerSource, block.clockSource);
        return refused;
    }

    CommandChannel& commands = board_->Commands();
    NTSTATUS status;
    if (block.channelType == HXCHANTYPE_DIFFERENTIAL) {
        UCHAR setting = 0;
        status = commands.ReadTermination(&setting);
        if (NT_SUCCESS(status))
            status = commands.ApplyTermination(setting);
    } else {
        status = commands.ApplyTermination(kTerminationOff);
    }
    if (!NT_SUCCESS(status)) {
        MQ5120K_TRACE("A/D configure: termination not applied: 0x%08X", static_cast<ULONG>(status));
        return HXGENERALFAILURE;
    }

    const auto low = [](ULONG v) { return static_cast<USHORT>(v); };
    const auto high = [](ULONG v) { return static_cast<USHORT>(v >> 16); };
    if (r.singleValue) {
        const RegisterPair program[] = {
            {kRegAdControl, r.control},
            {kRegTransferLogic2, kTransferLogicSetup},
            {kRegTransferLogic1, kTransferLogicClear},
            {kRegTransferLogic1, kTransferLogicIdle},
            {kRegAdDividerHigh, high(r.divider)},
            {kRegAdDividerLow, low(r.divider)},
        };
        status = commands.SetAdTransferSize(kSingleValueTransfer);
        if (NT_SUCCESS(status))
            status = commands.WriteList(program, std::size(program));
        if (NT_SUCCESS(status))
            status = commands.WriteMasked(kRegStrobes, kStrobeListReset, kStrobeListReset);
        if (NT_SUCCESS(status))
            status = commands.WriteMasked(kRegStrobes, 0, kStrobeListReset);
        if (NT_SUCCESS(status))
            status = commands.WriteRegister(kRegListAddress, 0);
        if (NT_SUCCESS(status))
            status = commands.WriteMasked(kRegStrobes, kStrobeListDone, kStrobeListDone);
        if (NT_SUCCESS(status))
            status = commands.WriteMasked(kRegStrobes, 0, kStrobeListDone);
    } else {
        const RegisterPair program[] = {
            {kRegAdControl, r.control},
            {kRegTransferLogic2, kTransferLogicSetup},
            {kRegTransferLogic1, kTransferLogicClear},
            {kRegTransferLogic1, kTransferLogicIdle},
            {kRegEnable, r.enable},
            {kRegAdDividerHigh, high(r.divider)},
            {kRegAdDividerLow, low(r.divider)},
            {kRegRetriggerHigh, high(r.retrigger)},
            {kRegRetriggerLow, low(r.retrigger)},
            {kRegScan, 0},
        };
        status = commands.WriteList(program, std::size(program));
        if (NT_SUCCESS(status))
            board_->EnableShadow() = r.enable;
    }
    if (!NT_SUCCESS(status)) {
        MQ5120K_TRACE("A/D configure: program not written: 0x%08X", static_cast<ULONG>(status));
        return HXGENERALFAILURE;
    }
    board_->AdControlShadow() = r.control;
    program_.Take(block, request.ListEntries());
    return HXNOERROR;
}

hxda::ApiStatus AdSubsystem::GetSingleValue(dalayer::DaRequest& request) {
    hxda::SingleValueParameters& single = request.Record().parameters.singleValue;
    if (single.channel >= program_.analogChannels)
        return HXINVALIDCHANNEL;
    if (single.autoRange != 0)
        return HXNOTSUPPORTED;
    const int gain = GainCode(single.gain);
    if (gain < 0)
        return HXINVALIDGAIN;
    USHORT code = 0;
    const NTSTATUS status = board_->Commands().ReadAdSingle(
        static_cast<UCHAR>(single.channel | (gain << kListGainShift)), static_cast<UCHAR>(gain),
        &code);
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    single.value = code;
    return HXNOERROR;
}

// ---- Start, stop, abort
// ---------------------------------------------------------------------------

hxda::ApiStatus AdSubsystem::LoadList() {
    CommandChannel& commands = board_->Commands();
    USHORT words[kAdListCapacity];
    for (ULONG i = 0; i < program_.listCount; ++i)
        if (!program_.ListWord(i, &words[i])) {
            MQ5120K_TRACE("A/D list entry %u (channel %u) refused of %u channels", i,
                          program_.list[i].channel, program_.channels);
            return HXINVALIDLISTENTRY;
        }
    NTSTATUS status = commands.WriteMasked(kRegStrobes, kStrobeListReset, kStrobeListReset);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStrobes, 0, kStrobeListReset);
    RegisterPair pairs[kMaxListPairs];
    for (ULONG done = 0; NT_SUCCESS(status) && done < program_.listCount;) {
        ULONG n = 0;
        for (; n < kMaxListPairs && done + n < program_.listCount; ++n)
            pairs[n] = {kRegListAddress, words[done + n]};
        status = commands.WriteList(pairs, n);
        done += n;
    }
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStrobes, kStrobeListDone, kStrobeListDone);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStrobes, 0, kStrobeListDone);
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus AdSubsystem::PreStart(dalayer::DaRequest&) {
    // A stop under way ends first; a board that runs is not started again.
    wdm::MutexHold serial(stopMutex_);
    if (const AdState state = State(); state != kIdle && state != kArmed)
        return HXSUBSYSRUNNING;
    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegStartStrobes, kRunAd, kRunAd);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStartStrobes, 0, kRunAd);
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    ULONG transfer;
    {
        wdm::SpinLockHold hold(lock_);
        transfer = length_ / kAdTransferUnit * kAdTransferUnit;
    }
    transfer = transfer < kAdTransferUnit  ? kAdTransferUnit
               : transfer > kAdTransferMax ? kAdTransferMax
                                           : transfer;
    // The list goes to the board before the stream runs: a list it cannot take starts nothing.
    if (const hxda::ApiStatus refused = LoadList(); refused != HXNOERROR)
        return refused;
    return dalayer::TransactionStatus(stream_.Start(transfer));
}

hxda::ApiStatus AdSubsystem::SimultaneousStart(dalayer::DaRequest&) {
    wdm::MutexHold serial(stopMutex_);
    {
        wdm::SpinLockHold hold(lock_);
        if (state_ != kIdle && state_ != kArmed)
            return HXSUBSYSRUNNING;
        state_ = current_ != nullptr ? kRunning : kNoRead;
        overrunReported_ = false;
        idleTicks_ = 0;
    }
    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegStartStrobes, kRunAd, kRunAd);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStartStrobes, 0, kRunAd);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegRunEnables, kRunAd, kRunAd);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStrobes, kStrobeAdRun, kStrobeAdRun);
    if (NT_SUCCESS(status))
        status = commands.AdStart(false, program_.softwareTrigger);
    if (!NT_SUCCESS(status)) {
        MQ5120K_TRACE("A/D start failed: 0x%08X", static_cast<ULONG>(status));
        StopBoard();
        return HXGENERALFAILURE;
    }
    ArmPoll();
    return HXNOERROR;
}

hxda::ApiStatus AdSubsystem::Start(dalayer::DaRequest& request) {
    wdm::MutexHold serial(stopMutex_);
    {
        wdm::SpinLockHold hold(lock_);
        idleTicks_ = 0;
    }
    if (const hxda::ApiStatus refused = PreStart(request); refused != HXNOERROR)
        return refused;
    return SimultaneousStart(request);
}

hxda::ApiStatus AdSubsystem::Stop(dalayer::DaRequest& request) {
    enum class Then { kAnswer, kStopNow, kHold };
    Then then = Then::kAnswer;
    bool queue = false;
    {
        wdm::SpinLockHold hold(lock_);
        switch (state_) {
            case kIdle:
            case kDestroyed:
                break;
            case kArmed:
                // Not started: nothing will fill the reads, so the board stops now.
                then = Then::kStopNow;
                break;
            case kAbortRequested:
            case kStopping:
                then = Then::kHold;
                queue = state_ == kAbortRequested && !pollArmed_;
                break;
            default:
                state_ = kStopRequested;
                // Without a read in process, or without a poll to fill it (the stream failed),
                // the board stops without waiting for data: the request waits for that.
                if (current_ == nullptr || !pollArmed_)
                    then = Then::kHold;
                queue = !pollArmed_;
                break;
        }
    }
    if (queue)
        QueueStopWork();
    if (then == Then::kStopNow)
        StopBoard();
    else if (then == Then::kHold)
        Hold(request);
    return HXNOERROR;
}

hxda::ApiStatus AdSubsystem::Abort(dalayer::DaRequest& request) {
    bool now = false;
    bool queue = false;
    bool hold = false;
    {
        wdm::SpinLockHold lock(lock_);
        switch (state_) {
            case kIdle:
            case kDestroyed:
                break;
            case kNoRead:
            case kArmed:
                now = true;
                break;
            case kStopping:
                hold = true;
                break;
            default:
                // The next poll stops the board; without a poll (the stream failed) the stop
                // work is asked for here.
                state_ = kAbortRequested;
                hold = true;
                queue = !pollArmed_;
                break;
        }
    }
    if (queue)
        QueueStopWork();
    if (now)
        StopBoard();
    else if (hold)
        Hold(request);
    return HXNOERROR;
}

hxda::ApiStatus AdSubsystem::Reset(dalayer::DaRequest&) {
    return dalayer::TransactionStatus(board_->Usb().ResetPipe(board_->AdPipe()));
}

// ---- Events
// ---------------------------------------------------------------------------------------

void AdSubsystem::PostOverrunOnce() {
    {
        wdm::SpinLockHold hold(lock_);
        if (overrunReported_ || state_ == kIdle || state_ == kStopping || state_ == kDestroyed)
            return;
        overrunReported_ = true;
    }
    events_.Post(dalayer::SubsystemEvent::kOverrun, 0);
}

void AdSubsystem::PostEvent(dalayer::SubsystemEvent event, ULONG data) {
    switch (event) {
        case dalayer::SubsystemEvent::kOverrun:
            PostOverrunOnce();
            break;
        case dalayer::SubsystemEvent::kDeviceRemoved: {
            // The pipes' failures and the removal itself each say so: the program hears it once.
            // Every read comes back: the stop work ends those it holds, and later ones are
            // refused, so that none is left waiting on a board that is gone. The stop work
            // reports the removal after the reads, so that a program that takes the removal as
            // the end of the transfer has every buffer back by then.
            bool first;
            {
                wdm::SpinLockHold hold(lock_);
                first = !removed_;
                removed_ = true;
                removalToReport_ = removalToReport_ || first;
            }
            if (first)
                MQ5120K_TRACE("A/D %u: board removed in state %d", Element(),
                              static_cast<int>(State()));
            if (!QueueStopWork()) {
                // A stop asked already reports it; a subsystem being destroyed reports it now.
                bool destroyed;
                {
                    wdm::SpinLockHold hold(lock_);
                    destroyed = state_ == kDestroyed;
                }
                if (destroyed)
                    ReportRemoval();
            }
            break;
        }
        case dalayer::SubsystemEvent::kStreamRecovery:
            MQ5120K_TRACE("A/D %u: transaction error on pipe 0x%02X, recovering the pipes",
                          Element(), kEndpointAd);
            QueueRecovery();
            break;
        default:
            events_.Post(event, data);
            break;
    }
}

void AdSubsystem::CancelAll(PFILE_OBJECT file) {
    // The file goes: its waiting requests come back first, so that none waits for a board that
    // is slow to stop; then the board stops and the read in process comes back.
    held_.CancelAll(file);
    events_.CancelAll(file);
    reads_.CancelAll(file);
    if (Query())
        StopBoard();
}

}  // namespace board
