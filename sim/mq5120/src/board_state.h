// The board model's state and its parts' operations, behind Board's lock.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "ad_fifo.h"
#include "mq5120/board.h"

namespace mq5120 {

// When conversion k of a running A/D takes place, from its start.
struct AdTiming {
    std::int64_t startUnits = 0;  // the start, since power-on
    std::uint64_t divider = 0;    // base-clock ticks between conversions
    std::uint64_t retrigger = 0;  // triggered scan on the internal retrigger: ticks between bursts
    std::uint64_t burst = 1;      // conversions per burst
    SignalTime At(std::uint64_t k) const {
        const std::uint64_t ticks =
            retrigger != 0 ? (k / burst) * retrigger + (k % burst) * divider : k * divider;
        return {startUnits + static_cast<std::int64_t>(ticks) * kSignalUnitsPerTick};
    }
};

struct BoardState {
    BoardState(BoardIdentity identityIn, std::shared_ptr<TimeSource> timeIn)
        : identity(std::move(identityIn)), time(std::move(timeIn)), registers(0x10000, 0) {}

    BoardIdentity identity;
    std::shared_ptr<TimeSource> time;
    usb::DevicePort* port = nullptr;
    std::uint8_t configuration = 0;
    bool wakeBus = false;      // something the host waits for appeared
    std::int64_t epochNs = 0;  // time 0 of the input signals: power-on

    // Registers and ports.
    std::vector<std::uint16_t> registers;
    std::array<Signal, 32> signals{};
    std::uint8_t liveTermination = 0;
    std::uint8_t din = 0;
    std::uint8_t dout = 0;
    bool doutWiredToDin = false;
    std::array<std::uint16_t, 4> analogOut{};
    // Each analog output's recent changes, in seconds since power-on, for the inputs wired to it.
    struct OutputLevel {
        double seconds;
        std::uint16_t code;
    };
    std::array<std::deque<OutputLevel>, 4> outputHistory{};

    // Replies.
    struct Reply {
        std::array<std::uint8_t, kMessageSize> bytes{};
        std::size_t offset = 0;
        std::optional<usb::Fault> fault;
    };
    std::optional<Reply> reply;
    struct ReplyFailure {
        std::uint8_t command;
        int reg;
        usb::Fault fault;
        int count;
    };
    std::vector<ReplyFailure> replyFailures;
    bool dropNextReply = false;

    // Status messages waiting for the host.
    std::deque<StatusMessage> status;

    // A/D.
    std::vector<std::uint16_t> list;
    bool adRunning = false;
    bool adWaitingTrigger = false;
    std::int64_t adStartNs = 0;
    std::uint64_t adConversions = 0;
    std::uint64_t adBursts = 0;  // triggered scan on external retrigger edges: bursts begun
    std::int64_t adBurstStartNs = 0;
    std::size_t listIndex = 0;
    std::array<std::uint64_t, 32> channelConversions{};
    std::array<std::uint64_t, 32> patternStart{};  // the conversion a channel's pattern began at
    AdFifo adFifo;
    // Room for one block of conversions (ad_conversion.cpp), kept from block to block.
    struct AdBlock {
        std::vector<std::uint16_t> codes;
        std::vector<std::uint16_t> entryCodes;  // one entry's, when the list has more
        std::vector<double> plus, minus;
        std::vector<std::uint32_t> rank;  // per list entry: its channel's entries before it
        template <typename T>
        static std::span<T> Room(std::vector<T>& room, std::size_t n) {
            if (room.size() < n)
                room.resize(n);
            return {room.data(), n};
        }
    } adBlock;
    bool overflowEpisode = false;
    std::uint32_t transferSize = 1024;
    std::vector<std::uint8_t> chunk;  // the chunk being sent
    std::size_t chunkOffset = 0;
    bool unpaced = false;

    // D/A.
    std::deque<std::uint16_t> daMemory;
    std::vector<std::uint16_t> daLoop;  // single-buffer mode: replayed cyclically
    std::size_t daLoopIndex = 0;
    bool singleBuffer = false;
    bool daArmed = false;
    bool daReadySent = false;
    std::uint32_t daThreshold = 0;
    bool daRunning = false;
    bool daWaitingTrigger = false;
    bool daDrainReported = false;
    bool daUnderrun = false;  // the memory ran dry while running and more data may follow
    std::int64_t daStartNs = 0;
    std::uint64_t daUpdates = 0;
    std::size_t daChannelIndex = 0;

    // Counters.
    struct CounterUnit {
        std::uint32_t value = 0;
        std::uint16_t latchedHigh = 0;
        std::uint64_t externalEdges = 0;  // since load, for pulse trains on the external clock
        std::int64_t loadNs = 0;
        bool gate = false;
        bool up = true;
        bool measureStarted = false;
        std::int64_t measureStartNs = 0;
        // What drives its clock and gate inputs over time: a signal, or (clockFrom >= 0) another
        // counter's output. The test hooks drive them too.
        std::optional<Signal> clockSignal;
        std::optional<Signal> gateSignal;
        int clockFrom = -1;
        std::int64_t inputsNs = 0;           // the inputs are applied up to this time
        std::uint64_t sourcePulsesSeen = 0;  // of the counter wired to the clock
        // As a pulse generator: its output's pulses, and the end of a one-shot pulse under way.
        std::uint64_t outputPulses = 0;
        std::uint64_t ratePulsesLogged = 0;
        std::int64_t pulseEndNs = -1;
        bool oneShotFired = false;
    };
    std::array<CounterUnit, 5> counterUnits{};

    // Log.
    std::vector<LoggedCommand> commands;
    std::vector<RegisterWrite> writes;
    std::vector<StatusMessage> delivered;
    std::vector<OutputChange> outputs;
    BoardCounters counters;

    std::int64_t Now() const { return time->NowNs(); }
    void Advance();
    void PowerOn();

    // Commands and registers.
    void HandleCommand(std::span<const std::uint8_t> data);
    void WriteRegister(std::uint16_t reg, std::uint16_t value);
    std::uint16_t ReadRegister(std::uint16_t reg);
    usb::InResult ReadReply(std::span<std::uint8_t> room);

    // Status pipe.
    void Post(std::uint16_t type, std::uint16_t flags);
    usb::InResult ReadStatus(std::span<std::uint8_t> room);

    // A/D.
    void AdStart(bool waitForTrigger);
    void AdStop();
    void AdClearFifo();
    // Conversions due by the time `now` (never fewer than made so far).
    std::uint64_t AdDueAt(std::int64_t now) const;
    void AdAdvance(std::int64_t now);
    void AdTrigger();
    std::uint64_t AdBurstLength() const;
    AdTiming AdTimingNow() const;
    // Converts the next `count` conversions of the list in blocks and stores them in the FIFO
    // (ad_conversion.cpp); returns how many were stored.
    std::uint64_t AdConvert(std::uint64_t count);
    std::size_t AdConvertBlock(std::size_t count);
    void AdLose(std::uint64_t count);
    void AdOverflowed();  // a conversion found the FIFO full: reported once per episode
    struct AdEntryRun;
    void AdEntryCodes(std::uint16_t word, const AdEntryRun& run);
    void AdAnalogCodes(int channel, int gainCode, const AdEntryRun& run);
    void AdVoltsCodes(int channel, int gainCode, const AdEntryRun& run);
    int AdInputs() const;  // analog inputs in the configured mode; 0 without analog inputs
    // One conversion of an analog input, as a single value: counts the channel's conversion.
    std::uint16_t AnalogCode(int channel, int gainCode, SignalTime t);
    // What an analog input reads: at one time, exactly (the reference of every conversion), and
    // at a block's evenly spaced times at once, each within InputBlockError(channel) of it. A
    // source whose value depends on the time of each conversion plugs in here; one without a
    // block form is evaluated at each time. An input wired to an analog output reads the level
    // the output has at `outputSeconds`, the conversion's time as the outputs keep theirs.
    double InputVoltsAt(int channel, SignalTime t, double outputSeconds) const;
    // A streamed conversion's time in seconds since power-on, summed as the outputs sum the times
    // of their updates (start, then base-clock ticks), so that an update and a conversion at the
    // same tick compare equal.
    double AdConversionSeconds(SignalTime t) const;
    void InputVolts(int channel, const SignalTimes& times, std::span<double> volts) const;
    double InputBlockError(int channel) const;
    double InputPeakVolts(int channel) const;
    bool InputIsLevel(int channel) const;
    usb::InResult AdRead(std::span<std::uint8_t> room, std::uint16_t maxPacket);

    // D/A.
    usb::OutResult DaMessage(std::span<const std::uint8_t> data);
    void DaArm(std::uint32_t value);
    void DaAbort();
    void DaClear();
    void DaStart();
    void DaAdvance(std::int64_t now);
    bool DaOutputNext(double seconds);
    void DaCheckReady();

    // When time alone brings the bus something (board time, ns): A/D data for a read waiting
    // for `wanted` bytes, room for a held D/A message of `wanted` bytes, a status message (an
    // A/D overflow, the D/A memory drained). None: not by time alone.
    std::optional<std::int64_t> AdDataDue(std::size_t wanted) const;
    std::optional<std::int64_t> DaRoomDue(std::size_t wanted) const;
    std::optional<std::int64_t> StatusDue() const;
    std::optional<std::int64_t> AdConversionsDue(std::uint64_t conversions) const;
    std::optional<std::int64_t> DaUpdatesDue(std::uint64_t updates) const;
    bool AdPaced() const;
    bool DaPaced() const;

    // Counters.
    std::uint32_t CounterRegister32(int c, int offset) const;
    bool CounterRunning(int c) const;
    bool CounterIsRate(int c) const;
    bool CounterIsOneShot(int c) const;
    bool CounterGateOpen(int c) const;
    void CounterLoad(int c);
    void CounterModeWritten(int c, std::uint16_t old, std::uint16_t value);
    void CounterEdges(int c, std::uint64_t edges);
    void CounterGate(int c, bool level);
    void CounterGateAt(int c, bool level, std::int64_t ns);
    // The counters' wired inputs from their last advance to `now`, in time order.
    void CountersAdvance(std::int64_t now);
    void CounterInputsAdvance(int c, std::int64_t now);
    std::uint64_t CounterOutputPulses(int c, std::int64_t now);
    void OneShotTrigger(int c, std::int64_t ns);
    CounterReading ReadCounter(int c);

    // Ports.
    void SetDout(std::uint8_t value);
    void SetDin(std::uint8_t value);
    // An output change at `seconds` since power-on.
    void SetAnalogOut(int channel, std::uint16_t code, double seconds);
    void SetDoutAt(std::uint8_t value, double seconds);
    void LogOutput(int channel, std::uint16_t value, double seconds);
    double SecondsNow() const { return (Now() - epochNs) * 1e-9; }
    // The volts of analog output `channel` at `seconds` since power-on, as an input wired to it
    // converts them: the level of the last change at or before that time.
    double AnalogOutputVolts(int channel, double seconds) const;
};

}  // namespace mq5120
