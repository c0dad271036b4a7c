// The board as a device model: the bus's calls, the test hooks and the observations, each under
// the board's lock.
#include "mq5120/board.h"

#include "board_state.h"
#include "bus_call_time_meter.h"

namespace mq5120 {

void BoardState::Advance() {
    const std::int64_t now = Now();
    // The outputs first: an input wired to an output converts the level it has at that time.
    DaAdvance(now);
    CountersAdvance(now);
    AdAdvance(now);
}

void BoardState::PowerOn() {
    BoardState fresh(identity, time);
    fresh.port = port;
    fresh.configuration = configuration;
    fresh.epochNs = Now();
    *this = std::move(fresh);
}

Board::Board(BoardIdentity identity, std::shared_ptr<TimeSource> time)
    : state_(std::make_unique<BoardState>(std::move(identity), std::move(time))),
      busCalls_(std::make_unique<BusCallLedger>()) {
    state_->epochNs = state_->Now();
}

Board::~Board() = default;

void Board::WakeLocked() {
    if (state_->port != nullptr && state_->wakeBus)
        state_->port->Wake();
    state_->wakeBus = false;
}

std::vector<std::uint8_t> Board::DeviceDescriptor() {
    std::lock_guard lock(mutex_);
    return mq5120::DeviceDescriptor(state_->identity);
}

std::vector<std::uint8_t> Board::ConfigurationDescriptor(std::uint8_t index) {
    std::lock_guard lock(mutex_);
    if (index != 0)
        return {};
    return mq5120::ConfigurationDescriptor(state_->identity);
}

void Board::Connected(usb::DevicePort* port) {
    std::lock_guard lock(mutex_);
    state_->port = port;
}

void Board::ConfigurationSelected(std::uint8_t value) {
    std::lock_guard lock(mutex_);
    state_->configuration = value;
}

void Board::PipeReset(std::uint8_t) {
    // Clears the endpoint's data toggle; nothing the model keeps.
}

usb::InResult Board::In(std::uint8_t endpoint, std::span<std::uint8_t> room,
                        std::uint16_t maxPacketSize) {
    std::lock_guard lock(mutex_);
    BusCallTimeMeter meter(*busCalls_);
    BoardState& s = *state_;
    s.Advance();
    usb::InResult result;
    switch (endpoint) {
        case kReplyEndpoint:
            result = s.ReadReply(room);
            break;
        case kStatusEndpoint:
            result = s.ReadStatus(room);
            break;
        case kAdEndpoint:
            result = s.AdRead(room, maxPacketSize);
            break;
        default:
            break;
    }
    WakeLocked();
    return result;
}

usb::OutResult Board::Out(std::uint8_t endpoint, std::span<const std::uint8_t> data) {
    std::lock_guard lock(mutex_);
    BusCallTimeMeter meter(*busCalls_);
    BoardState& s = *state_;
    s.Advance();
    usb::OutResult result = usb::OutResult::Taken;
    switch (endpoint) {
        case kCommandEndpoint:
            s.HandleCommand(data);
            break;
        case kDaEndpoint:
            result = s.DaMessage(data);
            break;
        default:
            break;  // the spare endpoint: accepted and discarded
    }
    WakeLocked();
    return result;
}

std::optional<std::chrono::nanoseconds> Board::RetryAfter(std::uint8_t endpoint,
                                                          std::size_t wanted) {
    std::lock_guard lock(mutex_);
    BoardState& s = *state_;
    if (!s.time->FollowsStandInClock())
        return std::nullopt;  // the test advances the board's clock and wakes the bus
    s.Advance();
    std::optional<std::int64_t> due;
    switch (endpoint) {
        case kAdEndpoint:
            due = s.AdDataDue(wanted);
            break;
        case kDaEndpoint:
            due = s.DaRoomDue(wanted);
            break;
        case kStatusEndpoint:
            due = s.StatusDue();
            break;
        default:
            break;
    }
    if (!due)
        return std::nullopt;
    return std::chrono::nanoseconds(std::max<std::int64_t>(*due - s.Now(), 0));
}

BoardIdentity Board::Identity() const {
    std::lock_guard lock(mutex_);
    return state_->identity;
}

void Board::SetHighSpeed(bool highSpeed) {
    std::lock_guard lock(mutex_);
    state_->identity.highSpeed = highSpeed;
}

void Board::Reset() {
    std::lock_guard lock(mutex_);
    state_->PowerOn();
}

void Board::SetSignal(int channel, const Signal& signal) {
    std::lock_guard lock(mutex_);
    if (channel >= 0 && channel < static_cast<int>(state_->signals.size())) {
        state_->Advance();  // samples due so far were taken with the old signal
        state_->signals[channel] = signal;
        state_->patternStart[channel] = state_->channelConversions[channel];
    }
}

void Board::SetDin(std::uint8_t value) {
    std::lock_guard lock(mutex_);
    state_->Advance();
    state_->SetDin(value);
    WakeLocked();
}

void Board::WireDoutToDin(bool wired) {
    std::lock_guard lock(mutex_);
    state_->doutWiredToDin = wired;
    if (wired)
        state_->SetDin(state_->dout);
    WakeLocked();
}

void Board::ExternalTrigger() {
    std::lock_guard lock(mutex_);
    BoardState& s = *state_;
    s.AdTrigger();
    if (s.daRunning && s.daWaitingTrigger) {
        s.daWaitingTrigger = false;
        s.daStartNs = s.Now();
    }
    s.wakeBus = true;
    WakeLocked();
}

void Board::ExternalAdClock(int edges) {
    std::lock_guard lock(mutex_);
    BoardState& s = *state_;
    if (s.adRunning && !s.adWaitingTrigger && (s.registers[kAdControl] & kAdControlExternalClock) &&
        edges > 0)
        s.AdConvert(static_cast<std::uint64_t>(edges));
    s.wakeBus = true;
    WakeLocked();
}

void Board::ExternalDaClock(int edges) {
    std::lock_guard lock(mutex_);
    BoardState& s = *state_;
    if (s.daRunning && !s.daWaitingTrigger &&
        (s.registers[kBoardControl] & kBoardControlDaExternalClock))
        for (int i = 0; i < edges && s.DaOutputNext(s.SecondsNow()); ++i) {
        }
    s.wakeBus = true;
    WakeLocked();
}

void Board::CounterClock(int counter, std::uint64_t edges) {
    std::lock_guard lock(mutex_);
    if (counter >= 0 && counter < 5)
        state_->CounterEdges(counter, edges);
    WakeLocked();
}

void Board::SetCounterGate(int counter, bool level) {
    std::lock_guard lock(mutex_);
    if (counter >= 0 && counter < 5)
        state_->CounterGate(counter, level);
    WakeLocked();
}

void Board::SetCounterClockSignal(int counter, std::optional<Signal> signal, int fromCounter) {
    std::lock_guard lock(mutex_);
    if (counter < 0 || counter >= 5)
        return;
    state_->Advance();
    auto& unit = state_->counterUnits[counter];
    unit.clockSignal = std::move(signal);
    unit.clockFrom =
        fromCounter >= 0 && fromCounter < 5 && fromCounter != counter ? fromCounter : -1;
    unit.inputsNs = state_->Now();
    unit.sourcePulsesSeen =
        unit.clockFrom >= 0 ? state_->CounterOutputPulses(unit.clockFrom, unit.inputsNs) : 0;
}

void Board::SetCounterGateSignal(int counter, std::optional<Signal> signal) {
    std::lock_guard lock(mutex_);
    if (counter < 0 || counter >= 5)
        return;
    state_->Advance();
    auto& unit = state_->counterUnits[counter];
    unit.gateSignal = std::move(signal);
    unit.inputsNs = state_->Now();
    if (unit.gateSignal)
        state_->CounterGate(counter, unit.gateSignal->VoltsAt(state_->SecondsNow()) >= 2.0);
}

void Board::SetCounterDirection(int counter, bool up) {
    std::lock_guard lock(mutex_);
    if (counter >= 0 && counter < 5)
        state_->counterUnits[counter].up = up;
}

CounterReading Board::Counter(int counter) const {
    std::lock_guard lock(mutex_);
    if (counter < 0 || counter >= 5)
        return {};
    return state_->ReadCounter(counter);
}

void Board::SetUnpaced(bool unpaced) {
    std::lock_guard lock(mutex_);
    state_->Advance();
    state_->unpaced = unpaced;
    state_->wakeBus = true;
    WakeLocked();
}

void Board::Wake() {
    std::lock_guard lock(mutex_);
    state_->Advance();
    state_->wakeBus = true;
    WakeLocked();
}

void Board::FailReplies(std::uint8_t command, int reg, usb::Fault fault, int count) {
    std::lock_guard lock(mutex_);
    state_->replyFailures.push_back({command, reg, fault, count});
}

void Board::DropNextReply() {
    std::lock_guard lock(mutex_);
    state_->dropNextReply = true;
}

void Board::PostStatus(std::uint16_t type, std::uint16_t flags) {
    std::lock_guard lock(mutex_);
    state_->Post(type, flags);
    WakeLocked();
}

std::vector<LoggedCommand> Board::Commands() const {
    std::lock_guard lock(mutex_);
    return state_->commands;
}
std::vector<RegisterWrite> Board::RegisterWrites() const {
    std::lock_guard lock(mutex_);
    return state_->writes;
}
std::vector<StatusMessage> Board::StatusDelivered() const {
    std::lock_guard lock(mutex_);
    return state_->delivered;
}
std::vector<OutputChange> Board::Outputs() const {
    std::lock_guard lock(mutex_);
    state_->Advance();
    return state_->outputs;
}
void Board::ClearLog() {
    std::lock_guard lock(mutex_);
    state_->commands.clear();
    state_->writes.clear();
    state_->delivered.clear();
    state_->outputs.clear();
}
std::uint16_t Board::Register(std::uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return state_->ReadRegister(reg);
}
std::vector<std::uint16_t> Board::ChannelList() const {
    std::lock_guard lock(mutex_);
    return state_->list;
}
std::size_t Board::AdFifoSamples() const {
    std::lock_guard lock(mutex_);
    state_->Advance();
    return state_->adFifo.size();
}
bool Board::AdRunning() const {
    std::lock_guard lock(mutex_);
    return state_->adRunning;
}
bool Board::DaRunning() const {
    std::lock_guard lock(mutex_);
    state_->Advance();
    return state_->daRunning;
}
std::size_t Board::DaMemorySamples() const {
    std::lock_guard lock(mutex_);
    state_->Advance();
    return state_->singleBuffer ? state_->daLoop.size() : state_->daMemory.size();
}
std::uint32_t Board::AdTransferSize() const {
    std::lock_guard lock(mutex_);
    return state_->transferSize;
}
std::uint8_t Board::DoutPort() const {
    std::lock_guard lock(mutex_);
    return state_->dout;
}
std::uint8_t Board::SelectedConfiguration() const {
    std::lock_guard lock(mutex_);
    return state_->configuration;
}
BoardCounters Board::Counters() const {
    std::lock_guard lock(mutex_);
    return state_->counters;
}

}  // namespace mq5120
