// A transaction error on the A/D pipe while streaming: the pipes are recovered, one overrun is
// reported, the status messages and commands work afterwards, and the subsystem stops and starts
// again with every sample in place.
#include "ad_fixture.h"
#include "mq5120/signals.h"

namespace board_test {
namespace {

using AdRecoveryTest = AdFixture;

TEST_F(AdRecoveryTest, ATransactionErrorOnTheSamplePipeIsOneOverrunAndTheBoardServesOn) {
    for (const std::uint32_t code : {IOCTL_HXDA_ABORT, IOCTL_HXDA_STOP}) {
        ASSERT_TRUE(NothingOpen());
        p_.board->SetSignal(0, mq5120::Signal::Codes(0));
        UserFile ad(kAdPath);
        Block block({{0, 1}}, 800, 10'000);
        ASSERT_EQ(Configure(ad, block), HXNOERROR);
        std::vector<std::vector<std::uint8_t>> buffers(4, std::vector<std::uint8_t>(2'000));
        std::vector<std::shared_future<Answer>> done;
        for (auto& b : buffers)
            done.push_back(ad.Read(b.data(), 2'000));
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
        ASSERT_EQ(UserFile::Wait(done[0], kBound).information, 2'000u);

        // A stalled reply pipe stays halted: register reads fail until the pipe is reset.
        const auto readBoardType = [&] {
            auto reg = Record(HXSS_AD);
            reg.parameters.registerAccess.registerNumber = 32;
            reg.parameters.registerAccess.value = 0xDEAD;
            EXPECT_EQ(ad.Control(IOCTL_HXDA_READREG, reg).status, STATUS_SUCCESS);
            return reg.parameters.registerAccess.value;
        };
        bus->InjectFault(p_.pdo, board::kEndpointReply, usb::Fault::Stall);
        EXPECT_EQ(readBoardType(), 0xDEADu);
        EXPECT_EQ(readBoardType(), 0xDEADu);

        EventWait overrun(ad);
        bus->InjectFault(p_.pdo, board::kEndpointAd, usb::Fault::TransactionError);
        EXPECT_EQ(overrun.Code(), HXEV_OVERRUN);
        // Once: a board FIFO overflow reported afterwards adds none.
        EventWait more(ad);
        p_.board->PostStatus(board::kStatusTypeFlags, mq5120::kFlagAdOverflow);
        EXPECT_EQ(more.Code(std::chrono::milliseconds(300)), 0u);

        // The status reads are back: a message the board sends now is taken.
        board::BoardDevice* device = DeviceOf(p_.pdo);
        EXPECT_TRUE(Eventually([&] { return device->StatusReadsOutstanding() == 3; }));
        const std::size_t delivered = p_.board->StatusDelivered().size();
        p_.board->PostStatus(0x4000, 0);
        EXPECT_TRUE(Eventually([&] { return p_.board->StatusDelivered().size() > delivered; }));
        // The recovery reset the command pipes: the board answers again.
        EXPECT_EQ(readBoardType(), p_.board->Register(32));

        // The abort the library answers an overrun with, or a stop, ends everything once the board
        // has stopped, although no sample moves to fill the read in process.
        EXPECT_EQ(Simple(ad, code), HXNOERROR);
        for (std::size_t r = 1; r < done.size(); ++r)
            EXPECT_NE(UserFile::Wait(done[r], std::chrono::milliseconds(0)).status, -1) << r;
        EXPECT_FALSE(p_.board->AdRunning());

        // And the next acquisition delivers every sample from its start.
        std::vector<std::uint16_t> again(1'000);
        auto read = ad.Read(again.data(), 2'000);
        EventWait quiet(ad);
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
        const Answer a = UserFile::Wait(read, kBound);
        ASSERT_EQ(a.information, 2'000u);
        for (std::size_t i = 0; i < again.size(); ++i)
            ASSERT_EQ(again[i], i & 0xFFF) << "sample " << i;
        EXPECT_EQ(quiet.Code(std::chrono::milliseconds(100)), 0u);
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
    }
}

}  // namespace
}  // namespace board_test
