// The board's status-message reads: three outstanding while any file of the device is open, never
// more, and the pipe aborted only when the last file closes.
#include <atomic>
#include <thread>
#include <vector>

#include "da_test_device.h"

namespace dalayer_test {
namespace {

TEST_F(DaDeviceTest, ClosingOneFileAmongSeveralKeepsTheStatusReads) {
    FakeStatusPipe& pipe = device_->Pipe();
    EXPECT_EQ(pipe.Outstanding(), 0);
    auto ad = Open("\\AD0");
    EXPECT_EQ(pipe.Outstanding(), 3);
    EXPECT_TRUE(device_->StatusReadsPosted());
    auto da = Open("\\DA0");
    auto panel = Open("");
    EXPECT_EQ(pipe.Outstanding(), 3);

    // A panel's device handle and the D/A go; the A/D still gets its status messages.
    Close(panel);
    Close(da);
    EXPECT_EQ(pipe.Aborts(), 0);
    EXPECT_EQ(pipe.Outstanding(), 3);
    EXPECT_EQ(device_->StatusReadsOutstanding(), 3u);

    hxda::DriverRequest record{};
    Outcome wait;
    Submit(ad,
           {kernel::user_io::Operation::DeviceControl, IOCTL_HXDA_WAITEVENT, &record, sizeof record,
            &record, sizeof record},
           &wait);
    EXPECT_EQ(wait.submitted, STATUS_PENDING);
    ASSERT_TRUE(pipe.DeliverMessage(0, 0x01));
    ASSERT_TRUE(wait.WaitCompleted());
    EXPECT_EQ(record.parameters.event.code, HXEV_OVERRUN);
    EXPECT_EQ(pipe.Outstanding(), 3);  // the read that brought it was replaced

    // The last close stops them: aborted, none left, none replaced.
    Close(ad);
    EXPECT_EQ(pipe.Aborts(), 1);
    EXPECT_EQ(pipe.Outstanding(), 0);
    EXPECT_EQ(device_->StatusReadsOutstanding(), 0u);
    EXPECT_FALSE(device_->StatusReadsPosted());
}

TEST_F(DaDeviceTest, StatusReadsNeverExceedThree) {
    FakeStatusPipe& pipe = device_->Pipe();
    auto keep = Open("");
    for (int i = 0; i < 20; ++i) {
        auto file = Open(i % 2 ? "\\CT0" : "");
        ASSERT_TRUE(pipe.DeliverMessage(0x4000, 0));  // a message of no interest is replaced too
        Close(file);
    }
    EXPECT_EQ(pipe.MostOutstanding(), 3);
    EXPECT_EQ(pipe.Outstanding(), 3);
    // Reads that fail are not replaced; the next create tops them up to three again.
    ASSERT_TRUE(pipe.FailRead());
    ASSERT_TRUE(pipe.FailRead());
    EXPECT_EQ(pipe.Outstanding(), 1);
    auto another = Open("\\DOUT0");
    EXPECT_EQ(pipe.Outstanding(), 3);
    Close(another);
    Close(keep);
    EXPECT_EQ(pipe.Outstanding(), 0);
    EXPECT_EQ(pipe.MostOutstanding(), 3);

    // Open and close of single files: each cycle posts three and aborts them.
    for (int i = 0; i < 5; ++i) {
        auto file = Open("\\AD0");
        EXPECT_EQ(pipe.Outstanding(), 3);
        Close(file);
        EXPECT_EQ(pipe.Outstanding(), 0);
    }
    EXPECT_EQ(pipe.MostOutstanding(), 3);
    EXPECT_EQ(pipe.Aborts(), 6);
}

TEST_F(DaDeviceTest, ReadsThatCannotBePostedAreNotCounted) {
    FakeStatusPipe& pipe = device_->Pipe();
    pipe.refusePosts = true;
    auto file = Open("\\AD0");  // the create succeeds all the same
    EXPECT_EQ(device_->StatusReadsOutstanding(), 0u);
    pipe.refusePosts = false;
    device_->PostStatusReads();  // the board layer's recovery posts them again
    EXPECT_EQ(pipe.Outstanding(), 3);
    EXPECT_EQ(device_->StatusReadsOutstanding(), 3u);
    device_->PostStatusReads();
    EXPECT_EQ(pipe.Outstanding(), 3);
    Close(file);
    // With no file open nothing is posted.
    device_->PostStatusReads();
    EXPECT_EQ(pipe.Outstanding(), 0);
}

// Files opening and closing on several threads while status messages arrive: the count holds.
TEST_F(DaDeviceTest, StatusReadsHoldUnderConcurrentOpensClosesAndMessages) {
    FakeStatusPipe& pipe = device_->Pipe();
    auto keep = Open("");
    std::atomic<bool> stop{false};
    std::thread messages([&] {
        while (!stop)
            pipe.DeliverMessage(0, 0x0001);
    });
    std::vector<std::thread> users;
    for (const char* name : {"\\AD0", "\\DA0", "", ""}) {
        users.emplace_back([this, name] {
            for (int i = 0; i < 200; ++i) {
                const auto result = kernel::user_io::Open(std::string("\\\\.\\DaTest0") + name,
                                                          0xC0000000u, kIssuer);
                ASSERT_EQ(result.status, STATUS_SUCCESS);
                kernel::user_io::Close(result.file);
            }
        });
    }
    for (auto& user : users)
        user.join();
    stop = true;
    messages.join();
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_LE(pipe.MostOutstanding(), 3);
    EXPECT_EQ(pipe.Outstanding(), 3);
    EXPECT_EQ(pipe.Aborts(), 0);
    Close(keep);
    EXPECT_EQ(pipe.Outstanding(), 0);
    EXPECT_EQ(device_->StatusReadsOutstanding(), 0u);
}

}  // namespace
}  // namespace dalayer_test
