// The simulated MQ5120 board: a device model for the USB bus stand-in.
//
// It answers the board's command protocol on endpoints 0x01 / 0x81, keeps its registers, streams
// A/D samples on 0x88 paced by its time source, plays D/A messages from 0x04, and reports status
// messages on 0x86. Every command message, register write, delivered status message and output
// change is logged for tests. Plug it into a bus with usb::Bus::Plug(board).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "mq5120/identity.h"
#include "mq5120/protocol.h"
#include "mq5120/signals.h"
#include "usb/device_model.h"

namespace mq5120 {

struct BoardState;
class BusCallLedger;

struct LoggedCommand {
    std::int64_t timeNs;
    std::array<std::uint8_t, kMessageSize> bytes;
};
struct RegisterWrite {
    std::uint16_t reg;
    std::uint16_t value;
    bool operator==(const RegisterWrite&) const = default;
};
struct StatusMessage {
    std::uint16_t type;
    std::uint16_t flags;
    bool operator==(const StatusMessage&) const = default;
};
// An output change: channel 0-3 analog (code), 4 the digital output port (byte), 5 + c counter
// c's output (1 at a pulse's start, 0 at its end). The time is the board's own: a streamed
// sample's update time on the D/A clock, a single value's arrival, a pulse's edge.
struct OutputChange {
    std::int64_t timeNs;
    int channel;
    std::uint16_t value;
};
// What a counter shows: its value, and as a pulse generator its output.
struct CounterReading {
    std::uint32_t value = 0;
    bool running = false;
    std::uint64_t pulses = 0;  // pulses put out since the load (rate mode) or the start
    double frequencyHz = 0.0;  // rate mode: source clock / period
    double duty = 0.0;         // rate mode: active time / period
};

struct BoardCounters {
    std::size_t protocolErrors = 0;   // malformed lists and D/A messages
    std::size_t unknownCommands = 0;  // commands the board does not know
    std::size_t statusDropped = 0;    // status messages lost to a full status FIFO
    std::size_t adOverflows = 0;      // A/D overflow episodes
    std::size_t daUnderruns = 0;      // D/A memory ran dry while running, then more data came
};

class Board final : public usb::DeviceModel {
  public:
    explicit Board(BoardIdentity identity = {},
                   std::shared_ptr<TimeSource> time = std::make_shared<RealTime>());
    ~Board() override;

    // ---- The device model ----------------------------------------------------------------
    std::vector<std::uint8_t> DeviceDescriptor() override;
    std::vector<std::uint8_t> ConfigurationDescriptor(std::uint8_t index) override;
    void Connected(usb::DevicePort* port) override;
    void ConfigurationSelected(std::uint8_t value) override;
    void PipeReset(std::uint8_t endpoint) override;
    usb::InResult In(std::uint8_t endpoint, std::span<std::uint8_t> room,
                     std::uint16_t maxPacketSize) override;
    usb::OutResult Out(std::uint8_t endpoint, std::span<const std::uint8_t> data) override;
    std::optional<std::chrono::nanoseconds> RetryAfter(std::uint8_t endpoint,
                                                       std::size_t wanted) override;

    // ---- Identity and power ----------------------------------------------------------------
    BoardIdentity Identity() const;  // with the stored settings as they are now
    void SetHighSpeed(bool highSpeed);
    // Power cycle: registers, streams, queues and ports cleared; stored settings kept.
    void Reset();

    // ---- Inputs (test hooks) ---------------------------------------------------------------
    void SetSignal(int channel, const Signal& signal);
    void SetDin(std::uint8_t value);
    // The digital output port drives the digital input port (analog outputs are wired to an
    // input with Signal::FromAnalogOutput).
    void WireDoutToDin(bool wired);
    void ExternalTrigger();
    void ExternalAdClock(int edges);
    void ExternalDaClock(int edges);
    // Counter c (0-4): edges on its external clock input, its gate input level, and the
    // direction input of the up/down mode (true = up).
    void CounterClock(int counter, std::uint64_t edges);
    void SetCounterGate(int counter, bool level);
    void SetCounterDirection(int counter, bool up);
    // Counter c's clock input driven over time by a signal (a square's rising edges; a constant
    // gives none), or by counter fromCounter's output pulses (fromCounter >= 0); none for
    // neither. Its gate input follows a signal's level (at least 2 V is high), none to leave it
    // to SetCounterGate.
    void SetCounterClockSignal(int counter, std::optional<Signal> signal, int fromCounter = -1);
    void SetCounterGateSignal(int counter, std::optional<Signal> signal);
    // Unpaced: the A/D produces as fast as the host reads (benchmarks).
    void SetUnpaced(bool unpaced);
    // Tells the bus to look again (after a manual time source advanced).
    void Wake();

    // ---- Faults (test hooks) ---------------------------------------------------------------
    // The reply to the next `count` reads of the command (and register, for 0x26; -1 any) ends
    // with the fault on the reply pipe instead.
    void FailReplies(std::uint8_t command, int reg, usb::Fault fault, int count = 1);
    // The next read command gets no reply at all.
    void DropNextReply();
    // Queues a status message as the board would send it (overflow, underrun on demand).
    void PostStatus(std::uint16_t type, std::uint16_t flags);

    // ---- Observation -----------------------------------------------------------------------
    std::vector<LoggedCommand> Commands() const;
    std::vector<RegisterWrite> RegisterWrites() const;
    std::vector<StatusMessage> StatusDelivered() const;
    std::vector<OutputChange> Outputs() const;
    void ClearLog();
    std::uint16_t Register(std::uint16_t reg) const;
    std::vector<std::uint16_t> ChannelList() const;
    std::size_t AdFifoSamples() const;
    bool AdRunning() const;
    bool DaRunning() const;
    std::size_t DaMemorySamples() const;
    std::uint32_t AdTransferSize() const;
    std::uint8_t DoutPort() const;
    std::uint8_t SelectedConfiguration() const;
    BoardCounters Counters() const;
    CounterReading Counter(int counter) const;

  private:
    void WakeLocked();
    mutable std::mutex mutex_;
    std::unique_ptr<BoardState> state_;
    std::unique_ptr<BusCallLedger> busCalls_;  // the time of In and Out (mq5120/bus_call_time.h)
};

}  // namespace mq5120
