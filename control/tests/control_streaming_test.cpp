// A continuous acquisition through the control, as an instrument panel runs one: buffers queued,
// BufferDone events on the container's thread with each buffer taken through Queue and queued
// again, Stop, and every buffer freed when the control changes or gives up its subsystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "control_fixture.h"
#include "hxmem32.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
namespace e = mqacq32::event;

constexpr double kRate = 1000.0;         // low, so that no machine falls behind
constexpr std::uint32_t kSamples = 200;  // 0.1 s of both channels per buffer
constexpr std::size_t kBufferCount = 4;
constexpr std::size_t kBuffersToSee = 6;
constexpr std::uint32_t kMq5204Serial = 0x20;

class Streaming : public ControlTest {
  protected:
    // A/D 0 of the MQ5204 over channels 0 (2.5 V) and 1 (codes 100, 200, ...), continuous.
    void SetUp() override {
        ControlTest::SetUp();
        open(kMq5204, kAdIndex);
        for (auto [id, value] : {std::pair{d::DataFlow, 0}, std::pair{d::WrapMode, 0}}) {
            ASSERT_TRUE(control->put(id, Variant::Short(static_cast<SHORT>(value))).ok());
        }
        ASSERT_TRUE(control->put(d::Frequency, Variant::Double(kRate)).ok());
        ASSERT_TRUE(control->put(d::ListSize, Variant::Long(2)).ok());
        for (SHORT entry = 0; entry < 2; ++entry)
            ASSERT_TRUE(
                control->put(d::ChannelList, Variant::Short(entry), {Variant::Short(entry)}).ok());
        ASSERT_TRUE(control->call(d::Config).ok());
        ASSERT_EQ(hxDaVoltsToCode(-10.0, 10.0, 1.0, 16, HXENCODING_BINARY, 2.5, &constantCode_),
                  HXNOERROR);
    }

    void queueBuffers(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            HBUF buffer = 0;
            ASSERT_EQ(hxDmAllocBuffer(0, kSamples, &buffer), 0u);
            made.push_back(buffer);
            ASSERT_TRUE(control->put(d::Queue, Variant::Long(static_cast<LONG>(buffer))).ok());
        }
    }

    // Every sample of a buffer as the board list makes it; full unless the transfer was stopped
    // while the buffer was being filled.
    void expectSamples(HBUF buffer, bool full = true) {
        std::uint32_t valid = 0;
        ASSERT_EQ(hxDmGetValidSamples(buffer, &valid), 0u);
        if (full) {
            ASSERT_EQ(valid, kSamples);
        }
        if (valid == 0)
            return;
        std::vector<std::uint16_t> codes(valid);
        ASSERT_EQ(hxDmCopyFromBuffer(buffer, codes.data(), valid), 0u);
        for (std::size_t i = 0; i + 1 < valid; i += 2) {
            EXPECT_EQ(codes[i], constantCode_) << i;
            EXPECT_TRUE(codes[i + 1] == 100 || codes[i + 1] == 200) << codes[i + 1];
        }
    }

    static bool Freed(HBUF buffer) {
        std::uint32_t bytes = 0;
        return hxDmGetBufferSize(buffer, &bytes) == HXINVALIDHBUF;
    }

    bool allOnContainerThread() const {
        return std::all_of(
            control->events.events.begin(), control->events.events.end(),
            [](const SeenEvent& seen) { return seen.thread == std::this_thread::get_id(); });
    }

    std::vector<HBUF> made;
    INT constantCode_ = 0;
};

TEST_F(Streaming, BuffersComeBackThroughTheQueueAndAreFreedWhenTheSubsystemChanges) {
    queueBuffers(kBufferCount);
    std::size_t taken = 0;
    bool stopped = false;
    control->events.onEvent = [&](const SeenEvent& seen) {
        if (seen.id != e::BufferDone)
            return;
        // The container calls back into the control from inside its event.
        const auto buffer = static_cast<HBUF>(control->getLong(d::Queue));
        ASSERT_NE(buffer, 0u);
        ++taken;
        expectSamples(buffer, !stopped);
        ASSERT_TRUE(control->put(d::Queue, Variant::Long(static_cast<LONG>(buffer))).ok());
    };
    ASSERT_TRUE(control->call(d::Start).ok());
    ASSERT_TRUE(PumpUntil([&] { return taken >= kBuffersToSee; }));
    stopped = true;
    ASSERT_TRUE(control->call(d::Stop).ok());
    ASSERT_TRUE(PumpUntil([&] { return control->events.count(e::QueueStopped) == 1; }));
    control->events.onEvent = nullptr;
    EXPECT_EQ(control->events.count(e::BufferDone), taken);
    EXPECT_EQ(control->events.count(e::QueueDone), 0u);
    EXPECT_TRUE(allOnContainerThread());

    // All four are the library's again; changing the subsystem frees every one of them.
    EXPECT_EQ(control->getLong(d::QueueSize, {Variant::Short(0)}) +
                  control->getLong(d::QueueSize, {Variant::Short(1)}),
              static_cast<LONG>(kBufferCount));
    ASSERT_TRUE(control->put(d::SubSystem, Variant::Short(kCt0Index)).ok());
    for (HBUF buffer : made)
        EXPECT_TRUE(Freed(buffer)) << buffer;
}

TEST_F(Streaming, WithoutRequeueingTheQueueRunsDryAndReportsIt) {
    queueBuffers(2);
    ASSERT_TRUE(control->call(d::Start).ok());
    ASSERT_TRUE(PumpUntil([&] { return control->events.count(e::QueueDone) == 1; }));
    EXPECT_EQ(control->events.count(e::BufferDone), 2u);
    EXPECT_EQ(control->events.events.back().id, e::QueueDone);
    EXPECT_TRUE(allOnContainerThread());
    for (std::size_t i = 0; i < 2; ++i) {
        const auto buffer = static_cast<HBUF>(control->getLong(d::Queue));
        ASSERT_EQ(buffer, made[i]);  // in the order they were filled
        expectSamples(buffer);
        EXPECT_EQ(hxDmFreeBuffer(buffer), 0u);
    }
    EXPECT_EQ(control->getLong(d::Queue), 0);
    // Ready again: a new start without buffers is the library's refusal.
    EXPECT_TRUE(Raised(control->call(d::Start), StatusError(HXNOREADYBUFFERS)));
}

TEST_F(Streaming, AnOverrunIsAnEventAndTheControlFreesItsBuffersWhenItGoes) {
    queueBuffers(kBufferCount);
    control->events.onEvent = [&](const SeenEvent& seen) {
        if (seen.id == e::BufferDone) {
            const auto buffer = static_cast<HBUF>(control->getLong(d::Queue));
            control->put(d::Queue, Variant::Long(static_cast<LONG>(buffer)));
        }
    };
    ASSERT_TRUE(control->call(d::Start).ok());
    ASSERT_TRUE(PumpUntil([&] { return control->events.count(e::BufferDone) >= 1; }));
    ASSERT_TRUE(sim::testing::InjectFault("Mq5200", kMq5204Serial, HXSS_AD, 0,
                                          sim::testing::Fault::kOverrun));
    ASSERT_TRUE(PumpUntil([&] { return control->events.count(e::OverrunError) == 1; }));
    control->events.onEvent = nullptr;
    EXPECT_TRUE(allOnContainerThread());
    control.reset();
    for (HBUF buffer : made)
        EXPECT_TRUE(Freed(buffer)) << buffer;
}

}  // namespace
}  // namespace controltest
