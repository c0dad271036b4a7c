// The D/A object's requests: configure, single values, start, stop, abort and reset.
#include "board/analog_out_subsystem.h"
#include "board/board_device.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr double kBaseClock = kBaseClockHz;

double Value(const hxda::FixedPoint& f) {
    return static_cast<double>(f.integer) + static_cast<double>(f.fraction) / hxda::kFixedPointUnit;
}

// trunc(18 MHz / f), the frequency produced written back; an API status.
hxda::ApiStatus Divider(hxda::FixedPoint& frequency, ULONG* divider) {
    const double f = Value(frequency);
    if (!(f > 0.0))
        return HXINVALIDFREQUENCY;
    if (f > kBaseClock)
        return HXINVALIDCLOCKSOURCE;
    *divider = static_cast<ULONG>(kBaseClock / f);
    frequency = hxda::encodeFixedPoint(kBaseClock / *divider);
    return HXNOERROR;
}

bool IsExternalTrigger(USHORT trigger) {
    return trigger == HXTRIG_EXTERNAL || trigger == HXTRIG_EXTRA || trigger == HXTRIG_THRESHOLDPOS;
}

}  // namespace

// ---- Configuration and single values ------------------------------------------------------------

hxda::ApiStatus AnalogOutSubsystem::Configure(dalayer::DaRequest& request) {
    hxda::ConfigurationBlock& block = request.Block();
    if (State() != kIdle)
        return HXSUBSYSRUNNING;
    const USHORT trigger = block.triggerSource;
    if (trigger != HXTRIG_SOFTWARE && !IsExternalTrigger(trigger)) {
        MQ5120K_TRACE("D/A %u configure refused: trigger %u", Element(), trigger);
        return HXINVALIDTRIGGER;
    }
    const bool singleValue = block.dataFlow == HXDF_SINGLEVALUE;
    // A single-value configuration runs the outputs' clock at a fixed rate.
    hxda::FixedPoint clock =
        singleValue ? hxda::encodeFixedPoint(kDaSingleValueClockHz) : block.clockFrequency;
    ULONG divider = 0;
    if (const hxda::ApiStatus refused = Divider(clock, &divider); refused != HXNOERROR) {
        MQ5120K_TRACE("D/A %u configure refused with %u: clock of %u Hz", Element(), refused.code(),
                      static_cast<ULONG>(block.clockFrequency.integer));
        return refused;
    }
    // A channel past the digital output port would set other control bits.
    USHORT channels = 0;
    for (ULONG i = 0; i < request.ListEntries(); ++i) {
        const ULONG channel = hxda::listEntry(&block, i)->channel;
        if (channel > kDaDoutChannel) {
            MQ5120K_TRACE("D/A %u configure refused: list entry %u names channel %u", Element(), i,
                          channel);
            return HXINVALIDCHANNEL;
        }
        channels |= channel == kDaDoutChannel ? kControlDaDrivesDout : ControlDaChannel(channel);
    }
    if (!singleValue)
        block.clockFrequency = clock;
    {
        wdm::SpinLockHold hold(lock_);
        wrapMode_ = block.wrapMode;
        softwareTrigger_ = trigger == HXTRIG_SOFTWARE;
    }
    // The byte output has nothing to program.
    if (!Streams())
        return HXNOERROR;

    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegStrobes, 0, kStrobeDaSequence);
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    wdm::MutexHold control(board_->ControlMutex());
    USHORT shadow = board_->ControlShadow();
    shadow &= static_cast<USHORT>(~(kControlDaChannels | kControlDaDrivesDout | kControlDaEnabled |
                                    kControlDaStreamSettings));
    if (channels != 0)
        shadow |= channels | kControlDaEnabled;
    if (!singleValue) {
        if (block.clockSource != HXCLK_INTERNAL)
            shadow |= kControlDaExternalClock;
        if (IsExternalTrigger(trigger))
            shadow |= kControlDaExternalTrigger | kControlDaClockedTrigger;
        if (trigger == HXTRIG_THRESHOLDPOS)
            shadow |= kControlDaThresholdTrigger;
    }
    const RegisterPair program[] = {
        {kRegBoardControl, shadow},
        {kRegDaDividerLow, static_cast<USHORT>(divider)},
        {kRegDaDividerHigh, static_cast<USHORT>(divider >> 16)},
        {kRegDaControl, kDaControlClear},
        {kRegDaControl, kDaControlIdle},
    };
    status = commands.WriteList(program, std::size(program));
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    board_->ControlShadow() = shadow;
    return HXNOERROR;
}

hxda::ApiStatus AnalogOutSubsystem::SetSingleValue(dalayer::DaRequest& request) {
    const hxda::SingleValueParameters& single = request.Record().parameters.singleValue;
    NTSTATUS status;
    if (Element() != 0 || board_->NoAnalogOutput()) {
        if (single.value > kByteOutputMax)
            return HXINVALIDRANGE;
        status = board_->Commands().DaSingleOther(static_cast<USHORT>(single.value));
    } else {
        if (single.channel >= kDaChannels)
            return HXINVALIDCHANNEL;
        status = board_->Commands().DaSingle(static_cast<USHORT>(single.value),
                                             static_cast<USHORT>(single.channel));
    }
    return dalayer::TransactionStatus(status);
}

// ---- Start, stop, abort, reset -----------------------------------------------------------------

hxda::ApiStatus AnalogOutSubsystem::PreStart(dalayer::DaRequest&) {
    if (!Streams())
        return HXNOTSUPPORTED;
    wdm::SpinLockHold hold(lock_);
    aborted_ = false;
    underrunTold_ = false;
    return HXNOERROR;
}

NTSTATUS AnalogOutSubsystem::StartSequence() {
    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegStartStrobes, kRunDa, kRunDa);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStartStrobes, 0, kRunDa);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegRunEnables, kRunDa, kRunDa);
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStrobes, 0, kStrobeDaSequence);
    // The go strobe last: the board starts with it.
    for (USHORT bit : {kStrobeDaLoad, kStrobeDaArm, kStrobeDaGo})
        if (NT_SUCCESS(status))
            status = commands.WriteMasked(kRegStrobes, bit, bit);
    if (!NT_SUCCESS(status))
        MQ5120K_TRACE("D/A start sequence failed: 0x%08X", static_cast<ULONG>(status));
    return status;
}

hxda::ApiStatus AnalogOutSubsystem::SimultaneousStart(dalayer::DaRequest&) {
    if (!Streams())
        return HXNOTSUPPORTED;
    wdm::MutexHold serial(workMutex_);
    if (MoveState(kFirstWrite, kStartPending))
        return HXNOERROR;  // the board starts when it is ready
    if (State() != kReady)
        return HXNOERROR;
    const NTSTATUS status = StartSequence();
    if (NT_SUCCESS(status))
        MoveState(kReady, kRunning);
    return dalayer::TransactionStatus(status);
}

hxda::ApiStatus AnalogOutSubsystem::Start(dalayer::DaRequest& request) {
    if (const hxda::ApiStatus refused = PreStart(request); refused != HXNOERROR)
        return refused;
    return SimultaneousStart(request);
}

hxda::ApiStatus AnalogOutSubsystem::Stop(dalayer::DaRequest& request) {
    const DaState state = State();
    if (state == kIdle || !Streams())
        return HXNOERROR;
    // Nothing has started, or the board repeats one buffer: the stop ends it now.
    if (SingleBufferInBoard() || state == kFirstWrite || state == kReady || state == kStartPending)
        return Abort(request);
    if (MoveState(kRunning, kStopRequested) && WritesIdle())
        MoveState(kStopRequested, kStopDone);  // every write is in the board already
    if (board_->Options().delayedStopCompletion) {
        const DaState now = State();
        if (now == kStopRequested || now == kStopHeld)
            Hold(request);
    }
    return HXNOERROR;
}

hxda::ApiStatus AnalogOutSubsystem::Abort(dalayer::DaRequest&) {
    if (!Streams())
        return HXNOERROR;
    const DaState state = State();
    if (state == kIdle || state > kStopRequested) {
        stream_.Stop();
        return HXNOERROR;
    }
    AbortBoard();
    return HXNOERROR;
}

void AnalogOutSubsystem::AbortBoard() {
    bool single;
    {
        wdm::SpinLockHold hold(lock_);
        aborted_ = true;
        single = singleBuffer_;
    }
    SetState(kAborting);
    CommandChannel& commands = board_->Commands();
    commands.DaAbort(true);
    const bool idle = WritesIdle();
    commands.DaAbort(true);
    stream_.Stop();
    // A repeated buffer has gone out long ago: nothing else ends it.
    if (single)
        writes_.CancelCurrent();
    if (idle) {
        // Nothing will come back to ask for the stop work: it runs now.
        wdm::MutexHold serial(workMutex_);
        StopWork();
    }
}

hxda::ApiStatus AnalogOutSubsystem::Reset(dalayer::DaRequest&) {
    const NTSTATUS status = board_->Usb().ResetPipe(board_->DaPipe());
    if (State() != kDestroyed)
        SetState(kIdle);
    return dalayer::TransactionStatus(status);
}

}  // namespace board
