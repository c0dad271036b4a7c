// The board tells the bus when time alone brings something: a waiting A/D read completes at the
// end of the bus frame in which the stand-ins' clock reaches its last sample, and a waiting status
// read at the end of the frame in which the A/D FIFO overflows, not a frame sooner. Driven here on
// the manual clock, the acquisition starting on a frame boundary.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>

#include "board_fixture.h"
#include "simclock/clock.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kDivider = 180;  // 100,000 samples/s
constexpr std::uint16_t kChunkBytes = 1024;
// The first moment at which n conversions are due at that divider: n x 1.8 us.
constexpr simclock::Duration ConversionsDone(std::uint64_t n) {
    return simclock::Duration(static_cast<std::int64_t>(n * kDivider * 1000 / 18));
}

class BusTiming : public BoardFixture {
  public:
    BoardIdentity MakeIdentity() override {
        BoardIdentity identity;
        identity.boardType = 4;  // 16-bit: the code pattern runs through every value
        return identity;
    }
    std::shared_ptr<TimeSource> Clock() override { return std::make_shared<RealTime>(); }

    void StartAd() {
        manual.Advance(usb::BusFrameEnd(simclock::Now() + 1ns) - simclock::Now());
        board->SetSignal(0, Signal::Codes(0, 1));
        Write(kAdControl, 0x8000 | kAdControlSingleEnded);
        Write(kAdDividerLow, static_cast<std::uint16_t>(kDivider));
        Write(kAdDividerHigh, 0);
        Write(kStrobes, kStrobeListReset);
        WriteList({{kChannelList, 0}});
        Write(kStrobes, kStrobeListComplete);
        Transact(Command(kAdTransferSize, true, {kChunkBytes, 0}));
        Write(kRunEnables, kRunAd);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Transact(Command(kAdStart, true, {1}));
    }

    void AdvanceToFrameEnd() {
        manual.Advance(usb::BusFrameEnd(simclock::Now()) - simclock::Now());
    }

    simclock::testing::ManualClock manual;
};

TEST_F(BusTiming, AWaitingReadCompletesWhenItsLastSampleIsConverted) {
    StartAd();
    constexpr ULONG kRead = 4096;  // 2048 samples: four chunks
    Bytes buffer(kRead);
    UrbRequest read;
    Build(read, kAdEndpoint, buffer.data(), kRead,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    read.Send(pdo);
    manual.Advance(ConversionsDone(kRead / 2) - 1ns);
    EXPECT_FALSE(read.Wait(50)) << "a sample short";
    manual.Advance(1ns);
    EXPECT_FALSE(read.Wait(50)) << "converted, but its frame has not ended";
    AdvanceToFrameEnd();
    ASSERT_TRUE(read.Wait());
    ASSERT_EQ(read.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, kRead);
    for (std::size_t i = 0; i < kRead / 2; ++i)
        ASSERT_EQ(buffer[2 * i] | (buffer[2 * i + 1] << 8), static_cast<int>(i)) << i;
}

TEST_F(BusTiming, AWaitingStatusReadHearsTheOverflowWhenTheFifoOverflows) {
    StartAd();
    std::array<std::uint8_t, 4> status{};
    UrbRequest read;
    Build(read, kStatusEndpoint, status.data(), 4, USBD_TRANSFER_DIRECTION_IN);
    read.Send(pdo);
    // Nothing reads the samples: the conversion after the FIFO's last place overflows it.
    manual.Advance(ConversionsDone(kAdFifoSamples + 1) - 1ns);
    EXPECT_FALSE(read.Wait(50)) << "the FIFO is full, not yet overflowing";
    manual.Advance(1ns);
    EXPECT_FALSE(read.Wait(50)) << "overflowed, but its frame has not ended";
    AdvanceToFrameEnd();
    ASSERT_TRUE(read.Wait());
    EXPECT_EQ(status[0] | (status[1] << 8), kStatusTypeFlags);
    EXPECT_EQ(status[2] | (status[3] << 8), kFlagAdOverflow);
}

}  // namespace
}  // namespace mq5120::test
