// Triggered starts of the A/D on the board model's trigger input: the control word and start
// command each trigger source programs, no sample before the trigger and every sample from it on,
// and triggered scans of the multiscan count paced by the retrigger clock.
#include <thread>

#include "ad_fixture.h"
#include "mq5120/signals.h"

namespace board_test {
namespace {

// Control-word bits as the trigger sources program them.
constexpr std::uint16_t kProgram = board::kAdControlProgram;
constexpr std::uint16_t kSingleEnded = board::kAdControlSingleEnded;
constexpr std::uint16_t kExternal =
    board::kAdControlHardwareTrigger | board::kAdControlExternalTrigger;

class AdTriggerTest : public AdFixture {
  protected:
    void SetUp() override {
        AdFixture::SetUp();
        for (int ch = 0; ch < 16; ++ch)
            p_.board->SetSignal(ch, mq5120::Signal::Codes(100u * ch));
    }
    // The last value written to a register.
    std::uint16_t LastWrite(std::uint16_t reg) const {
        std::uint16_t value = 0;
        for (const mq5120::RegisterWrite& w : p_.board->RegisterWrites())
            if (w.reg == reg)
                value = w.value;
        return value;
    }
    // Byte 3 of the last A/D start command: bit 0 set makes the board wait for its trigger.
    int StartWaitFlag() const {
        int flag = -1;
        for (const mq5120::LoggedCommand& c : p_.board->Commands())
            if (c.bytes[0] == board::kCmdAdStart)
                flag = c.bytes[3];
        return flag;
    }
    // Checks that the samples follow the list from the first pass on: the k-th conversion of
    // channel c reads 100 * c + k.
    static void ExpectFromFirstPass(const std::vector<std::uint16_t>& samples,
                                    const std::vector<Entry>& list, const char* what) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const std::uint16_t ch = list[i % list.size()].channel;
            ASSERT_EQ(samples[i], (100u * ch + i / list.size()) & 0xFFF) << what << " sample " << i;
        }
    }
};

TEST_F(AdTriggerTest, NoSampleBeforeTheTriggerAndEverySampleFromIt) {
    struct Case {
        const char* what;
        std::uint16_t trigger;
        std::uint16_t control;  // the A/D control word programmed
        bool waits;
    };
    const Case cases[] = {
        {"software trigger", HXTRIG_SOFTWARE, kProgram | kSingleEnded, false},
        {"external trigger", HXTRIG_EXTERNAL, kProgram | kSingleEnded | kExternal, true},
        {"threshold trigger", HXTRIG_THRESHOLDPOS,
         kProgram | kSingleEnded | kExternal | board::kAdControlThresholdTrigger, true},
    };
    const std::vector<Entry> list = {{0, 1}, {3, 1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(NothingOpen());
        UserFile ad(kAdPath);
        Block block(list, 800, 10'000);
        block.Get().triggerSource = c.trigger;
        p_.board->ClearLog();
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << c.what;
        EXPECT_EQ(LastWrite(0), c.control) << c.what;

        std::vector<std::vector<std::uint16_t>> buffers(2, std::vector<std::uint16_t>(1'000));
        std::vector<std::shared_future<Answer>> done;
        for (auto& b : buffers)
            done.push_back(ad.Read(b.data(), 2'000));
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.what;
        EXPECT_EQ(StartWaitFlag(), c.waits ? 1 : 0) << c.what;
        if (c.waits) {
            // 0.15 s would be 1,500 samples at the clock: none may come before the trigger.
            simclock::SleepFor(std::chrono::milliseconds(150));
            EXPECT_EQ(p_.board->AdFifoSamples(), 0u) << c.what;
            EXPECT_NE(done[0].wait_for(std::chrono::seconds(0)), std::future_status::ready)
                << c.what;
            p_.board->ExternalTrigger();
        }
        std::vector<std::uint16_t> samples;
        for (std::size_t r = 0; r < done.size(); ++r) {
            const Answer a = UserFile::Wait(done[r], kBound);
            ASSERT_EQ(a.status, STATUS_SUCCESS) << c.what;
            ASSERT_EQ(a.information, 2'000u) << c.what;
            samples.insert(samples.end(), buffers[r].begin(), buffers[r].end());
        }
        ExpectFromFirstPass(samples, list, c.what);
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR) << c.what;
    }
}

TEST_F(AdTriggerTest, ATriggeredScanRunsTheMultiscanCountAtEachRetrigger) {
    struct Case {
        const char* what;
        std::uint16_t trigger;
        std::uint16_t control;
    };
    const Case cases[] = {
        {"started at once", HXTRIG_SOFTWARE,
         kProgram | kSingleEnded | board::kAdControlTriggeredScan},
        {"started by the external trigger", HXTRIG_EXTERNAL,
         kProgram | kSingleEnded | board::kAdControlTriggeredScan | kExternal},
    };
    const std::vector<Entry> list = {{0, 1}, {3, 1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(NothingOpen());
        UserFile ad(kAdPath);
        // Bursts of 4 passes of the list (8 samples at 10 kHz) at 100 Hz.
        Block block(list, 800, 10'000);
        hxda::ConfigurationBlock& b = block.Get();
        b.triggerSource = c.trigger;
        b.triggeredScanInUse = 1;
        b.retriggerMode = 1300;
        b.retriggerFrequency = hxda::encodeFixedPoint(100);
        b.multiscanCount = 4;
        p_.board->ClearLog();
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << c.what;
        EXPECT_EQ(LastWrite(0), c.control) << c.what;
        EXPECT_EQ(LastWrite(1) & 0xFF, 3) << c.what;
        EXPECT_EQ(LastWrite(10) | (LastWrite(11) << 16), 180'000) << c.what;

        // 512 samples are 64 bursts: about 0.63 s at the retrigger clock, where the sample clock
        // alone would take 51 ms.
        std::vector<std::uint16_t> samples(512);
        auto read = ad.Read(samples.data(), 1'024);
        const simclock::Duration started = simclock::Now();
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.what;
        if (c.trigger != 300) {
            simclock::SleepFor(std::chrono::milliseconds(100));
            EXPECT_EQ(p_.board->AdFifoSamples(), 0u) << c.what;
            p_.board->ExternalTrigger();
        }
        const Answer a = UserFile::Wait(read, kBound);
        const auto elapsed = simclock::Now() - started;
        ASSERT_EQ(a.information, 1'024u) << c.what;
        EXPECT_GE(elapsed, std::chrono::milliseconds(500)) << c.what;
        ExpectFromFirstPass(samples, list, c.what);
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR) << c.what;
    }
}

}  // namespace
}  // namespace board_test
