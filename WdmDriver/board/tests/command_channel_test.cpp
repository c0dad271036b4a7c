// The command protocol against the board model: every message byte-exact as the board logged it,
// the answers the board gave, list splitting, failing and missing replies, and one transaction at
// a time under concurrent callers.
#include <atomic>
#include <functional>
#include <thread>

#include "board/command_channel.h"
#include "channel_fixture.h"

namespace board_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class CommandChannelTest : public ChannelFixture {
  protected:
    mq5120::BoardIdentity Identity() override {
        mq5120::BoardIdentity identity;
        identity.boardType = 6;
        identity.stored.serialNumber = 0x12345678;
        identity.stored.hardwareA = 0x1111;
        identity.stored.hardwareB = 0x2222;
        identity.stored.hardwareC = 0x3333;
        identity.stored.dinChangeMask = 0x5A;
        identity.stored.termination = 0;
        return identity;
    }
    std::unique_ptr<board::CommandChannel> Channel(ULONG replyTimeoutMs = 2000) {
        return std::make_unique<board::CommandChannel>(*target, pipes.command, pipes.reply,
                                                       replyTimeoutMs);
    }
};

TEST_F(CommandChannelTest, WritesGoOutByteExact) {
    auto channel = Channel();
    struct Case {
        const char* what;
        std::function<NTSTATUS(board::CommandChannel&)> call;
        Bytes sent;
    };
    const Case cases[] = {
        {"register",
         [](auto& c) { return c.WriteRegister(2, 0xF801); },
         {0x26, 1, 0x02, 0x00, 0x01, 0xF8}},
        {"masked",
         [](auto& c) { return c.WriteMasked(4, 0x0003, 0x0003); },
         {0x28, 1, 0x04, 0x00, 0x03, 0x00, 0xFC, 0xFF}},
        {"serial",
         [](auto& c) { return c.WriteSerialNumber(0xA1B2C3D4); },
         {0x23, 1, 0xD4, 0xC3, 0xB2, 0xA1}},
        {"hardware words",
         [](auto& c) {
             return c.WriteHardwareWords({0x0102, 0x0304, 0x0506});
         },
         {0x11, 1, 0xC0, 0x02, 0x01, 0x06, 0x05, 0x04, 0x03}},
        {"hardware words zero", [](auto& c) { return c.WriteHardwareWords({}); }, {0x11, 1}},
        {"din mask", [](auto& c) { return c.WriteDinChangeMask(0x81); }, {0x2F, 1, 0x81}},
        {"clear data toggle", [](auto& c) { return c.ClearDataToggle(); }, {0x5B, 1}},
        {"a/d start", [](auto& c) { return c.AdStart(false, false); }, {0x2B, 1, 1, 1}},
        {"a/d start second", [](auto& c) { return c.AdStart(false, true); }, {0x2B, 1, 1, 0}},
        {"a/d stop", [](auto& c) { return c.AdStop(); }, {0x2C, 1, 1, 0}},
        {"d/a arm", [](auto& c) { return c.DaArm(0x00012345); }, {0x30, 1, 0x45, 0x23, 0x01, 0}},
        {"d/a arm words",
         [](auto& c) { return c.DaArmWords(0x00056789); },
         {0x29, 1, 0x89, 0x67, 0x05, 0x00}},
        {"d/a abort", [](auto& c) { return c.DaAbort(true); }, {0x2A, 1, 1, 0}},
        {"d/a single",
         [](auto& c) { return c.DaSingle(0x0ABC, 0x102); },
         {0x32, 1, 0xBC, 0x0A, 0x02, 0x00}},
        {"d/a single other",
         [](auto& c) { return c.DaSingleOther(0x0123); },
         {0x54, 1, 0x23, 0x01, 0x03, 0x00}},
    };
    for (const Case& c : cases) {
        board->ClearLog();
        EXPECT_EQ(c.call(*channel), STATUS_SUCCESS) << c.what;
        const auto sent = Sent(c.sent.size());
        ASSERT_EQ(sent.size(), 1u) << c.what;
        EXPECT_EQ(sent[0], c.sent) << c.what;
    }
    // The board applied what was written.
    EXPECT_EQ(board->Identity().stored.serialNumber, 0xA1B2C3D4u);
    EXPECT_EQ(board->Identity().stored.dinChangeMask, 0x81);
    EXPECT_EQ(channel->InProgress(), 0);
}

TEST_F(CommandChannelTest, ReadsSendTheRequestAndReturnTheBoardsAnswer) {
    auto channel = Channel();
    ASSERT_EQ(channel->WriteRegister(6, 0xBEEF), STATUS_SUCCESS);
    ASSERT_EQ(channel->WriteRegister(7, 0x0042), STATUS_SUCCESS);
    board->ClearLog();

    USHORT type = 0, reg = 0;
    ULONG serial = 0, pair = 0;
    UCHAR mask = 0, termination = 0xEE;
    board::HardwareWords words;
    EXPECT_EQ(channel->ReadRegister(32, &type), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadRegister(6, &reg), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadSerialNumber(&serial), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadHardwareWords(&words), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadDinChangeMask(&mask), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadTermination(&termination), STATUS_SUCCESS);
    EXPECT_EQ(channel->ReadU32(6, 7, &pair), STATUS_SUCCESS);

    EXPECT_EQ(type, 6);
    EXPECT_EQ(reg, 0xBEEF);
    EXPECT_EQ(serial, 0x12345678u);
    EXPECT_EQ(words.a, 0x1111);
    EXPECT_EQ(words.b, 0x2222);
    EXPECT_EQ(words.c, 0x3333);
    EXPECT_EQ(mask, 0x5A);
    EXPECT_EQ(termination, 0);
    EXPECT_EQ(pair, 0x0042BEEFu);
    const std::vector<Bytes> expected = {
        {0x26, 0, 32, 0, 0, 0},      {0x26, 0, 6, 0, 0, 0}, {0x23, 0, 0, 0, 0, 0},
        {0x11, 0, 0, 0, 0, 0},       {0x2F, 0, 0, 0, 0, 0}, {0x25, 0, 0, 0, 0, 0},
        {0x27, 0, 4, 0, 6, 0, 7, 0},
    };
    const auto sent = Sent(8);
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(Bytes(sent[i].begin(), sent[i].begin() + expected[i].size()), expected[i]) << i;
}

TEST_F(CommandChannelTest, TerminationIsAppliedThenStored) {
    auto channel = Channel();
    ASSERT_EQ(channel->WriteTermination(0xFF), STATUS_SUCCESS);
    const std::vector<Bytes> expected = {{0x59, 1, 0xFF}, {0x25, 1, 0xFF}};
    EXPECT_EQ(Sent(3), expected);
    EXPECT_EQ(board->Identity().stored.termination, 0xFF);
}

TEST_F(CommandChannelTest, RegisterListsSplitAtSixtyPairs) {
    auto channel = Channel();
    for (ULONG count : {1u, 60u, 61u, 121u}) {
        board->ClearLog();
        std::vector<board::RegisterPair> pairs;
        for (ULONG i = 0; i < count; ++i)
            pairs.push_back({128, static_cast<USHORT>(0x100 + i)});
        ASSERT_EQ(channel->WriteList(pairs.data(), count), STATUS_SUCCESS) << count;

        const auto commands = board->Commands();
        ASSERT_EQ(commands.size(), (count + 59) / 60) << count;
        ULONG at = 0;
        for (const auto& logged : commands) {
            const ULONG n = std::min<ULONG>(60, count - at);
            EXPECT_EQ(logged.bytes[0], 0x27);
            EXPECT_EQ(logged.bytes[1], 1);
            EXPECT_EQ(logged.bytes[2] | (logged.bytes[3] << 8), static_cast<int>(4 * n));
            at += n;
        }
        std::vector<mq5120::RegisterWrite> expected;
        for (const auto& p : pairs)
            expected.push_back({p.reg, p.value});
        EXPECT_EQ(board->RegisterWrites(), expected) << count;
    }
}

TEST_F(CommandChannelTest, TransferSizeProgramsTheTransferLogicFirst) {
    auto channel = Channel();
    ASSERT_EQ(channel->SetAdTransferSize(1024), STATUS_SUCCESS);
    const std::vector<Bytes> expected = {
        {0x27, 1, 16, 0, 0x80, 1, 19, 0, 0x81, 1, 0x02, 0x40, 0x82, 1, 0x00, 0xC0, 0x80, 1, 2, 0},
        {0x31, 1, 0x00, 0x04, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    EXPECT_EQ(Sent(20), expected);
    EXPECT_EQ(board->AdTransferSize(), 1024u);
}

TEST_F(CommandChannelTest, FailedAndMissingRepliesFailTheReadAndLeaveTheChannelUsable) {
    auto channel = Channel(200);
    USHORT value = 0;
    board->FailReplies(0x26, 32, usb::Fault::TransactionError);
    EXPECT_EQ(channel->ReadRegister(32, &value), STATUS_UNSUCCESSFUL);
    board->FailReplies(0x26, 32, usb::Fault::DataError);
    EXPECT_EQ(channel->ReadRegister(32, &value), STATUS_DEVICE_DATA_ERROR);
    board->DropNextReply();
    ULONG serial = 0;
    EXPECT_EQ(channel->ReadSerialNumber(&serial), STATUS_IO_TIMEOUT);
    EXPECT_EQ(channel->InProgress(), 0);

    // The next transaction gets its own reply.
    ASSERT_EQ(channel->ReadRegister(32, &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 6);
}

TEST_F(CommandChannelTest, CommandsFailOnceTheBoardIsUnplugged) {
    auto channel = Channel();
    bus.Unplug(pdo);
    USHORT value = 0;
    EXPECT_EQ(channel->WriteRegister(2, 1), STATUS_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(channel->ReadRegister(32, &value), STATUS_DEVICE_NOT_CONNECTED);
}

TEST_F(CommandChannelTest, ConcurrentReadsEachGetTheirOwnReply) {
    auto channel = Channel();
    constexpr int kThreads = 4;
    for (int t = 0; t < kThreads; ++t)
        ASSERT_EQ(channel->WriteRegister(static_cast<USHORT>(6 + t),
                                         static_cast<USHORT>(0x1000 * (t + 1))),
                  STATUS_SUCCESS);
    std::atomic<int> mismatches{0}, failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                USHORT value = 0;
                if (channel->ReadRegister(static_cast<USHORT>(6 + t), &value) != STATUS_SUCCESS)
                    ++failures;
                else if (value != 0x1000 * (t + 1))
                    ++mismatches;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(channel->InProgress(), 0);
}

}  // namespace
}  // namespace board_test
