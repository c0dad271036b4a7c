// The board streaming through the bus the way the driver streams: eight A/D transfers kept posted,
// each re-posted from its completion routine at DISPATCH_LEVEL, on the real clock; and unplug
// while streaming.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "board_fixture.h"
#include "simclock/condition.h"
#include "simclock/thread.h"

namespace mq5120::test {
namespace {

using namespace std::chrono_literals;

// Eight bulk-in transfers that re-post themselves until stopped; collects what they bring.
class StreamIn {
  public:
    static constexpr int kTransfers = 8;
    static constexpr ULONG kLength = 4096;

    StreamIn(PDEVICE_OBJECT pdo, USBD_PIPE_HANDLE pipe) : pdo_(pdo), pipe_(pipe) {
        for (auto& t : transfers_) {
            t.owner = this;
            t.irp = IoAllocateIrp(static_cast<CCHAR>(pdo->StackSize + 1), FALSE);
            t.buffer.resize(kLength);
        }
    }
    ~StreamIn() {
        Halt();
        if (!Wait())
            return;  // still owned by the bus: leaked rather than freed under it
        for (auto& t : transfers_)
            IoFreeIrp(t.irp);
    }

    void Start() {
        for (auto& t : transfers_) {
            posted_++;
            Post(t);
        }
    }
    // No transfer is posted again once it comes back.
    void Halt() { stopping_ = true; }
    // Waits (bounded) until every transfer has come back.
    bool Wait(int timeoutMs = 5000) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return posted_ == 0; });
    }
    std::vector<std::uint8_t> Bytes() {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::vector<NTSTATUS> Endings() {
        std::lock_guard lock(mutex_);
        return endings_;
    }
    bool AllAtDispatch() const { return !wrongLevel_; }

  private:
    struct Transfer {
        StreamIn* owner;
        PIRP irp;
        URB urb;
        std::vector<std::uint8_t> buffer;
    };

    void Post(Transfer& t) {
        IoReuseIrp(t.irp, STATUS_SUCCESS);
        IoSetNextIrpStackLocation(t.irp);
        std::memset(&t.urb, 0, sizeof t.urb);
        UsbBuildInterruptOrBulkTransferRequest(
            &t.urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe_, t.buffer.data(), nullptr,
            kLength, USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, nullptr);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(t.irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = &t.urb;
        IoSetCompletionRoutine(t.irp, &StreamIn::Completed, &t, TRUE, TRUE, TRUE);
        IoCallDriver(pdo_, t.irp);
    }

    static NTSTATUS Completed(PDEVICE_OBJECT, PIRP irp, PVOID context) {
        auto& t = *static_cast<Transfer*>(context);
        StreamIn& self = *t.owner;
        if (KeGetCurrentIrql() != DISPATCH_LEVEL)
            self.wrongLevel_ = true;
        const NTSTATUS status = irp->IoStatus.Status;
        const ULONG bytes = t.urb.UrbBulkOrInterruptTransfer.TransferBufferLength;
        bool again = false;
        {
            std::lock_guard lock(self.mutex_);
            if (NT_SUCCESS(status))
                self.bytes_.insert(self.bytes_.end(), t.buffer.begin(), t.buffer.begin() + bytes);
            again = NT_SUCCESS(status) && bytes > 0 && !self.stopping_;
            if (!again) {
                self.endings_.push_back(status);
                --self.posted_;
                self.changed_.notify_all();
            }
        }
        if (again)
            self.Post(t);
        return STATUS_MORE_PROCESSING_REQUIRED;
    }

    PDEVICE_OBJECT pdo_;
    USBD_PIPE_HANDLE pipe_;
    Transfer transfers_[kTransfers];
    std::mutex mutex_;
    simclock::ConditionVariable changed_;  // timeouts on the stand-ins' clock
    std::vector<std::uint8_t> bytes_;
    std::vector<NTSTATUS> endings_;
    int posted_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> wrongLevel_{false};
};

class Streaming : public BoardFixture {
  public:
    BoardIdentity MakeIdentity() override {
        BoardIdentity identity;
        identity.boardType = 4;  // 16-bit: the code pattern runs through every value
        return identity;
    }
    // Paced by the stand-ins' clock, run as the virtual clock: the rate holds however slowly the
    // host runs the test.
    std::shared_ptr<TimeSource> Clock() override { return std::make_shared<RealTime>(); }
    simclock::testing::VirtualClock clock;
    void StartAd(std::uint32_t divider) {
        board->SetSignal(0, Signal::Codes(0, 1));
        Write(kAdControl, 0x8000 | kAdControlSingleEnded);
        Write(kAdDividerLow, static_cast<std::uint16_t>(divider));
        Write(kAdDividerHigh, 0);
        Write(kStrobes, kStrobeListReset);
        WriteList({{kChannelList, 0}});
        Write(kStrobes, kStrobeListComplete);
        Transact(Command(kAdTransferSize, true, {1024, 0}));
        Write(kRunEnables, kRunAd);
        Write(kStrobes, kStrobeListComplete | kStrobeAdRun);
        Transact(Command(kAdStart, true, {1}));
    }
};

TEST_F(Streaming, EightRepostedTransfersCarryEverySampleOnce) {
    StreamIn stream(pdo, pipes.at(kAdEndpoint));
    stream.Start();
    const simclock::Duration begin = simclock::Now();
    StartAd(180);  // 100,000 samples/s: 200,000 bytes/s
    simclock::SleepFor(300ms);
    Transact(Command(kAdStop, true, {1}));
    const double seconds = std::chrono::duration<double>(simclock::Now() - begin).count();
    // The whole chunks still in the board come through; then the pipe is aborted (again, for a
    // transfer that was being posted again meanwhile) until every transfer is back.
    simclock::SleepFor(20ms);
    stream.Halt();
    bool back = false;
    for (int i = 0; i < 20 && !back; ++i) {
        UrbRequest abort;
        abort.urb()->UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
        abort.urb()->UrbPipeRequest.PipeHandle = pipes.at(kAdEndpoint);
        EXPECT_EQ(abort.Send(pdo), STATUS_SUCCESS);
        back = stream.Wait(100);
    }
    ASSERT_TRUE(back);
    EXPECT_TRUE(stream.AllAtDispatch());
    const auto bytes = stream.Bytes();
    ASSERT_EQ(bytes.size() % 1024, 0u) << "whole chunks only";
    const std::size_t samples = bytes.size() / 2;
    EXPECT_GT(samples, 100'000 * 0.2) << "paced at 100,000/s for " << seconds << " s";
    EXPECT_LT(samples, 100'000 * (seconds + 0.1));
    for (std::size_t i = 0; i < samples; ++i) {
        const auto value = static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        ASSERT_EQ(value, static_cast<std::uint16_t>(i)) << "sample " << i << " lost or repeated";
    }
    EXPECT_EQ(board->Counters().adOverflows, 0u);
    for (NTSTATUS status : stream.Endings())
        EXPECT_EQ(status, STATUS_CANCELLED);
}

TEST_F(Streaming, UnplugWhileStreamingEndsEveryTransferAsDeviceGone) {
    StreamIn stream(pdo, pipes.at(kAdEndpoint));
    stream.Start();
    StartAd(180);
    std::array<std::uint8_t, 4> status[3] = {};
    std::vector<std::unique_ptr<UrbRequest>> statusReads;
    for (auto& buffer : status) {
        statusReads.push_back(std::make_unique<UrbRequest>());
        Build(*statusReads.back(), kStatusEndpoint, buffer.data(), 4, USBD_TRANSFER_DIRECTION_IN);
        EXPECT_EQ(statusReads.back()->Send(pdo), STATUS_PENDING);
    }
    simclock::SleepFor(50ms);
    bus.Unplug(pdo);
    ASSERT_TRUE(stream.Wait());
    const auto endings = stream.Endings();
    ASSERT_EQ(endings.size(), 8u);
    for (NTSTATUS ending : endings)
        EXPECT_EQ(ending, STATUS_DEVICE_NOT_CONNECTED);
    for (auto& read : statusReads) {
        ASSERT_TRUE(read->Wait());
        EXPECT_EQ(read->Status(), STATUS_DEVICE_NOT_CONNECTED);
        EXPECT_EQ(read->urb()->UrbHeader.Status, USBD_STATUS_DEVICE_GONE);
    }
    EXPECT_EQ(usb::testing::SendPnp(pdo, IRP_MJ_PNP, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
    EXPECT_EQ(usb::testing::SendPnp(pdo, IRP_MJ_PNP, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    EXPECT_TRUE(bus.WaitDeleted(pdo));
}

}  // namespace
}  // namespace mq5120::test
