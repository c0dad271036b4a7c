// Calls on one subsystem run one at a time; a release racing with calls never reaches the freed
// record.
#include <atomic>
#include <thread>

#include "api_test_support.h"
#include "core/engine.h"

namespace hxda::test {
namespace {

std::atomic<int> inside{0};
std::atomic<int> overlaps{0};

bool countingTap(HDASS, std::uint32_t, MessageRecord&, std::uint32_t*) {
    if (inside.fetch_add(1) != 0)
        overlaps++;
    std::this_thread::yield();
    inside.fetch_sub(1);
    return false;  // go on to the real handler
}

using Concurrency = ApiFixture;

TEST_F(Concurrency, OneSubsystemServesOneCallAtATime) {
    const HDASS hDass = open();
    inside = 0;
    overlaps = 0;
    setMessageTap(countingTap);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([hDass] {
            for (int i = 0; i < 2000; ++i) {
                UINT value = 0;
                hxDaGetDataFlow(hDass, &value);
                hxDaSetWrapMode(hDass, i % 2 ? HXWRAP_NONE : HXWRAP_MULTIPLE);
            }
        });
    for (auto& thread : threads)
        thread.join();
    setMessageTap(nullptr);
    EXPECT_EQ(overlaps.load(), 0);
}

TEST_F(Concurrency, ReleaseRacingWithCalls) {
    for (int round = 0; round < 50; ++round) {
        const HDASS hDass = open(HXSS_AD, false);
        std::atomic<bool> go{false};
        std::atomic<int> unexpected{0};
        std::thread caller([&] {
            while (!go.load()) {
            }
            for (int i = 0; i < 200; ++i) {
                UINT value = 0;
                const HXSTATUS status = hxDaGetQueueSize(hDass, HXQUEUE_READY, &value);
                if (status != HXNOERROR && status != HXINVALIDSSHANDLE)
                    unexpected++;
            }
        });
        go = true;
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
        caller.join();
        EXPECT_EQ(unexpected.load(), 0);
    }
}

}  // namespace
}  // namespace hxda::test
