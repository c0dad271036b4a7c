#include "board/counter_subsystem.h"

#include "board/board_device.h"
#include "dalayer/trace.h"
#include "hxda/request_codes.h"

namespace board {

namespace {

constexpr double kBaseClock = kBaseClockHz;
constexpr ULONGLONG kMaxPeriod = 0xFFFFFFFFull;
constexpr ULONGLONG kPercent = 100;
constexpr USHORT kMeasureEdgeBits = 0x3;

double Value(const hxda::FixedPoint& f) {
    return static_cast<double>(f.integer) + static_cast<double>(f.fraction) / hxda::kFixedPointUnit;
}

bool EdgeCode(USHORT edge, USHORT* code) {
    if (edge < HXEDGE_GATERISING || edge > HXEDGE_CLOCKFALLING)
        return false;
    *code = static_cast<USHORT>(edge - HXEDGE_GATERISING);
    return true;
}

// The period in clock ticks: 18 MHz / f on the internal clock, held to 32 bits; an API status.
hxda::ApiStatus InternalPeriod(const hxda::FixedPoint& frequency, ULONGLONG* period) {
    const double f = Value(frequency);
    if (!(f > 0.0) || f > kBaseClock)
        return HXINVALIDFREQUENCY;
    const double ticks = kBaseClock / f;
    *period = ticks >= static_cast<double>(kMaxPeriod) ? kMaxPeriod : static_cast<ULONGLONG>(ticks);
    return HXNOERROR;
}

}  // namespace

bool CounterGateBits(USHORT gate, USHORT* bits) {
    switch (gate) {
        case HXGATE_NONE:
            *bits = kCounterGateNone;
            return true;
        case HXGATE_HIGHLEVEL:
        case HXGATE_RISINGEDGE:
            *bits = kCounterGateHigh;
            return true;
        case HXGATE_LOWLEVEL:
        case HXGATE_FALLINGEDGE:
            *bits = kCounterGateLow;
            return true;
        default:
            return false;
    }
}

hxda::ApiStatus PrepareCounter(const hxda::ConfigurationBlock& block, CounterProgram* out) {
    const USHORT mode = block.counterMode;
    const USHORT gate = block.gateType;
    const bool oneShot = mode == HXCTMODE_ONESHOT || mode == HXCTMODE_REPEATONESHOT;
    // One-shots fire on gate edges; the other modes are gated by levels.
    if (oneShot ? (gate == HXGATE_HIGHLEVEL || gate == HXGATE_LOWLEVEL)
                : (gate == HXGATE_RISINGEDGE || gate == HXGATE_FALLINGEDGE))
        return HXINVALIDGATE;
    USHORT gateBits = 0;
    if (!CounterGateBits(gate, &gateBits))
        return HXINVALIDGATE;
    if ((mode == HXCTMODE_COUNTEVENTS || mode == HXCTMODE_UPDOWN) &&
        block.clockSource == HXCLK_INTERNAL)
        return HXINVALIDCLOCKSOURCE;
    if (block.pulseType != HXPULSE_ACTIVELOW && block.pulseType != HXPULSE_ACTIVEHIGH)
        return HXINVALIDPULSETYPE;

    // The modes that divide their clock need a period; the counting and measuring ones do not.
    const bool divides = oneShot || mode == HXCTMODE_RATE;
    ULONGLONG period = 0;
    USHORT word = 0;
    if (block.clockSource == HXCLK_INTERNAL) {
        if (const hxda::ApiStatus refused = InternalPeriod(block.clockFrequency, &period);
            divides && refused != HXNOERROR)
            return refused;
    } else if (block.clockSource == HXCLK_EXTERNAL) {
        period = block.externalClockDivider;
        if (divides && period == 0)
            return HXINVALIDDIVIDER;
        word |= kCounterExternalClock;
    } else {
        return HXINVALIDCLOCKSOURCE;
    }
    if (block.pulseType == HXPULSE_ACTIVEHIGH)
        word |= kCounterActiveHigh;
    // Both in 64 bits: d x width overflows 32 bits for a period above 42.9 million ticks.
    const ULONGLONG width = period * block.pulseWidth / kPercent;
    CounterProgram p;
    p.period = static_cast<ULONG>(1 - period);
    p.width = static_cast<ULONG>(0 - width);
    switch (mode) {
        case HXCTMODE_COUNTEVENTS:
            p.period = 0;
            p.width = kCounterCountingWidth;
            word |= kCounterRate;
            break;
        case HXCTMODE_RATE:
            word |= kCounterRate;
            break;
        case HXCTMODE_ONESHOT:
            break;
        case HXCTMODE_REPEATONESHOT:
            word |= kCounterRepeat;
            break;
        case HXCTMODE_UPDOWN:
            p.period = 0;
            p.width = kCounterMeasuringWidth;
            word = static_cast<USHORT>((word & kCounterUpDownKept) | kCounterUpDownPattern);
            break;
        case HXCTMODE_EDGETOEDGE: {
            USHORT start = 0;
            USHORT stop = 0;
            if (!EdgeCode(block.measureStartEdge, &start) ||
                !EdgeCode(block.measureStopEdge, &stop))
                return HXINVALIDEDGE;
            p.period = 0;
            p.width = kCounterMeasuringWidth;
            word |= static_cast<USHORT>(kCounterEdgePattern |
                                        ((start & kMeasureEdgeBits) << kCounterStartEdgeShift) |
                                        ((stop & kMeasureEdgeBits) << kCounterStopEdgeShift));
            break;
        }
        default:
            return HXINVALIDCOUNTERMODE;
    }
    p.mode = word;
    *out = p;
    return HXNOERROR;
}

CounterSubsystem::CounterSubsystem(BoardDevice* board, ULONG element)
    : DaSubsystem(board, HXSS_CT, element), board_(board), events_(board) {
    pollItem_ = IoAllocateWorkItem(board->DeviceObject());
    if (pollItem_ == nullptr)
        SetError(STATUS_INSUFFICIENT_RESOURCES);
}

CounterSubsystem::~CounterSubsystem() {
    if (pollItem_ != nullptr)
        IoFreeWorkItem(pollItem_);
}

void CounterSubsystem::Destroy() {
    if (ElementExists())
        StopCounter();
    {
        wdm::SpinLockHold hold(lock_);
        destroyed_ = true;
        measuring_ = false;
        if (timerArmed_ && timer_.Cancel())
            timerArmed_ = false;
        // The poll's work, queued or running, finishes the destruction when it ends.
        if (workQueued_) {
            destroyPending_ = true;
            return;
        }
    }
    FinishDestroy();
}

void CounterSubsystem::FinishDestroy() {
    // A timer routine that had started when the timer was cancelled ends without queueing work.
    wdm::KernelEvent pause{NotificationEvent, false};
    for (;;) {
        {
            wdm::SpinLockHold hold(lock_);
            if (!timerArmed_)
                break;
        }
        pause.Wait(-wdm::kMillisecond100ns);
    }
    DaSubsystem::Destroy();
}

hxda::ApiStatus CounterSubsystem::Configure(dalayer::DaRequest& request) {
    if (!ElementExists())
        return HXINVALIDELEMENT;
    const hxda::ConfigurationBlock& block = request.Block();
    CounterProgram p;
    if (const hxda::ApiStatus refused = PrepareCounter(block, &p); refused != HXNOERROR) {
        MQ5120K_TRACE("C/T %u configure refused with %u: mode %u, gate %u, clock %u, pulse %u",
                      Element(), refused.code(), block.counterMode, block.gateType,
                      block.clockSource, block.pulseType);
        return refused;
    }
    const ULONG c = Element();
    const RegisterPair registers[] = {
        {CounterModeRegister(c), p.mode},
        {CounterPeriodRegister(c), static_cast<USHORT>(p.period)},
        {static_cast<USHORT>(CounterPeriodRegister(c) + 1), static_cast<USHORT>(p.period >> 16)},
        {CounterWidthRegister(c), static_cast<USHORT>(p.width)},
        {static_cast<USHORT>(CounterWidthRegister(c) + 1), static_cast<USHORT>(p.width >> 16)},
    };
    NTSTATUS status = board_->Commands().WriteRegister(registers[0].reg, registers[0].value);
    if (NT_SUCCESS(status))
        status = board_->Commands().WriteList(registers + 1, std::size(registers) - 1);
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    wdm::SpinLockHold hold(lock_);
    program_ = p;
    counterMode_ = block.counterMode;
    gate_ = block.gateType;
    cascade_ = block.cascadeMode;
    return HXNOERROR;
}

hxda::ApiStatus CounterSubsystem::Start(dalayer::DaRequest&) {
    if (!ElementExists())
        return HXINVALIDELEMENT;
    CounterProgram p;
    USHORT mode;
    USHORT gate;
    {
        wdm::SpinLockHold hold(lock_);
        p = program_;
        mode = counterMode_;
        gate = gate_;
    }
    USHORT word = p.mode;
    if (mode == HXCTMODE_ONESHOT || mode == HXCTMODE_REPEATONESHOT)
        word |= kCounterArmed;
    if (mode == HXCTMODE_UPDOWN)
        word |= kCounterUpDownEnable;
    if (mode != HXCTMODE_EDGETOEDGE) {
        USHORT gateBits = 0;
        if (!CounterGateBits(gate, &gateBits))
            return HXINVALIDGATE;
        word |= gateBits;
    }
    const ULONG c = Element();
    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegRunEnables, CounterBit(c), CounterBit(c));
    // The strobe loads the counter on its rising edge: it is pulsed, so that every start loads.
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStartStrobes, CounterBit(c), CounterBit(c));
    if (NT_SUCCESS(status))
        status = commands.WriteMasked(kRegStartStrobes, 0, CounterBit(c));
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(CounterModeRegister(c), word);
    if (NT_SUCCESS(status) && mode == HXCTMODE_EDGETOEDGE) {
        word |= kCounterMeasure;
        status = commands.WriteRegister(CounterModeRegister(c), word);
    }
    if (!NT_SUCCESS(status)) {
        MQ5120K_TRACE("C/T %u start failed: 0x%08X", c, static_cast<ULONG>(status));
        return HXGENERALFAILURE;
    }
    {
        wdm::SpinLockHold hold(lock_);
        running_ = word;
    }
    if (mode == HXCTMODE_EDGETOEDGE) {
        {
            wdm::SpinLockHold hold(lock_);
            measuring_ = true;
        }
        ArmPoll();
    }
    return HXNOERROR;
}

NTSTATUS CounterSubsystem::StopCounter() {
    const ULONG c = Element();
    USHORT word;
    {
        wdm::SpinLockHold hold(lock_);
        measuring_ = false;
        if (timerArmed_ && timer_.Cancel())
            timerArmed_ = false;
        word = running_ != 0 ? running_ : program_.mode;
        running_ = 0;
    }
    CommandChannel& commands = board_->Commands();
    NTSTATUS status = commands.WriteMasked(kRegRunEnables, 0, CounterBit(c));
    word = static_cast<USHORT>(word & ~(kCounterArmed | kCounterMeasure));
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(CounterModeRegister(c), word);
    if (NT_SUCCESS(status))
        status = commands.WriteRegister(CounterModeRegister(c),
                                        static_cast<USHORT>(word & ~kCounterGateBits));
    return status;
}

hxda::ApiStatus CounterSubsystem::Stop(dalayer::DaRequest&) {
    if (!ElementExists())
        return HXINVALIDELEMENT;
    return dalayer::TransactionStatus(StopCounter());
}

hxda::ApiStatus CounterSubsystem::ReadEvents(dalayer::DaRequest& request) {
    if (!ElementExists())
        return HXINVALIDELEMENT;
    ULONG value = 0;
    const NTSTATUS status = board_->Commands().ReadU32(
        CounterValueRegister(Element()), static_cast<USHORT>(CounterValueRegister(Element()) + 1),
        &value);
    // A count that could not be read is no count of 0.
    if (!NT_SUCCESS(status))
        return HXGENERALFAILURE;
    request.Record().parameters.eventCount.count = value;
    return HXNOERROR;
}

void CounterSubsystem::CancelAll(PFILE_OBJECT file) {
    events_.CancelAll(file);
}

void CounterSubsystem::PostEvent(dalayer::SubsystemEvent event, ULONG data) {
    events_.Post(event, data);
}

// ---- The edge-to-edge measurement's poll
// ------------------------------------------------------------

void CounterSubsystem::ArmPoll() {
    wdm::SpinLockHold hold(lock_);
    if (destroyed_ || !measuring_)
        return;
    timerArmed_ = true;
    timer_.Set(-kPollMs * wdm::kMillisecond100ns,
               wdm::DpcTrampoline<CounterSubsystem, &CounterSubsystem::PollDue>, this);
}

void CounterSubsystem::PollDue() {
    {
        wdm::SpinLockHold hold(lock_);
        timerArmed_ = false;
        if (!measuring_ || destroyed_)
            return;
        workQueued_ = true;
    }
    board_->AcquireBusy();
    IoQueueWorkItem(pollItem_, PollWork, DelayedWorkQueue, this);
}

void CounterSubsystem::PollWork(PDEVICE_OBJECT, PVOID context) {
    auto* self = static_cast<CounterSubsystem*>(context);
    BoardDevice* board = self->board_;
    self->Poll();
    bool finish;
    {
        wdm::SpinLockHold hold(self->lock_);
        self->workQueued_ = false;
        finish = self->destroyPending_;
    }
    if (finish)
        self->FinishDestroy();
    board->ReleaseBusy();
}

void CounterSubsystem::Poll() {
    {
        wdm::SpinLockHold hold(lock_);
        if (!measuring_ || destroyed_)
            return;
    }
    const ULONG c = Element();
    CommandChannel& commands = board_->Commands();
    USHORT status = 0;
    if (!NT_SUCCESS(commands.ReadRegister(kRegCounterStatus, &status))) {
        {
            wdm::SpinLockHold hold(lock_);
            measuring_ = false;
        }
        MQ5120K_TRACE("C/T %u measurement: status register not read", c);
        events_.Post(dalayer::SubsystemEvent::kEventError, 0);
        return;
    }
    if (status & CounterBit(c)) {
        ArmPoll();  // still measuring
        return;
    }
    ULONG value = 0;
    const NTSTATUS read = commands.ReadU32(
        CounterValueRegister(c), static_cast<USHORT>(CounterValueRegister(c) + 1), &value);
    {
        wdm::SpinLockHold hold(lock_);
        measuring_ = false;
    }
    events_.Post(NT_SUCCESS(read) ? dalayer::SubsystemEvent::kEventValue
                                  : dalayer::SubsystemEvent::kEventError,
                 value);
}

}  // namespace board
