// A port sleeps while its transfers wait: a waiting transfer is tried again at the end of the bus
// frame that holds the time its device named (on the stand-ins' clock, here the virtual one), with
// every other port due in that frame, or when the device wakes the port, and not in between. The
// tests begin on a frame boundary, so that times named in whole milliseconds end frames.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "simclock/condition.h"
#include "simclock/thread.h"
#include "usb_test_support.h"

namespace usb::test {
namespace {

using namespace std::chrono_literals;

class Pacing : public BusFixture {
  protected:
    void SetUp() override {
        BusFixture::SetUp();
        simclock::SleepFor(BusFrameEnd(simclock::Now() + 1ns) - simclock::Now());
    }
    simclock::testing::VirtualClock clock;
};

TEST_F(Pacing, AWaitingTransferIsTriedAgainWhenItsTimeComesAndNotBefore) {
    const simclock::Duration start = simclock::Now();
    device->OfferAt(ScriptedDevice::kBulkIn, Bytes(10, 0x5A), start + 250ms);  // short: ends it
    Bytes buffer(64);
    UrbRequest request;
    Build(request, ScriptedDevice::kBulkIn, buffer.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    EXPECT_EQ(request.Send(pdo), STATUS_PENDING);
    ASSERT_TRUE(request.Wait());
    EXPECT_EQ(simclock::Now() - start, 250ms) << "completed when the data came";
    EXPECT_EQ(request.Status(), STATUS_SUCCESS);
    EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 10u);
    EXPECT_EQ(device->InCalls(ScriptedDevice::kBulkIn), 2) << "at the submission and at 250 ms";
}

// Without a time named, only a Wake moves a waiting transfer: seconds pass without a look.
TEST_F(Pacing, WithoutATimeNamedTheThreadWaitsForTheDevicesWake) {
    Bytes buffer(64);
    UrbRequest request;
    Build(request, ScriptedDevice::kBulkIn, buffer.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    EXPECT_EQ(request.Send(pdo), STATUS_PENDING);
    simclock::SleepFor(3s);
    EXPECT_FALSE(request.Done());
    EXPECT_EQ(device->InCalls(ScriptedDevice::kBulkIn), 1);
    device->Offer(ScriptedDevice::kBulkIn, Bytes(3, 1));
    ASSERT_TRUE(request.Wait());
    EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 3u);
}

// Each waiting transfer keeps its own time: the try that another pipe's time or data brings does
// not ask a device that named a later time again, while a wake of the device tries every pipe.
TEST_F(Pacing, AnotherPipesTimeDoesNotTryATransferBeforeItsOwn) {
    const simclock::Duration start = simclock::Now();
    struct Case {
        const char* name;
        bool wokenMeanwhile;  // the device wakes the bus for the bulk endpoint's data
        int interruptTriesBeforeItsTime;
    };
    const Case cases[] = {{"by time", false, 1}, {"by a wake", true, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const simclock::Duration at = simclock::Now();
        const int before = device->InCalls(ScriptedDevice::kInterruptIn);
        if (!c.wokenMeanwhile)
            device->OfferAt(ScriptedDevice::kBulkIn, Bytes(10, 0x5A), at + 250ms);
        device->OfferAt(ScriptedDevice::kInterruptIn, Bytes(3, 0x11), at + 1s);
        Bytes bulkBuffer(64), interruptBuffer(8);
        UrbRequest bulk, interrupt;
        Build(bulk, ScriptedDevice::kBulkIn, bulkBuffer.data(), 64,
              USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        Build(interrupt, ScriptedDevice::kInterruptIn, interruptBuffer.data(), 8,
              USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
        // The bulk transfer first: whatever passes its submission brings, the interrupt transfer
        // is tried once on its own submission.
        EXPECT_EQ(bulk.Send(pdo), STATUS_PENDING);
        EXPECT_EQ(interrupt.Send(pdo), STATUS_PENDING);
        if (c.wokenMeanwhile) {
            simclock::SleepFor(250ms);
            device->Offer(ScriptedDevice::kBulkIn, Bytes(10, 0x5A));
        }
        ASSERT_TRUE(bulk.Wait());
        EXPECT_EQ(bulk.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 10u);
        EXPECT_FALSE(interrupt.Done());
        EXPECT_EQ(device->InCalls(ScriptedDevice::kInterruptIn) - before,
                  c.interruptTriesBeforeItsTime);
        ASSERT_TRUE(interrupt.Wait());
        EXPECT_EQ(simclock::Now() - at, 1s) << "completed when its data came";
        EXPECT_EQ(interrupt.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 3u);
        EXPECT_EQ(device->InCalls(ScriptedDevice::kInterruptIn) - before,
                  c.interruptTriesBeforeItsTime + 1);
    }
    EXPECT_EQ(simclock::Now() - start, 2s);
}

// An OUT message the device takes may make data appear on another pipe without a wake: a transfer
// that waited there is tried again in the next pass, here the one another pipe's time brings.
TEST_F(Pacing, AnOutMessageTakenMakesTheNextPassTryEveryWaitingTransfer) {
    const simclock::Duration start = simclock::Now();
    device->OfferOnOut(ScriptedDevice::kBulkIn, Bytes(5, 0x42));
    device->OfferAt(ScriptedDevice::kInterruptIn, Bytes(3, 0x11), start + 1s);
    Bytes inBuffer(64), interruptBuffer(8), command(4, 0x07);
    UrbRequest in, interrupt, out;
    Build(in, ScriptedDevice::kBulkIn, inBuffer.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    Build(interrupt, ScriptedDevice::kInterruptIn, interruptBuffer.data(), 8,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    Build(out, ScriptedDevice::kBulkOut, command.data(), 4, USBD_TRANSFER_DIRECTION_OUT);
    EXPECT_EQ(in.Send(pdo), STATUS_PENDING);
    EXPECT_EQ(interrupt.Send(pdo), STATUS_PENDING);
    EXPECT_EQ(out.Send(pdo), STATUS_PENDING);
    ASSERT_TRUE(out.Wait());
    ASSERT_TRUE(interrupt.Wait());
    ASSERT_TRUE(in.Wait());
    EXPECT_EQ(simclock::Now() - start, 1s) << "tried again in the pass at the interrupt's time";
    EXPECT_EQ(in.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 5u);
}

// Two devices whose data come within one frame complete together at its end; a device whose data
// come in the next frame waits for that frame's end.
TEST_F(Pacing, TransfersDueInOneFrameCompleteTogetherAtItsEnd) {
    auto second = std::make_shared<ScriptedDevice>();
    PDEVICE_OBJECT secondPdo = bus.Plug(second);
    ASSERT_NE(secondPdo, nullptr);
    std::map<std::uint8_t, USBD_PIPE_HANDLE> secondPipes;
    Select(secondPdo, *second, secondPipes);

    const simclock::Duration start = simclock::Now();
    const simclock::Duration offers[] = {300us, 700us};
    device->OfferAt(ScriptedDevice::kBulkIn, Bytes(10, 0x5A), start + offers[0]);
    second->OfferAt(ScriptedDevice::kBulkIn, Bytes(10, 0xA5), start + offers[1]);
    device->OfferAt(ScriptedDevice::kInterruptIn, Bytes(3, 0x11), start + 1100us);
    Bytes first(64), other(64), late(8);
    UrbRequest a, b, c;
    Build(a, ScriptedDevice::kBulkIn, first.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    Build(b, ScriptedDevice::kBulkIn, other.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, secondPipes);
    Build(c, ScriptedDevice::kInterruptIn, late.data(), 8,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    EXPECT_EQ(a.Send(pdo), STATUS_PENDING);
    EXPECT_EQ(b.Send(secondPdo), STATUS_PENDING);
    EXPECT_EQ(c.Send(pdo), STATUS_PENDING);
    ASSERT_TRUE(simclock::testing::Settle());  // the passes the submissions brought are over
    const int firstTries = device->InCalls(ScriptedDevice::kBulkIn);
    const int secondTries = second->InCalls(ScriptedDevice::kBulkIn);
    ASSERT_TRUE(a.Wait());
    EXPECT_EQ(simclock::Now() - start, kBusFrame);
    ASSERT_TRUE(b.Wait());
    EXPECT_EQ(simclock::Now() - start, kBusFrame) << "in the same frame's pass";
    EXPECT_FALSE(c.Done());
    ASSERT_TRUE(c.Wait());
    EXPECT_EQ(simclock::Now() - start, 2 * kBusFrame);
    EXPECT_EQ(device->InCalls(ScriptedDevice::kBulkIn) - firstTries, 1) << "once, at 1 ms";
    EXPECT_EQ(second->InCalls(ScriptedDevice::kBulkIn) - secondTries, 1);
}

// The clock moves on while the device names its time: the port counts that time from the reading
// before it asked, so the transfer is tried when its data comes, not a step later.
class ManualPacing : public BusFixture {
  protected:
    void SetUp() override {
        BusFixture::SetUp();
        manual.Advance(BusFrameEnd(simclock::Now() + 1ns) - simclock::Now());
    }
    simclock::testing::ManualClock manual;
};

TEST_F(ManualPacing, AClockMovedOnWhileTheDeviceNamesItsTimeMakesTheRetryEarlyNeverLate) {
    const simclock::Duration start = simclock::Now();
    device->OfferAt(ScriptedDevice::kBulkIn, Bytes(10, 0x5A), start + 250ms);
    std::atomic<bool> named{false};
    device->AfterNamingTime([&] {
        simclock::testing::Advance(100ms);
        named = true;
    });
    Bytes buffer(64);
    UrbRequest request;
    Build(request, ScriptedDevice::kBulkIn, buffer.data(), 64,
          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK);
    EXPECT_EQ(request.Send(pdo), STATUS_PENDING);
    const auto bound = std::chrono::steady_clock::now() + 10s;
    while (!named && std::chrono::steady_clock::now() < bound)
        std::this_thread::yield();
    ASSERT_TRUE(named);
    EXPECT_FALSE(request.Wait(20)) << "no data before its time";
    manual.Advance(150ms);  // the data's time
    ASSERT_TRUE(request.Wait());
    EXPECT_EQ(request.urb()->UrbBulkOrInterruptTransfer.TransferBufferLength, 10u);
}

}  // namespace
}  // namespace usb::test
