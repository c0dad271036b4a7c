// A simulated board plugged into a bus and configured, with the host side of the protocol as a
// driver would drive it: 512-byte transactions, register access, status and A/D reads.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <vector>

#include "mq5120/board.h"
#include "usb/bus.h"
#include "usb/testing.h"
#include "usb/usbdlib.h"

namespace mq5120::test {

using Message = std::array<std::uint8_t, kMessageSize>;
using Bytes = std::vector<std::uint8_t>;
using usb::testing::UrbRequest;

inline Message Command(std::uint8_t code, bool write, std::vector<std::uint16_t> words = {}) {
    Message m{};
    m[0] = code;
    m[1] = write ? 1 : 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        m[2 + 2 * i] = static_cast<std::uint8_t>(words[i]);
        m[3 + 2 * i] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    return m;
}
inline std::uint16_t WordOf(const Message& m, std::size_t n) {
    return static_cast<std::uint16_t>(m[2 * n] | (m[2 * n + 1] << 8));
}

class BoardFixture : public ::testing::Test {
  public:
    virtual BoardIdentity MakeIdentity() { return {}; }
    // The clock that paces the board: the manual `time` unless a test runs on real time.
    virtual std::shared_ptr<TimeSource> Clock() { return time; }

    void SetUp() override { Plug(MakeIdentity()); }

    void Plug(const BoardIdentity& identity) {
        pipes.clear();
        maxPacket.clear();
        board = std::make_shared<Board>(identity, Clock());
        pdo = bus.Plug(board);
        ASSERT_NE(pdo, nullptr);
        Bytes config = GetDescriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 1024);
        auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config.data());
        USBD_INTERFACE_LIST_ENTRY list[2] = {};
        list[0].InterfaceDescriptor = USBD_ParseConfigurationDescriptorInBuffer(
            descriptor, static_cast<ULONG>(config.size()), descriptor, 0, 0, -1, -1, -1);
        ASSERT_NE(list[0].InterfaceDescriptor, nullptr);
        PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
        {
            UrbRequest request(select);
            ASSERT_EQ(request.Send(pdo), STATUS_SUCCESS);
        }
        for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i) {
            const auto& pipe = list[0].Interface->Pipes[i];
            pipes[pipe.EndpointAddress] = pipe.PipeHandle;
            maxPacket[pipe.EndpointAddress] = pipe.MaximumPacketSize;
        }
        ExFreePool(select);
    }

    Bytes GetDescriptor(UCHAR type, ULONG length) {
        Bytes buffer(length);
        UrbRequest request;
        UsbBuildGetDescriptorRequest(request.urb(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), type,
                                     0, 0, buffer.data(), nullptr, length, nullptr);
        EXPECT_EQ(request.Send(pdo), STATUS_SUCCESS);
        buffer.resize(request.urb()->UrbControlDescriptorRequest.TransferBufferLength);
        return buffer;
    }

    void Build(UrbRequest& request, std::uint8_t endpoint, void* buffer, ULONG length,
               ULONG flags) {
        UsbBuildInterruptOrBulkTransferRequest(
            request.urb(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipes.at(endpoint), buffer,
            nullptr, length, flags, nullptr);
    }

    // Sends a message on the command pipe and, for a read, returns the reply.
    Message Transact(const Message& message) {
        Message out = message;
        {
            UrbRequest send;
            Build(send, kCommandEndpoint, out.data(), kMessageSize, USBD_TRANSFER_DIRECTION_OUT);
            send.Send(pdo);
            EXPECT_TRUE(send.Wait());
            EXPECT_EQ(send.Status(), STATUS_SUCCESS);
        }
        if (message[1] != 0)
            return out;
        UrbRequest reply;
        Build(reply, kReplyEndpoint, out.data(), kMessageSize, USBD_TRANSFER_DIRECTION_IN);
        reply.Send(pdo);
        EXPECT_TRUE(reply.Wait());
        EXPECT_EQ(reply.Status(), STATUS_SUCCESS);
        EXPECT_EQ(reply.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, kMessageSize);
        return out;
    }

    void Write(std::uint16_t reg, std::uint16_t value) {
        Transact(Command(kRegister, true, {reg, value}));
    }
    std::uint16_t Read(std::uint16_t reg) {
        return WordOf(Transact(Command(kRegister, false, {reg})), 1);
    }
    void WriteList(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& pairs) {
        std::vector<std::uint16_t> words = {static_cast<std::uint16_t>(pairs.size() * 4)};
        for (auto [reg, value] : pairs) {
            words.push_back(reg);
            words.push_back(value);
        }
        Transact(Command(kRegisterList, true, words));
    }

    // One status read: the 4-byte message, or none when nothing came within the wait.
    std::optional<StatusMessage> ReadStatus(int waitMs = 2000) {
        std::array<std::uint8_t, 4> buffer{};
        UrbRequest request;
        Build(request, kStatusEndpoint, buffer.data(), 4, USBD_TRANSFER_DIRECTION_IN);
        request.Send(pdo);
        if (!request.Wait(waitMs))
            return std::nullopt;  // (cancelled by the request's destructor)
        EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 4u);
        return StatusMessage{static_cast<std::uint16_t>(buffer[0] | (buffer[1] << 8)),
                             static_cast<std::uint16_t>(buffer[2] | (buffer[3] << 8))};
    }

    std::shared_ptr<ManualTime> time = std::make_shared<ManualTime>();
    usb::Bus bus;
    std::shared_ptr<Board> board;
    PDEVICE_OBJECT pdo = nullptr;
    std::map<std::uint8_t, USBD_PIPE_HANDLE> pipes;
    std::map<std::uint8_t, USHORT> maxPacket;
};

}  // namespace mq5120::test
