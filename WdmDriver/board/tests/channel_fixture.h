// The fixture of the protocol tests: a simulated MQ5120 board on the bus stand-in, a device of a
// test driver attached to it through a UsbTarget with configuration 1 selected and the board's six
// pipes bound, and the driver's pool ledger checked after every test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "framework/pool.h"
#include "framework/usb_target.h"
#include "kernel/loader.h"
#include "kernel/testing.h"
#include "mq5120/board.h"
#include "usb/bus.h"

namespace board_test {

inline NTSTATUS NoEntry(PDRIVER_OBJECT, PUNICODE_STRING) {
    return STATUS_SUCCESS;
}

struct Pipes {
    wdm::UsbInterface interface;
    wdm::UsbPipe command, reply, status, ad, da, spare;
};

class ChannelFixture : public ::testing::Test {
  protected:
    virtual mq5120::BoardIdentity Identity() { return {}; }

    void SetUp() override {
        board = std::make_shared<mq5120::Board>(Identity(), std::make_shared<mq5120::ManualTime>());
        pdo = bus.Plug(board);
        ASSERT_NE(pdo, nullptr);
        ASSERT_EQ(kernel::LoadDriver(u"boardtest", NoEntry, u"", &driver_), STATUS_SUCCESS);
        ASSERT_EQ(IoCreateDevice(driver_, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device_),
                  STATUS_SUCCESS);
        target = std::make_unique<wdm::UsbTarget>();
        ASSERT_EQ(target->Attach(device_, pdo), STATUS_SUCCESS);
        const UCHAR c = 1;
        const wdm::PipeBinding table[] = {
            {c, 0, 0, 0x01, &pipes.interface, &pipes.command},
            {c, 0, 0, 0x81, &pipes.interface, &pipes.reply},
            {c, 0, 0, 0x86, &pipes.interface, &pipes.status},
            {c, 0, 0, 0x88, &pipes.interface, &pipes.ad},
            {c, 0, 0, 0x04, &pipes.interface, &pipes.da},
            {c, 0, 0, 0x02, &pipes.interface, &pipes.spare},
        };
        ULONG failing = 0;
        ASSERT_EQ(target->SelectConfiguration(1, table, 6, &failing, 1024),
                  wdm::SelectResult::kSuccess);
        board->ClearLog();
    }
    void TearDown() override {
        if (target) {
            target->Detach();
            target.reset();
        }
        if (device_ != nullptr)
            IoDeleteDevice(device_);
        if (driver_ != nullptr)
            kernel::UnloadDriver(driver_);
        EXPECT_EQ(kernel::testing::PoolOutstanding(wdm::kPoolTag), kernel::testing::PoolUsage{});
    }

    // The command messages the board received, each cut to its first `prefix` bytes; the rest of
    // every message must be zero.
    std::vector<std::vector<std::uint8_t>> Sent(std::size_t prefix) {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& logged : board->Commands()) {
            for (std::size_t i = prefix; i < logged.bytes.size(); ++i)
                EXPECT_EQ(logged.bytes[i], 0)
                    << "byte " << i << " of command " << int(logged.bytes[0]);
            out.emplace_back(logged.bytes.begin(), logged.bytes.begin() + prefix);
        }
        return out;
    }

    usb::Bus bus;  // destroyed last
    std::shared_ptr<mq5120::Board> board;
    PDEVICE_OBJECT pdo = nullptr;
    std::unique_ptr<wdm::UsbTarget> target;
    Pipes pipes;

  private:
    PDRIVER_OBJECT driver_ = nullptr;
    PDEVICE_OBJECT device_ = nullptr;
};

}  // namespace board_test
