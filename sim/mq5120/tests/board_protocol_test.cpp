// The board's descriptors, stored settings, registers and command/reply protocol, through the bus.
#include <gtest/gtest.h>

#include "board_fixture.h"

namespace mq5120::test {
namespace {

using Protocol = BoardFixture;

TEST_F(Protocol, DescriptorsFollowTheBusSpeed) {
    for (bool highSpeed : {true, false}) {
        BoardIdentity identity;
        identity.highSpeed = highSpeed;
        Plug(identity);
        Bytes device = GetDescriptor(USB_DEVICE_DESCRIPTOR_TYPE, 64);
        ASSERT_EQ(device.size(), 18u);
        auto* d = reinterpret_cast<PUSB_DEVICE_DESCRIPTOR>(device.data());
        EXPECT_EQ(d->bDescriptorType, USB_DEVICE_DESCRIPTOR_TYPE);
        EXPECT_EQ(d->bNumConfigurations, 1);
        Bytes config = GetDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 1024);
        ASSERT_EQ(config.size(), 60u);
        auto* c = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
        EXPECT_EQ(c->wTotalLength, 60);
        EXPECT_EQ(c->bConfigurationValue, 1);
        const USHORT bulk = highSpeed ? 512 : 64;
        const std::map<std::uint8_t, USHORT> expected = {{0x01, bulk}, {0x81, bulk}, {0x86, 8},
                                                         {0x88, bulk}, {0x04, bulk}, {0x02, bulk}};
        EXPECT_EQ(maxPacket, expected) << "high speed " << highSpeed;
        EXPECT_EQ(bus.SelectedConfiguration(pdo), 1);
        EXPECT_EQ(board->SelectedConfiguration(), 1);
    }
}

TEST_F(Protocol, AnEndpointCanBeLeftOutOfTheConfiguration) {
    BoardIdentity identity;
    identity.omittedEndpoint = kAdEndpoint;
    Plug(identity);
    EXPECT_EQ(pipes.size(), 5u);
    EXPECT_EQ(pipes.count(kAdEndpoint), 0u);
    EXPECT_EQ(GetDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 1024).size(), 53u);
}

// Stored settings: written, read back in the reply layout, kept across a power cycle.
TEST_F(Protocol, StoredSettingsReadBackAndSurviveReset) {
    struct Case {
        const char* name;
        Message write;
        Message read;
        std::vector<std::pair<std::size_t, std::uint8_t>> replyBytes;  // offset, value
    } cases[] = {
        {"hardware words",
         Command(kHardwareInfo, true, {0x3400 | 0xC0, 0x5612, 0x9A78, 0x00BC}),
         Command(kHardwareInfo, false),
         {{2, 0xC0}, {3, 0x34}, {4, 0x12}, {5, 0x56}, {6, 0x78}, {7, 0x9A}, {8, 0xBC}}},
        {"serial number",
         Command(kSerialNumber, true, {0x5678, 0x1234}),
         Command(kSerialNumber, false),
         {{2, 0x78}, {3, 0x56}, {4, 0x34}, {5, 0x12}}},
        {"termination",
         Command(kTermination, true, {0x00}),
         Command(kTermination, false),
         {{2, 0x00}}},
        {"DIN mask", Command(kDinMask, true, {0x5A}), Command(kDinMask, false), {{2, 0x5A}}},
        {"pot",
         Command(kPot, true, {2, 3, 1, 0x0ABC}),
         Command(kPot, false, {2, 3, 1}),
         {{8, 0xBC}, {9, 0x0A}}},
        {"pot, 0x54 form",
         Command(kPotOrByteOut, true, {1, 2, 0, 0x0123}),
         Command(kPotOrByteOut, false, {1, 2}),
         {{8, 0x23}, {9, 0x01}}},
    };
    for (const auto& c : cases) {
        Transact(c.write);
        for (int pass = 0; pass < 2; ++pass) {
            const Message reply = Transact(c.read);
            for (auto [offset, value] : c.replyBytes)
                EXPECT_EQ(reply[offset], value) << c.name << " byte " << offset << " pass " << pass;
            EXPECT_EQ(reply[0], c.read[0]) << c.name;
            board->Reset();
        }
    }
    // Erased defaults, and the hardware-info marker byte when all words are zero.
    Plug(BoardIdentity{});
    EXPECT_EQ(Transact(Command(kTermination, false))[2], 0xFF);
    EXPECT_EQ(Transact(Command(kDinMask, false))[2], 0xFF);
    EXPECT_EQ(Transact(Command(kHardwareInfo, false))[2], 0x00);
    EXPECT_EQ(board->Identity().stored.serialNumber, 0u);
}

TEST_F(Protocol, RegisterWritesReadsMaskedWritesAndLists) {
    Write(6, 18000);
    EXPECT_EQ(Read(6), 18000);
    EXPECT_EQ(Read(4000), 0) << "never written";
    Transact(Command(kRegisterMasked, true, {2, 0x00F0, static_cast<std::uint16_t>(~0x00FF)}));
    Write(1, 0xABCD);
    // Mask 0x00FF: the low byte takes the value's bits, the high byte stays.
    Transact(Command(kRegisterMasked, true, {1, 0x1234, static_cast<std::uint16_t>(~0x00FF)}));
    EXPECT_EQ(Read(1), 0xAB34);

    std::vector<std::pair<std::uint16_t, std::uint16_t>> pairs;
    for (std::uint16_t i = 0; i < 60; ++i)
        pairs.push_back({static_cast<std::uint16_t>(500 + i), static_cast<std::uint16_t>(i * 7)});
    board->ClearLog();
    WriteList(pairs);
    const auto writes = board->RegisterWrites();
    ASSERT_EQ(writes.size(), 60u);
    for (std::size_t i = 0; i < 60; ++i)
        EXPECT_EQ(writes[i], (RegisterWrite{pairs[i].first, pairs[i].second}));
    EXPECT_EQ(board->Counters().protocolErrors, 0u);

    // A list read answers each register in the word that named it.
    const Message reply = Transact(Command(kRegisterList, false, {8, 501, 1, 4000, 559}));
    EXPECT_EQ(WordOf(reply, 1), 8);
    EXPECT_EQ(WordOf(reply, 2), 7);
    EXPECT_EQ(WordOf(reply, 3), 0xAB34);
    EXPECT_EQ(WordOf(reply, 4), 0);
    EXPECT_EQ(WordOf(reply, 5), 59 * 7);
}

TEST_F(Protocol, MalformedListsProcessWholeEntriesAndCountAnError) {
    struct Case {
        const char* name;
        std::uint16_t byteCount;
        std::size_t applied;
    } cases[] = {
        {"count not a multiple of 4", 10, 2},
        {"more than 60 pairs", 64 * 4, 64},
        {"runs past the message", 200 * 4, 127},
    };
    for (const auto& c : cases) {
        std::vector<std::uint16_t> words = {c.byteCount};
        for (std::uint16_t i = 0; i < 127; ++i) {
            words.push_back(static_cast<std::uint16_t>(1000 + i));
            words.push_back(static_cast<std::uint16_t>(i + 1));
        }
        board->ClearLog();
        const auto before = board->Counters().protocolErrors;
        Transact(Command(kRegisterList, true, words));
        EXPECT_EQ(board->RegisterWrites().size(), c.applied) << c.name;
        EXPECT_EQ(board->Counters().protocolErrors, before + 1) << c.name;
    }
}

TEST_F(Protocol, BoardTypeRegisterAndAbsentHardware) {
    for (std::uint8_t type : BoardTypes()) {
        BoardIdentity identity;
        identity.boardType = type;
        Plug(identity);
        EXPECT_EQ(Read(kBoardType), type);
        Write(kBoardType, 0x77);  // read-only
        EXPECT_EQ(Read(kBoardType), type);
        board->SetSignal(0, Signal::Constant(5.0));
        Write(kAdControl, kAdControlSingleEnded);
        const std::uint16_t code = WordOf(Transact(Command(kAdSingle, false, {0})), 1);
        if (identity.HasAnalogInputs())
            EXPECT_NE(code, 0) << int(type);
        else
            EXPECT_EQ(code, 0) << int(type);
    }
}

TEST_F(Protocol, RepliesEchoTheRequestAndNeverLag) {
    // Unknown read: echoed unchanged; unknown write: no reply, counted.
    Message odd = Command(0x7E, false, {1, 2, 3});
    odd[511] = 0x99;
    EXPECT_EQ(Transact(odd), odd);
    Transact(Command(0x7E, true, {1}));
    EXPECT_EQ(board->Counters().unknownCommands, 2u);

    // A second read before the first reply was taken replaces it.
    Write(10, 111);
    Write(11, 222);
    {
        Message first = Command(kRegister, false, {10});
        UrbRequest send;
        Build(send, kCommandEndpoint, first.data(), kMessageSize, USBD_TRANSFER_DIRECTION_OUT);
        send.Send(pdo);
        ASSERT_TRUE(send.Wait());
    }
    EXPECT_EQ(Read(11), 222);

    // A command shorter than 512 bytes: missing parameters read 0; the reply is full size.
    Write(0, 0x1234);
    std::uint8_t shortRead[3] = {kRegister, 0, 0};
    {
        UrbRequest send;
        Build(send, kCommandEndpoint, shortRead, 3, USBD_TRANSFER_DIRECTION_OUT);
        send.Send(pdo);
        ASSERT_TRUE(send.Wait());
    }
    Message reply{};
    UrbRequest read;
    Build(read, kReplyEndpoint, reply.data(), kMessageSize, USBD_TRANSFER_DIRECTION_IN);
    read.Send(pdo);
    ASSERT_TRUE(read.Wait());
    EXPECT_EQ(read.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, kMessageSize);
    EXPECT_EQ(WordOf(reply, 1), 0x1234) << "register 0 (word 1 was missing)";
}

TEST_F(Protocol, EveryCommandIsLoggedInOrder) {
    board->ClearLog();
    const Message a = Command(kRegister, true, {5, 3});
    const Message b = Command(kSerialNumber, false);
    Transact(a);
    Transact(b);
    const auto log = board->Commands();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].bytes, a);
    EXPECT_EQ(log[1].bytes, b);
    EXPECT_LE(log[0].timeNs, log[1].timeNs);
    EXPECT_EQ(board->RegisterWrites(), (std::vector<RegisterWrite>{{5, 3}}));
}

// Reply faults: the failing read gets the fault's pair; the protocol carries on after it.
TEST_F(Protocol, ReplyFaultsHitOnlyTheChosenRead) {
    struct Case {
        std::uint8_t command;
        int reg;
        usb::Fault fault;
        NTSTATUS status;
        USBD_STATUS usbd;
    } cases[] = {
        {kRegister, kBoardType, usb::Fault::TransactionError, STATUS_UNSUCCESSFUL,
         USBD_STATUS_XACT_ERROR},
        {kSerialNumber, -1, usb::Fault::DataError, STATUS_DEVICE_DATA_ERROR,
         USBD_STATUS_DEV_NOT_RESPONDING},
    };
    for (const auto& c : cases) {
        board->FailReplies(c.command, c.reg, c.fault);
        EXPECT_EQ(Read(7), 0) << "another register is not affected";
        Message m = Command(c.command, false, {static_cast<std::uint16_t>(c.reg)});
        {
            UrbRequest send;
            Build(send, kCommandEndpoint, m.data(), kMessageSize, USBD_TRANSFER_DIRECTION_OUT);
            send.Send(pdo);
            ASSERT_TRUE(send.Wait());
        }
        UrbRequest read;
        Build(read, kReplyEndpoint, m.data(), kMessageSize, USBD_TRANSFER_DIRECTION_IN);
        read.Send(pdo);
        ASSERT_TRUE(read.Wait());
        EXPECT_EQ(read.Status(), c.status);
        EXPECT_EQ(read.urb()->UrbHeader.Status, c.usbd);
        Transact(Command(c.command, false, {static_cast<std::uint16_t>(c.reg)}));  // works again
    }
    // An unanswered read: the reply transfer waits until it is cancelled.
    board->DropNextReply();
    Message m = Command(kRegister, false, {1});
    {
        UrbRequest send;
        Build(send, kCommandEndpoint, m.data(), kMessageSize, USBD_TRANSFER_DIRECTION_OUT);
        send.Send(pdo);
        ASSERT_TRUE(send.Wait());
    }
    UrbRequest read;
    Build(read, kReplyEndpoint, m.data(), kMessageSize, USBD_TRANSFER_DIRECTION_IN);
    read.Send(pdo);
    EXPECT_FALSE(read.Wait(100));
    EXPECT_TRUE(read.Cancel());
    ASSERT_TRUE(read.Wait());
    EXPECT_EQ(read.Status(), STATUS_CANCELLED);
}

}  // namespace
}  // namespace mq5120::test
