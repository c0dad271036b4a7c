// The board model's cost per A/D sample: a board on a manual clock converting at 500 kHz, its
// status pipe polled and its samples read by the host at intervals, as the bus calls it (no bus:
// the model's own calls only). One case per kind of input signal, and a list of one of each.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include "mq5120/board.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kDivider500kHz = 36;
constexpr std::uint16_t kTransferBytes = 1024;
constexpr std::size_t kReadBytes = 4096;
constexpr std::uint8_t kSixteenBitBoard = 4;

using Message = std::array<std::uint8_t, mq5120::kMessageSize>;

Message Command(std::uint8_t code, std::vector<std::uint16_t> words) {
    Message m{};
    m[0] = code;
    m[1] = 1;  // a write
    for (std::size_t i = 0; i < words.size(); ++i) {
        m[2 + 2 * i] = static_cast<std::uint8_t>(words[i]);
        m[3 + 2 * i] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    return m;
}

class StreamingBoard {
  public:
    StreamingBoard(const std::vector<mq5120::Signal>& signals) {
        mq5120::BoardIdentity identity;
        identity.boardType = kSixteenBitBoard;
        board_ = std::make_unique<mq5120::Board>(identity, time_);
        for (std::size_t channel = 0; channel < signals.size(); ++channel)
            board_->SetSignal(static_cast<int>(channel), signals[channel]);
        using namespace mq5120;
        Write(kAdControl, kAdControlSingleEnded);
        Write(kAdDividerLow, kDivider500kHz);
        Write(kStrobes, kStrobeListReset);
        std::vector<std::uint16_t> list = {static_cast<std::uint16_t>(signals.size() * 4)};
        for (std::size_t channel = 0; channel < signals.size(); ++channel) {
            list.push_back(kChannelList);
            list.push_back(static_cast<std::uint16_t>(channel));
        }
        Send(Command(kRegisterList, list));
        Write(kStrobes, kStrobeListComplete);
        Send(Command(kAdTransferSize, {kTransferBytes, 0}));
        Write(kRunEnables, kRunAd);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Send(Command(kAdStart, {1}));
    }

    // A step of time passes and the host reads what it brought: the samples read. Before that,
    // the host polls the status pipe, as a driver keeps status reads posted.
    std::size_t Step(std::chrono::nanoseconds step) {
        time_->Advance(step);
        std::array<std::uint8_t, 4> status{};
        board_->In(mq5120::kStatusEndpoint, status, 8);
        std::size_t bytes = 0;
        for (;;) {
            const usb::InResult result = board_->In(mq5120::kAdEndpoint, room_, 512);
            bytes += result.bytes;
            if (result.bytes == 0)
                return bytes / 2;
        }
    }

  private:
    void Send(const Message& m) { board_->Out(mq5120::kCommandEndpoint, m); }
    void Write(std::uint16_t reg, std::uint16_t value) {
        Send(Command(mq5120::kRegister, {reg, value}));
    }

    std::shared_ptr<mq5120::ManualTime> time_ = std::make_shared<mq5120::ManualTime>();
    std::unique_ptr<mq5120::Board> board_;
    std::vector<std::uint8_t> room_ = std::vector<std::uint8_t>(kReadBytes);
};

void Stream(benchmark::State& state, std::vector<mq5120::Signal> signals) {
    StreamingBoard board(signals);
    const std::chrono::nanoseconds step = std::chrono::microseconds(state.range(0));
    std::size_t samples = 0;
    for (auto _ : state)
        samples += board.Step(step);
    state.SetItemsProcessed(static_cast<std::int64_t>(samples));
}

// The argument: microseconds between the host's reads.
BENCHMARK_CAPTURE(Stream, sine, {mq5120::Signal::Sine(5, 50)})->Arg(1000)->Arg(250)->Arg(4000);
BENCHMARK_CAPTURE(Stream, constant, {mq5120::Signal::Constant(2.5)})->Arg(1000);
BENCHMARK_CAPTURE(Stream, square, {mq5120::Signal::Square(-1, 1, 10)})->Arg(1000);
BENCHMARK_CAPTURE(Stream, codes, {mq5120::Signal::Codes(0)})->Arg(1000);
BENCHMARK_CAPTURE(Stream, four_channels,
                  {mq5120::Signal::Sine(5, 50), mq5120::Signal::Sine(2, 1000, 1),
                   mq5120::Signal::Constant(2.5), mq5120::Signal::Square(0, 2, 10)})
    ->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
