// The bulk-out stream on the simulated board: a write cut into messages behind their headers, the
// write queue's cancel that waits for the write's transfers, Send using only free transfers,
// removal while sending (and while the owner is being destroyed), and the fault pairs.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "../queue_testing.h"
#include "framework/stream_out_transfers.h"
#include "framework/write_queue.h"
#include "usb_fixture.h"
#include "usb_stream_testing.h"

namespace wdm_usb_test {
namespace {

using namespace mq5120;
using namespace std::chrono_literals;
using wdm::StreamOutTransfers;
using Bytes = std::vector<std::uint8_t>;

// The board behind a recorder of D/A messages, which can also hold them back (flow control).
class DaRecorder : public usb::DeviceModel {
  public:
    explicit DaRecorder(std::shared_ptr<Board> board) : board_(std::move(board)) {}
    std::vector<std::uint8_t> DeviceDescriptor() override { return board_->DeviceDescriptor(); }
    std::vector<std::uint8_t> ConfigurationDescriptor(std::uint8_t index) override {
        return board_->ConfigurationDescriptor(index);
    }
    void Connected(usb::DevicePort* port) override {
        {
            std::lock_guard lock(mutex_);
            port_ = port;
        }
        board_->Connected(port);
    }
    void ConfigurationSelected(std::uint8_t value) override {
        board_->ConfigurationSelected(value);
    }
    void PipeReset(std::uint8_t endpoint) override { board_->PipeReset(endpoint); }
    void PipeAborted(std::uint8_t endpoint) override { board_->PipeAborted(endpoint); }
    usb::InResult In(std::uint8_t endpoint, std::span<std::uint8_t> room,
                     std::uint16_t maxPacket) override {
        return board_->In(endpoint, room, maxPacket);
    }
    usb::OutResult Out(std::uint8_t endpoint, std::span<const std::uint8_t> data) override {
        if (endpoint == kDaEndpoint) {
            std::lock_guard lock(mutex_);
            if (hold_)
                return usb::OutResult::Held;
            messages_.emplace_back(data.begin(), data.end());
        }
        return board_->Out(endpoint, data);
    }
    std::optional<std::chrono::nanoseconds> RetryAfter(std::uint8_t endpoint,
                                                       std::size_t wanted) override {
        return board_->RetryAfter(endpoint, wanted);
    }

    void Hold(bool hold) {
        usb::DevicePort* port;
        {
            std::lock_guard lock(mutex_);
            hold_ = hold;
            port = port_;
        }
        if (!hold && port != nullptr)
            port->Wake();
    }
    std::vector<Bytes> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        messages_.clear();
    }

  private:
    std::shared_ptr<Board> board_;
    std::mutex mutex_;
    usb::DevicePort* port_ = nullptr;
    bool hold_ = false;
    std::vector<Bytes> messages_;
};

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
    return out;
}

// The samples the messages carried, after checking each header.
Bytes Payload(const std::vector<Bytes>& messages, std::vector<std::uint32_t>* counts) {
    Bytes out;
    for (const Bytes& m : messages) {
        EXPECT_GE(m.size(), 512u);
        const std::uint32_t count =
            m[0] | (m[1] << 8) | (m[2] << 16) | (static_cast<std::uint32_t>(m[3]) << 24);
        EXPECT_EQ(m.size(), 512u + count);
        EXPECT_TRUE(std::all_of(m.begin() + 4, m.begin() + 512, [](auto b) { return b == 0; }))
            << "header bytes behind the count are zero";
        counts->push_back(count);
        out.insert(out.end(), m.begin() + 512, m.end());
    }
    return out;
}

class StreamOutTest : public UsbFixture {
  protected:
    std::shared_ptr<usb::DeviceModel> Model() override {
        recorder = std::make_shared<DaRecorder>(board);
        return recorder;
    }
    void SetUp() override {
        UsbFixture::SetUp();
        Select();
    }
    void TearDown() override {
        if (recorder)
            recorder->Hold(false);
        UsbFixture::TearDown();
    }
    std::unique_ptr<StreamOutTransfers> MakeStream(RecordingOutOwner* owner) {
        auto stream = std::make_unique<StreamOutTransfers>(owner, &Target(), &pipes.da);
        EXPECT_EQ(stream->Create(), STATUS_SUCCESS);
        return stream;
    }

    std::shared_ptr<DaRecorder> recorder;
    RecordingOutOwner owner;
};

TEST_F(StreamOutTest, AWriteGoesOutInChunksBehindTheirHeaders) {
    struct Case {
        ULONG total;
        std::vector<std::uint32_t> counts;
    };
    const Case cases[] = {
        {10000, {3584, 3584, 2832}},
        {3584, {3584}},
        {0, {0}},  // one message with the header alone
        {40000, {3584, 3584, 3584, 3584, 3584, 3584, 3584, 3584, 3584, 3584, 3584, 576}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        recorder->Clear();
        RecordingOutOwner seen;
        auto stream = MakeStream(&seen);
        const Bytes data = Pattern(c.total, static_cast<std::uint8_t>(c.total));
        ASSERT_EQ(stream->Send(data.data(), c.total), STATUS_SUCCESS);
        ASSERT_TRUE(wdm_test::WaitUntil([&] { return seen.Ends().size() == 1; }));
        EXPECT_EQ(seen.Ends()[0], STATUS_SUCCESS);
        EXPECT_EQ(stream->CompletedBytes(), c.total);
        std::vector<std::uint32_t> counts;
        EXPECT_EQ(Payload(recorder->Messages(), &counts), data);
        EXPECT_EQ(counts, c.counts);
        stream.reset();
        EXPECT_EQ(seen.Ends().size(), 1u);
        EXPECT_FALSE(seen.WrongLevel());
    }
    EXPECT_EQ(board->Counters().protocolErrors, 0u);
    EXPECT_EQ(board->DaMemorySamples(), (10000 + 3584 + 40000) / 2u);
}

TEST_F(StreamOutTest, ASingleBufferWriteStaysCurrentWhileRunning) {
    owner.singleBuffer = true;
    auto stream = MakeStream(&owner);
    const Bytes data = Pattern(5000, 1);
    ASSERT_EQ(stream->Send(data.data(), 5000), STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return stream->CompletedBytes() == 5000; }));
    stream.reset();
    EXPECT_TRUE(owner.Ends().empty());
}

TEST_F(StreamOutTest, CancelledTransfersAreBackBeforeTheNextWriteStarts) {
    auto stream = MakeStream(&owner);
    // Nothing posted: the report comes at once.
    stream->CancelTransfers();
    EXPECT_EQ(owner.Returned(), 1);

    recorder->Hold(true);
    const Bytes first = Pattern(20000, 3);
    ASSERT_EQ(stream->Send(first.data(), 20000), STATUS_SUCCESS);
    ASSERT_EQ(stream->Posted(), 6u);
    stream->CancelTransfers();
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return owner.Returned() == 2; }));
    EXPECT_EQ(stream->Posted(), 0u);
    EXPECT_TRUE(owner.Ends().empty()) << "the cancelled write is the queue's to complete";

    recorder->Hold(false);
    const Bytes second = Pattern(1000, 9);
    ASSERT_EQ(stream->Send(second.data(), 1000), STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return owner.Ends().size() == 1; }));
    EXPECT_EQ(owner.Ends()[0], STATUS_SUCCESS);
    EXPECT_EQ(stream->CompletedBytes(), 1000u) << "nothing of the cancelled write counted";
    std::vector<std::uint32_t> counts;
    EXPECT_EQ(Payload(recorder->Messages(), &counts), second);
    EXPECT_FALSE(owner.WrongLevel());
    stream.reset();
    EXPECT_EQ(owner.Returned(), 2);
}

TEST_F(StreamOutTest, SendUsesOnlyTransfersThatAreNotPosted) {
    auto stream = MakeStream(&owner);
    recorder->Hold(true);
    const Bytes first = Pattern(10000, 5);
    ASSERT_EQ(stream->Send(first.data(), 10000), STATUS_SUCCESS);
    ASSERT_EQ(stream->Posted(), 3u);
    const Bytes second = Pattern(20000, 77);
    ASSERT_EQ(stream->Send(second.data(), 20000), STATUS_SUCCESS);
    EXPECT_EQ(stream->Posted(), 8u) << "three still out, five free ones taken";
    recorder->Hold(false);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return owner.Ends().size() == 1; }));
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return stream->Posted() == 0; }));
    EXPECT_EQ(owner.Ends()[0], STATUS_SUCCESS);
    EXPECT_EQ(stream->CompletedBytes(), 20000u);
    const auto messages = recorder->Messages();
    ASSERT_EQ(messages.size(), 3u + 6u);
    std::vector<std::uint32_t> counts;
    EXPECT_EQ(Payload({messages.begin(), messages.begin() + 3}, &counts), first);
    EXPECT_EQ(Payload({messages.begin() + 3, messages.end()}, &counts), second);
    stream.reset();
    EXPECT_EQ(owner.Ends().size(), 1u);
}

TEST_F(StreamOutTest, RemovalWhileSendingEndsTheWriteUnlessTheOwnerIsDestroyed) {
    struct Case {
        const char* name;
        LONG state;
        LONG stateAfter;
        std::vector<NTSTATUS> ends;
    };
    const Case cases[] = {
        {"running", 4, wdm::kOutStateStopping, {STATUS_CANCELLED}},
        {"being destroyed", wdm::kStreamStateDestroyed, wdm::kStreamStateDestroyed, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh board per case: the unplugged one stays gone.
        board = std::make_shared<Board>(Identity(), Clock());
        recorder = std::make_shared<DaRecorder>(board);
        device.reset();
        pdo = bus.Plug(recorder);
        device = std::make_unique<AttachedDevice>(pdo);
        Select();
        RecordingOutOwner seen;
        seen.state = c.state;
        auto stream = MakeStream(&seen);
        recorder->Hold(true);
        const Bytes data = Pattern(20000, 1);
        ASSERT_EQ(stream->Send(data.data(), 20000), STATUS_SUCCESS);
        ASSERT_EQ(stream->Posted(), 6u);
        bus.Unplug(pdo);
        stream.reset();  // waits for every transfer and for the work item
        EXPECT_EQ(seen.State(), c.stateAfter);
        EXPECT_EQ(seen.Ends(), c.ends);
        EXPECT_FALSE(seen.WrongLevel());
    }
}

TEST_F(StreamOutTest, FaultPairsReachTheOwner) {
    struct Case {
        const char* name;
        usb::Fault fault;
        LONG state;
        std::vector<wdm::TransferEvent> events;
        std::vector<NTSTATUS> ends;
    };
    const Case cases[] = {
        {"transaction error while running",
         usb::Fault::TransactionError,
         wdm::kStreamStateRunningLast,
         {wdm::TransferEvent::kRecovery},
         {}},
        {"transaction error while idle",
         usb::Fault::TransactionError,
         wdm::kStreamStateIdle,
         {},
         {STATUS_CANCELLED}},
        {"data error",
         usb::Fault::DataError,
         wdm::kStreamStateRunningLast,
         {wdm::TransferEvent::kDeviceRemoved},
         {STATUS_CANCELLED}},
        {"stall", usb::Fault::Stall, wdm::kStreamStateRunningLast, {}, {STATUS_CANCELLED}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingOutOwner seen;
        seen.state = c.state;
        auto stream = MakeStream(&seen);
        bus.InjectFault(pdo, kDaEndpoint, c.fault);
        const Bytes data = Pattern(1000, 2);
        stream->Send(data.data(), 1000);
        ASSERT_TRUE(wdm_test::WaitUntil([&] { return stream->Posted() == 0; }));
        stream.reset();
        EXPECT_EQ(seen.Events(), c.events);
        EXPECT_EQ(seen.Ends(), c.ends);
        if (c.fault == usb::Fault::Stall) {
            EXPECT_EQ(Target().ResetPipe(pipes.da), STATUS_SUCCESS);
        }
    }
}

TEST_F(StreamOutTest, AFailedTransferEndsTheWriteOnceWhenTheOthersAreBack) {
    owner.state = 0;
    auto stream = MakeStream(&owner);
    bus.InjectFault(pdo, kDaEndpoint, usb::Fault::TransactionError);
    const Bytes data = Pattern(40000, 4);
    ASSERT_EQ(stream->Send(data.data(), 40000), STATUS_SUCCESS);
    ASSERT_TRUE(wdm_test::WaitUntil([&] { return !owner.Ends().empty(); }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(owner.Ends(), std::vector<NTSTATUS>{STATUS_CANCELLED});
    EXPECT_EQ(stream->Posted(), 0u) << "the end comes after the last transfer is back";
    // The other transfers carried every other chunk.
    EXPECT_EQ(recorder->Messages().size(), 11u);
    EXPECT_EQ(stream->CompletedBytes(), 40000u - 3584u);
}

// The D/A object between its write queue and its stream, as far as writes go.
class QueueingOwner : public RecordingOutOwner {
  public:
    wdm::WriteQueue* queue = nullptr;
    StreamOutTransfers* stream = nullptr;
    void WriteCompleted(NTSTATUS status) override {
        RecordingOutOwner::WriteCompleted(status);
        queue->CompleteCurrentWrite(status, NT_SUCCESS(status) ? stream->CompletedBytes() : 0);
    }
    void TransfersReturned() override {
        RecordingOutOwner::TransfersReturned();
        queue->TransfersReturned();
    }
};

// A write request with its buffer described by an MDL, as the I/O manager hands it down.
struct WriteRequest {
    WriteRequest(PDEVICE_OBJECT device, Bytes bytes)
        : data(std::move(bytes)), irp(device->StackSize, IRP_MJ_WRITE) {
        irp.Location()->Parameters.Write.Length = static_cast<ULONG>(data.size());
        IoAllocateMdl(data.data(), static_cast<ULONG>(data.size()), FALSE, FALSE, irp.Get());
    }
    ~WriteRequest() {
        PMDL mdl = irp.Get()->MdlAddress;
        irp.Get()->MdlAddress = nullptr;
        IoFreeMdl(mdl);
    }
    Bytes data;
    wdm_test::TestIrp irp;
};

TEST_F(StreamOutTest, ACancelledWriteOfTheQueueLeavesNothingToTheNext) {
    wdm_test::QueueDevice queueDevice;
    wdm_test::CountingDevice busy;
    QueueingOwner da;
    auto stream = MakeStream(&da);
    wdm::WriteQueue queue(&busy, stream.get());
    da.queue = &queue;
    da.stream = stream.get();
    queueDevice.Attach(&queue);

    recorder->Hold(true);
    WriteRequest first(queueDevice.Device(), Pattern(20000, 11));
    WriteRequest second(queueDevice.Device(), Pattern(5000, 99));
    ASSERT_EQ(first.irp.Send(queueDevice.Device()), STATUS_PENDING);
    ASSERT_EQ(second.irp.Send(queueDevice.Device()), STATUS_PENDING);
    ASSERT_EQ(stream->Posted(), 6u);

    // The first write is cancelled while its transfers are out: it completes once they are
    // back, and only then does the second one start.
    EXPECT_TRUE(IoCancelIrp(first.irp.Get()));
    ASSERT_TRUE(first.irp.WaitCompleted());
    EXPECT_EQ(first.irp.Status(), STATUS_CANCELLED);
    EXPECT_EQ(da.Returned(), 1);
    recorder->Hold(false);
    ASSERT_TRUE(second.irp.WaitCompleted());
    EXPECT_EQ(second.irp.Status(), STATUS_SUCCESS);
    EXPECT_EQ(second.irp.Information(), 5000u);
    std::vector<std::uint32_t> counts;
    EXPECT_EQ(Payload(recorder->Messages(), &counts), second.data)
        << "nothing of the cancelled write went out after it, nothing counted for the next";
    EXPECT_EQ(da.Ends(), std::vector<NTSTATUS>{STATUS_SUCCESS});
    EXPECT_EQ(busy.released, 2);
    EXPECT_FALSE(da.WrongLevel());
}

}  // namespace
}  // namespace wdm_usb_test
