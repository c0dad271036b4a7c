// The USB tests' fixture: a test driver's device attached through a UsbTarget to a simulated
// MQ5120 board on the bus stand-in, with the board's six pipes as the driver binds them, and the
// driver's pool ledger checked after every test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "../framework_testing.h"
#include "framework/usb_target.h"
#include "kernel/loader.h"
#include "mq5120/board.h"
#include "usb/bus.h"

namespace wdm_usb_test {

using Message = std::array<std::uint8_t, mq5120::kMessageSize>;

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

// The board's pipes, in the order of the binding table.
struct BoardPipes {
    wdm::UsbInterface interface;
    wdm::UsbPipe command, reply, status, da, spare;
    wdm::UsbPipe ad{0x10000};  // asks for a larger maximum transfer size
    std::array<wdm::PipeBinding, 6> Table(UCHAR configuration = 1) {
        return {{{configuration, 0, 0, mq5120::kCommandEndpoint, &interface, &command},
                 {configuration, 0, 0, mq5120::kReplyEndpoint, &interface, &reply},
                 {configuration, 0, 0, mq5120::kStatusEndpoint, &interface, &status},
                 {configuration, 0, 0, mq5120::kAdEndpoint, &interface, &ad},
                 {configuration, 0, 0, mq5120::kDaEndpoint, &interface, &da},
                 {configuration, 0, 0, mq5120::kSpareEndpoint, &interface, &spare}}};
    }
};

inline NTSTATUS NoDispatch(PDRIVER_OBJECT, PUNICODE_STRING) {
    return STATUS_SUCCESS;
}

// A device object of a test driver attached above a PDO of the bus.
class AttachedDevice {
  public:
    explicit AttachedDevice(PDEVICE_OBJECT pdo) {
        EXPECT_EQ(kernel::LoadDriver(u"wdmusbtest", NoDispatch, u"", &driver_), STATUS_SUCCESS);
        EXPECT_EQ(IoCreateDevice(driver_, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device_),
                  STATUS_SUCCESS);
        target = std::make_unique<wdm::UsbTarget>();
        status = target->Attach(device_, pdo);
    }
    ~AttachedDevice() {
        target->Detach();
        target.reset();
        IoDeleteDevice(device_);
        kernel::UnloadDriver(driver_);
    }
    PDEVICE_OBJECT Device() const { return device_; }

    std::unique_ptr<wdm::UsbTarget> target;
    NTSTATUS status = STATUS_UNSUCCESSFUL;

  private:
    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
};

class UsbFixture : public wdm_test::PoolCheckedTest {
  protected:
    virtual mq5120::BoardIdentity Identity() { return {}; }
    virtual std::shared_ptr<mq5120::TimeSource> Clock() {
        return std::make_shared<mq5120::ManualTime>();
    }

    // What is plugged in: the board, or a test's model in front of it.
    virtual std::shared_ptr<usb::DeviceModel> Model() { return board; }

    void SetUp() override {
        board = std::make_shared<mq5120::Board>(Identity(), Clock());
        pdo = bus.Plug(Model());
        ASSERT_NE(pdo, nullptr);
        device = std::make_unique<AttachedDevice>(pdo);
        ASSERT_EQ(device->status, STATUS_SUCCESS);
    }
    void TearDown() override {
        device.reset();
        PoolCheckedTest::TearDown();
    }
    wdm::UsbTarget& Target() { return *device->target; }

    void Select() {
        auto table = pipes.Table();
        ULONG failing = 0;
        ASSERT_EQ(Target().SelectConfiguration(1, table.data(), 6, &failing, 1024),
                  wdm::SelectResult::kSuccess);
    }

    // One synchronous transfer of `length` bytes on the pipe.
    NTSTATUS Transfer(const wdm::UsbPipe& pipe, void* buffer, ULONG length, bool in,
                      ULONG timeoutMs = 0, ULONG* moved = nullptr, USBD_STATUS* usbd = nullptr) {
        URB urb;
        wdm::UsbTarget::BuildTransferUrb(pipe, buffer, length, in, false, nullptr, &urb);
        const NTSTATUS status = Target().SubmitUrb(&urb, timeoutMs);
        if (moved != nullptr)
            *moved = urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
        if (usbd != nullptr)
            *usbd = urb.UrbHeader.Status;
        return status;
    }

    // A command transaction as the driver runs it: 512 bytes out on 0x01, and for a read the
    // 512-byte reply in on 0x81.
    NTSTATUS Transact(Message& message) {
        Message out = message;
        NTSTATUS status = Transfer(pipes.command, out.data(), mq5120::kMessageSize, false);
        if (!NT_SUCCESS(status) || message[1] != 0)
            return status;
        ULONG moved = 0;
        status = Transfer(pipes.reply, message.data(), mq5120::kMessageSize, true, 0, &moved);
        EXPECT_EQ(moved, mq5120::kMessageSize);
        return status;
    }

    usb::Bus bus;  // destroyed last: the PDO outlives the attached device
    std::shared_ptr<mq5120::Board> board;
    PDEVICE_OBJECT pdo = nullptr;
    std::unique_ptr<AttachedDevice> device;
    BoardPipes pipes;
};

}  // namespace wdm_usb_test
