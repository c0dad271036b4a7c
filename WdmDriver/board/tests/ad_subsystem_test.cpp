// The A/D subsystem through user-mode files on a board the Plug and Play manager started: single
// values against the board model's signals, continuous acquisition checked sample by sample
// against the model's code pattern, stop and abort with reads queued, overruns, removal while
// streaming, and the configurations the driver refuses.
#include "ad_fixture.h"
#include "mq5120/signals.h"

namespace board_test {
namespace {

using AdSubsystemTest = AdFixture;

TEST_F(AdSubsystemTest, SingleValuesOnEveryGainInBothModes) {
    const double volts[16] = {1.1, -0.3, 0.7, 2.9, 0.05, 0, 0, 0, 0.4, -0.9, 0, 0.2};
    for (int ch = 0; ch < 16; ++ch)
        p_.board->SetSignal(ch, mq5120::Signal::Constant(volts[ch]));
    UserFile ad(kAdPath);
    ASSERT_EQ(ad.Status(), STATUS_SUCCESS);

    for (const std::uint16_t type : {kSingleEnded, kDifferential}) {
        Block block({{0, 1}}, 801);
        block.Get().channelType = type;
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << type;
        const int channels = type == kSingleEnded ? 16 : 8;
        for (int ch : {0, 1, 3, channels - 1}) {
            for (const int gain : {1, 2, 4, 8}) {
                auto record = Record(HXSS_AD);
                record.parameters.singleValue.channel = static_cast<std::uint32_t>(ch);
                record.parameters.singleValue.gain = hxda::encodeFixedPoint(gain);
                ASSERT_EQ(ad.Control(IOCTL_HXDA_GETSINGLEVALUE, record).status, STATUS_SUCCESS);
                const double v = type == kSingleEnded ? volts[ch] : volts[ch] - volts[ch + 8];
                EXPECT_EQ(record.status, HXNOERROR);
                EXPECT_EQ(record.parameters.singleValue.value, mq5120::CodeFor(v, gain, 12))
                    << "type " << type << " channel " << ch << " gain " << gain;
            }
        }
        // One past the last input, and auto-ranging, are refused.
        auto beyond = Record(HXSS_AD);
        beyond.parameters.singleValue.channel = static_cast<std::uint32_t>(channels);
        beyond.parameters.singleValue.gain = hxda::encodeFixedPoint(1);
        ASSERT_EQ(ad.Control(IOCTL_HXDA_GETSINGLEVALUE, beyond).status, STATUS_SUCCESS);
        EXPECT_EQ(beyond.status, HXINVALIDCHANNEL);
        auto autoRange = Record(HXSS_AD);
        autoRange.parameters.singleValue.gain = hxda::encodeFixedPoint(1);
        autoRange.parameters.singleValue.autoRange = 1;
        ASSERT_EQ(ad.Control(IOCTL_HXDA_GETSINGLEVALUE, autoRange).status, STATUS_SUCCESS);
        EXPECT_EQ(autoRange.status, HXNOTSUPPORTED);
    }
}

TEST_F(AdSubsystemTest, MalformedConfigurationsAreRefused) {
    struct Case {
        const char* what;
        void (*change)(hxda::ConfigurationBlock&);
        std::uint32_t status;
    };
    const Case cases[] = {
        {"channel count without an analog input", [](auto& b) { b.numberOfChannels = 11; },
         HXINVALIDCHANNEL},
        {"channel count far below", [](auto& b) { b.numberOfChannels = 3; }, HXINVALIDCHANNEL},
        {"more inputs than the board has", [](auto& b) { b.numberOfChannels = 28; },
         HXINVALIDCHANNEL},
        {"zero clock", [](auto& b) { b.clockFrequency = hxda::encodeFixedPoint(0); },
         HXINVALIDFREQUENCY},
        {"negative clock", [](auto& b) { b.clockFrequency = hxda::encodeFixedPoint(-5); },
         HXINVALIDFREQUENCY},
        {"clock above the base clock",
         [](auto& b) { b.clockFrequency = hxda::encodeFixedPoint(20e6); }, HXINVALIDCLOCKSOURCE},
        {"zero retrigger clock",
         [](auto& b) {
             b.triggeredScanInUse = 1;
             b.retriggerFrequency = hxda::encodeFixedPoint(0);
         },
         HXINVALIDFREQUENCY},
        {"unknown data flow", [](auto& b) { b.dataFlow = 999; }, HXINVALIDDATAFLOW},
        {"unknown trigger", [](auto& b) { b.triggerSource = 999; }, HXINVALIDTRIGGER},
        {"triggered scan, external trigger, retrigger by digital event",
         [](auto& b) {
             b.triggeredScanInUse = 1;
             b.triggerSource = 301;
             b.retriggerMode = 1302;
             b.retriggerSource = 306;
         },
         HXINVALIDTRIGGER},
        {"triggered scan retriggered by threshold",
         [](auto& b) {
             b.triggeredScanInUse = 1;
             b.triggerSource = 306;
             b.retriggerMode = 1302;
             b.retriggerSource = 1200;
         },
         HXINVALIDTRIGGER},
        {"differential, a count naming a single input",
         [](auto& b) {
             b.channelType = kDifferential;
             b.numberOfChannels = 12;
         },
         HXINVALIDCHANNEL},
        {"differential, more inputs than the board has",
         [](auto& b) {
             b.channelType = kDifferential;
             b.numberOfChannels = 43;
         },
         HXINVALIDCHANNEL},
        {"unknown retrigger source",
         [](auto& b) {
             b.retriggerMode = 1302;
             b.retriggerSource = 5;
         },
         HXINVALIDRETRIGGER},
    };
    UserFile ad(kAdPath);
    ASSERT_EQ(ad.Status(), STATUS_SUCCESS);
    for (const Case& c : cases) {
        Block block;
        block.Get().retriggerFrequency = hxda::encodeFixedPoint(10);
        c.change(block.Get());
        p_.board->ClearLog();
        EXPECT_EQ(Configure(ad, block), c.status) << c.what;
        // Nothing reached the board's registers.
        EXPECT_TRUE(p_.board->RegisterWrites().empty()) << c.what;
    }
    // A list longer than what was sent never reaches the configure.
    Block shortList;
    shortList.Get().channelListSize = 3;
    EXPECT_EQ(Configure(ad, shortList), HXINVALIDLISTSIZE);
}

TEST_F(AdSubsystemTest, TheClockDividerAndTheFrequencyProduced) {
    struct Case {
        double hz;
        std::uint32_t divider;
    };
    UserFile ad(kAdPath);
    for (const Case c : {Case{1000, 18000}, Case{7000, 2571}, Case{500000, 36}}) {
        Block block({{0, 1}}, 800, c.hz);
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << c.hz;
        EXPECT_EQ(p_.board->Register(6) | (p_.board->Register(7) << 16), c.divider) << c.hz;
        const auto& f = block.Get().clockFrequency;
        const double back = f.integer + f.fraction / 4294967295.0;
        EXPECT_NEAR(back, 18e6 / c.divider, 1e-6) << c.hz;
    }
}

TEST_F(AdSubsystemTest, AListEntryTheBoardCannotTakeStartsNothing) {
    UserFile ad(kAdPath);
    // Channels 27 and 40 are neither inputs (0-15) nor extra channels (16-26 of a count of 27).
    for (const std::uint16_t bad : {std::uint16_t{27}, std::uint16_t{40}}) {
        Block block({{0, 1}, {bad, 1}});
        ASSERT_EQ(Configure(ad, block), HXNOERROR);
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_START), HXINVALIDLISTENTRY) << bad;
        EXPECT_FALSE(p_.board->AdRunning()) << bad;
    }
    // A gain the board has no code for.
    Block gain({{0, 3}});
    ASSERT_EQ(Configure(ad, gain), HXNOERROR);
    EXPECT_EQ(Simple(ad, IOCTL_HXDA_START), HXINVALIDLISTENTRY);
    EXPECT_FALSE(p_.board->AdRunning());
}

TEST_F(AdSubsystemTest, ContinuousAcquisitionDeliversEverySampleWhereTheListSays) {
    // Each channel counts through its own codes: the k-th conversion of channel c reads
    // 100 * c + k (12 bits).
    for (int ch = 0; ch < 16; ++ch)
        p_.board->SetSignal(ch, mq5120::Signal::Codes(100u * ch));
    const std::vector<Entry> list = {{0, 1}, {3, 2}, {1, 8}, {5, 4}};
    struct Case {
        double hz;
        std::uint32_t readBytes;
        int reads;
    };
    for (const Case c :
         {Case{10'000, 1'000, 6}, Case{100'000, 8'000, 6}, Case{500'000, 40'000, 5}}) {
        ASSERT_TRUE(NothingOpen());
        UserFile ad(kAdPath);
        ASSERT_EQ(ad.Status(), STATUS_SUCCESS);
        Block block(list, 800, c.hz);
        ASSERT_EQ(Configure(ad, block), HXNOERROR) << c.hz;
        std::vector<std::vector<std::uint16_t>> buffers(
            c.reads, std::vector<std::uint16_t>(c.readBytes / 2));
        std::vector<std::shared_future<Answer>> done;
        for (auto& b : buffers)
            done.push_back(ad.Read(b.data(), c.readBytes));
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR) << c.hz;

        std::size_t sample = 0;
        for (std::size_t r = 0; r < buffers.size(); ++r) {
            const Answer a = UserFile::Wait(done[r], kBound);
            ASSERT_EQ(a.status, STATUS_SUCCESS) << c.hz << " read " << r;
            ASSERT_EQ(a.information, c.readBytes) << c.hz << " read " << r;
            for (const std::uint16_t value : buffers[r]) {
                const std::size_t pass = sample / list.size();
                const std::uint16_t ch = list[sample % list.size()].channel;
                ASSERT_EQ(value, (100u * ch + pass) & 0xFFF) << c.hz << " Hz, sample " << sample;
                ++sample;
            }
        }
        EXPECT_EQ(p_.board->ChannelList(),
                  (std::vector<std::uint16_t>{0, 3 | 0x20, 1 | 0x60, 5 | 0x40}));
        EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
        EXPECT_TRUE(Eventually([&] { return !p_.board->AdRunning(); })) << c.hz;
    }
}

TEST_F(AdSubsystemTest, StopAndAbortWithReadsQueuedEndEveryRead) {
    for (const std::uint32_t code : {IOCTL_HXDA_STOP, IOCTL_HXDA_ABORT}) {
        ASSERT_TRUE(NothingOpen());
        UserFile ad(kAdPath);
        Block block({{0, 1}}, 800, 10'000);
        ASSERT_EQ(Configure(ad, block), HXNOERROR);
        std::vector<std::vector<std::uint8_t>> buffers(5, std::vector<std::uint8_t>(4'000));
        std::vector<std::shared_future<Answer>> done;
        for (auto& b : buffers)
            done.push_back(ad.Read(b.data(), 4'000));
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
        ASSERT_EQ(UserFile::Wait(done[0], kBound).information, 4'000u);
        EXPECT_EQ(Simple(ad, code), HXNOERROR);
        for (std::size_t r = 1; r < done.size(); ++r) {
            const Answer a = UserFile::Wait(done[r], kBound);
            EXPECT_TRUE(a.status == STATUS_SUCCESS || a.status == STATUS_CANCELLED)
                << code << " read " << r << " " << a.status;
            EXPECT_LE(a.information, 4'000u);
        }
        EXPECT_TRUE(Eventually([&] { return !p_.board->AdRunning(); })) << code;
        // A stop or abort with no read left stops the board too.
        Block again({{0, 1}}, 800, 10'000);
        ASSERT_EQ(Configure(ad, again), HXNOERROR);
        ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
        EXPECT_TRUE(p_.board->AdRunning());
        EXPECT_EQ(Simple(ad, code), HXNOERROR);
        EXPECT_TRUE(Eventually([&] { return !p_.board->AdRunning(); })) << code;
    }
}

TEST_F(AdSubsystemTest, ABoardWithoutReadsStopsByItself) {
    UserFile ad(kAdPath);
    Block block({{0, 1}}, 800, 1'000);
    ASSERT_EQ(Configure(ad, block), HXNOERROR);
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
    EXPECT_TRUE(p_.board->AdRunning());
    // No read for 2 s: the board stops without being asked.
    EXPECT_TRUE(Eventually([&] { return !p_.board->AdRunning(); }, std::chrono::seconds(8)));
    // The stop work ends after the board stopped; a read while it runs comes back empty.
    ASSERT_TRUE(Eventually([&] { return AdState() == board::AdSubsystem::kIdle; }));
    // A read afterwards arms the subsystem again instead of finding a running board.
    std::vector<std::uint8_t> buffer(200);
    auto read = ad.Read(buffer.data(), 200);
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
    const Answer a = UserFile::Wait(read, kBound);
    EXPECT_EQ(a.status, STATUS_SUCCESS);
    EXPECT_EQ(a.information, 200u);
    EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
}

// Flushes what the read in process holds into out; the bytes flushed.
std::uint64_t Flush(UserFile& ad, std::vector<std::uint16_t>& out) {
    auto record = Record(HXSS_AD);
    kernel::user_io::Request request;
    request.operation = kernel::user_io::Operation::DeviceControl;
    request.controlCode = IOCTL_HXDA_FLUSHINPROCESS;
    request.input = &record;
    request.inputLength = sizeof record;
    request.output = out.data();
    request.outputLength = static_cast<std::uint32_t>(out.size() * 2);
    const Answer a = UserFile::Wait(ad.Send(request), kBound);
    EXPECT_EQ(a.status, STATUS_SUCCESS);
    return a.information;
}

TEST_F(AdSubsystemTest, FlushInProcessHandsOutEverySampleOnce) {
    p_.board->SetSignal(0, mq5120::Signal::Codes(0));
    UserFile ad(kAdPath);
    std::vector<std::uint16_t> none(100);
    // No read in process: nothing to flush.
    EXPECT_EQ(Flush(ad, none), 0u);

    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(ad, block), HXNOERROR);
    std::vector<std::uint16_t> buffer(50'000);  // 5 s of samples: never full here
    auto read = ad.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size() * 2));
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);

    // Small flushes leave samples behind in the read; each flush must go on where the last
    // stopped, and the read must end with what no flush took.
    std::vector<std::uint16_t> seen;
    for (int i = 0; i < 4; ++i) {
        simclock::SleepFor(std::chrono::milliseconds(60));
        std::vector<std::uint16_t> out(300);
        const std::uint64_t bytes = Flush(ad, out);
        EXPECT_EQ(bytes % 2, 0u);
        seen.insert(seen.end(), out.begin(), out.begin() + static_cast<long>(bytes / 2));
    }
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
    const Answer rest = UserFile::Wait(read, kBound);
    ASSERT_EQ(rest.status, STATUS_SUCCESS);
    seen.insert(seen.end(), buffer.begin(),
                buffer.begin() + static_cast<long>(rest.information / 2));
    ASSERT_GT(seen.size(), 1'000u);
    for (std::size_t i = 0; i < seen.size(); ++i)
        ASSERT_EQ(seen[i], i & 0xFFF) << "sample " << i;
}

TEST_F(AdSubsystemTest, BoardFifoOverflowAndRingOverflowAreOverruns) {
    UserFile ad(kAdPath);
    Block block({{0, 1}}, 800, 10'000);
    ASSERT_EQ(Configure(ad, block), HXNOERROR);
    std::vector<std::uint8_t> buffer(100'000);
    auto read = ad.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
    EventWait fifo(ad);
    p_.board->PostStatus(board::kStatusTypeFlags, mq5120::kFlagAdOverflow);
    EXPECT_EQ(fifo.Code(), HXEV_OVERRUN);
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
    EXPECT_EQ(UserFile::Wait(read, kBound).status, STATUS_SUCCESS);

    // No read at 500 kHz: the 64 KB ring fills in about 65 ms and overflows.
    Block fast({{0, 1}}, 800, 500'000);
    ASSERT_EQ(Configure(ad, fast), HXNOERROR);
    EventWait ring(ad);
    ASSERT_EQ(Simple(ad, IOCTL_HXDA_START), HXNOERROR);
    EXPECT_EQ(ring.Code(), HXEV_OVERRUN);
    EXPECT_EQ(Simple(ad, IOCTL_HXDA_ABORT), HXNOERROR);
    EXPECT_TRUE(Eventually([&] { return !p_.board->AdRunning(); }));
}

TEST_F(AdSubsystemTest, UnplugWhileStreamingEndsEveryRead) {
    auto ad = std::make_unique<UserFile>(kAdPath);
    Block block({{0, 1}, {2, 2}}, 800, 100'000);
    ASSERT_EQ(Configure(*ad, block), HXNOERROR);
    std::vector<std::vector<std::uint8_t>> buffers(6, std::vector<std::uint8_t>(20'000));
    std::vector<std::shared_future<Answer>> done;
    for (auto& b : buffers)
        done.push_back(ad->Read(b.data(), 20'000));
    ASSERT_EQ(Simple(*ad, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_EQ(UserFile::Wait(done[0], kBound).status, STATUS_SUCCESS);
    EventWait removal(*ad);

    bus->Unplug(p_.pdo);
    auto gone = kernel::pnp::DeviceGone(p_.pdo);
    ASSERT_TRUE(ReadyWithin(gone, kBound));
    EXPECT_EQ(removal.Code(), HXEV_DEVICEREMOVED);
    for (std::size_t r = 1; r < done.size(); ++r)
        EXPECT_NE(UserFile::Wait(done[r], kBound).status, -1) << "read " << r << " hung";
    ad.reset();
    EXPECT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_TRUE(kernel::pnp::testing::WaitIdle(10000));
    EXPECT_TRUE(bus->WaitDeleted(p_.pdo, 10000));
}

}  // namespace
}  // namespace board_test
