// The A/D's reads: the board's transfer size a first read programs, and the close of a file while
// its board streams.
#include "ad_fixture.h"

namespace board_test {
namespace {

using AdReadsTest = AdFixture;

TEST_F(AdReadsTest, TheFirstReadSetsTheBoardsTransferSizeByItsLength) {
    struct Case {
        std::uint32_t length;
        std::uint32_t transfer;
    };
    UserFile ad(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(ad, block), HXNOERROR);
    for (const Case c : {Case{100, 256}, Case{256, 256}, Case{257, 512}, Case{700, 768},
                         Case{1'000, 1'024}, Case{40'000, 1'024}}) {
        std::vector<std::uint8_t> buffer(c.length);
        auto read = ad.Read(buffer.data(), c.length);
        EXPECT_EQ(p_.board->AdTransferSize(), c.transfer) << c.length;
        // A second read while armed changes nothing.
        std::vector<std::uint8_t> other(100);
        auto second = ad.Read(other.data(), 100);
        EXPECT_EQ(p_.board->AdTransferSize(), c.transfer) << c.length;
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
        EXPECT_NE(UserFile::Wait(read, kBound).status, -1);
        EXPECT_NE(UserFile::Wait(second, kBound).status, -1);
    }
}

TEST_F(AdReadsTest, ClosingAFileWhileItsBoardStreamsStopsTheBoardAndEndsEveryRead) {
    auto ad = std::make_unique<UserFile>(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(*ad, block), HXNOERROR);
    std::vector<std::vector<std::uint8_t>> buffers(3, std::vector<std::uint8_t>(2'000));
    std::vector<std::shared_future<Answer>> done;
    for (auto& b : buffers)
        done.push_back(ad->Read(b.data(), 2'000));
    ASSERT_EQ(Simple(*ad, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_EQ(UserFile::Wait(done[0], kBound).information, 2'000u);
    ASSERT_TRUE(p_.board->AdRunning());
    ad.reset();
    for (std::size_t r = 1; r < done.size(); ++r)
        EXPECT_NE(UserFile::Wait(done[r], kBound).status, -1) << "read " << r;
    EXPECT_FALSE(p_.board->AdRunning());
    EXPECT_TRUE(NothingOpen());
    // The next file finds an idle subsystem.
    UserFile next(kAdPath);
    ASSERT_EQ(next.Status(), STATUS_SUCCESS);
    EXPECT_EQ(AdState(), board::AdSubsystem::kIdle);
}

}  // namespace
}  // namespace board_test
