// Streaming in the stand-in driver through the user-mode file calls: reads filled at the clock of
// the stand-ins (driven by hand here), the board's FIFO and its overrun, output consumed at the
// rate and its end, stop/abort/close/cancel completing every request once, pause, the unpaced
// mode, the counter's events and the board's removal.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "client.h"
#include "hxda/request_codes.h"
#include "hxdacodes.h"
#include "kernel/testing.h"
#include "sim/machine_testing.h"
#include "simclock/clock.h"
#include "win32/handles.h"
#include "win32/sync.h"

namespace {

using namespace std::chrono_literals;
using hxda::ConfigurationBlock;
using hxda::DriverRequest;

constexpr DWORD kSettleMs = 30;

// One overlapped request: a read or an event request, with its own buffer and event.
struct Pending {
    explicit Pending(std::size_t bytes) : data(bytes, 0) {
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    ~Pending() { CloseHandle(overlapped.hEvent); }
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;

    bool Done(DWORD timeoutMs = 5000) const {
        return WaitForSingleObject(overlapped.hEvent, timeoutMs) == WAIT_OBJECT_0;
    }
    // The result once done: the error (0 on success) and the bytes.
    DWORD Error(HANDLE file) {
        DWORD count = 0;
        if (GetOverlappedResult(file, &overlapped, &count, FALSE)) {
            bytes = count;
            return 0;
        }
        return GetLastError();
    }
    std::uint16_t Sample(std::size_t i) const {
        std::uint16_t sample = 0;
        std::memcpy(&sample, data.data() + 2 * i, 2);
        return sample;
    }
    std::uint32_t EventCode() const {
        std::uint32_t code = 0;
        std::memcpy(&code, data.data() + 16, 4);
        return code;
    }

    std::vector<std::uint8_t> data;
    OVERLAPPED overlapped{};
    DWORD bytes = 0;
};

class FamilyStream : public ::testing::Test {
  protected:
    // A/D 0: channel 0 a pattern, channel 1 another; counter 0 counts a 1 kHz square wave. The
    // MQ5310 has the D/A clock the output test needs.
    sim::testing::ScopedSimulatedMachine machine{{
        "Mq5200 0x5204 1 AD0.0=pattern:1,2,3 AD0.1=pattern:100,200 CT0.0=square:1:1000",
        "Mq5200 0x5204 2 unpaced AD0.0=pattern:7,8,9",
        "MQ5310 0 3",
    }};
    std::vector<simtest::ListedBoard> boards = simtest::ListBoards();
    std::vector<HANDLE> handles;

    void SetUp() override { ASSERT_EQ(boards.size(), 3u); }
    void TearDown() override {
        for (HANDLE handle : handles)
            CloseHandle(handle);
        EXPECT_TRUE(NothingOutstanding());
    }

    // Every request finished and every close sent. A completion from the driver's DPC is seen
    // by the issuer a moment before the I/O manager has finished with it: bounded polling.
    static bool NothingOutstanding() {
        for (int waited = 0; waited < 5000; ++waited) {
            if (kernel::testing::OutstandingUserRequests() == 0)
                return kernel::testing::DrainDeferredCloses();
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }

    // A subsystem file of the board with that serial number.
    HANDLE Open(const std::string& file, std::uint32_t serialNumber = 1) {
        std::string path;
        for (const auto& board : boards)
            if (board.serialNumber == serialNumber)
                path = board.devicePath;
        HANDLE handle = simtest::Open(path + "\\" + file);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << file;
        if (handle != INVALID_HANDLE_VALUE)
            handles.push_back(handle);
        return handle;
    }
    void Close(HANDLE handle) {
        std::erase(handles, handle);
        CloseHandle(handle);
    }

    // Configures a continuous transfer: the rate, the channels of the list, the wrap mode.
    static void Configure(HANDLE file, std::uint32_t type, double rate,
                          std::vector<std::uint16_t> channels, std::uint16_t wrap = HXWRAP_NONE,
                          std::uint16_t counterMode = 700, std::uint32_t baseClock = 0) {
        const std::size_t bytes = hxda::configurationBlockBytes(
            static_cast<std::uint32_t>(std::max<std::size_t>(channels.size(), 1)));
        std::vector<std::uint8_t> data(bytes, 0);
        ConfigurationBlock block{};
        block.subsystemType = type;
        block.state = 1004;
        block.channelListSize = static_cast<std::uint16_t>(channels.size());
        block.encoding = 200;
        block.resolution = 16;
        block.wrapMode = wrap;
        block.dataFlow = HXDF_CONTINUOUS;
        block.clockFrequency = hxda::encodeFixedPoint(rate);
        block.counterMode = counterMode;
        block.baseClock = baseClock;
        block.rangeMinimum = hxda::encodeFixedPoint(-10.0);
        block.rangeMaximum = hxda::encodeFixedPoint(10.0);
        std::memcpy(data.data(), &block, sizeof block);
        for (std::size_t i = 0; i < channels.size(); ++i) {
            hxda::ChannelListEntry entry{};
            entry.channel = channels[i];
            entry.gain = hxda::encodeFixedPoint(1.0);
            std::memcpy(data.data() + hxda::kListEntriesOffset + hxda::kListEntrySize * i, &entry,
                        sizeof entry);
        }
        const simtest::Answer answer =
            simtest::Control(file, IOCTL_HXDA_CONFIG, data.data(), static_cast<DWORD>(bytes),
                             data.data(), static_cast<DWORD>(bytes));
        ASSERT_TRUE(answer.ok);
        std::memcpy(&block, data.data(), sizeof block);
        ASSERT_EQ(block.status, HXNOERROR);
    }
    static std::uint32_t Request(HANDLE file, std::uint32_t type, DWORD code,
                                 DriverRequest* answer = nullptr) {
        DriverRequest request{};
        request.subsystemType = type;
        EXPECT_TRUE(simtest::Send(file, code, request).ok);
        if (answer != nullptr)
            *answer = request;
        return request.status;
    }
    static std::unique_ptr<Pending> Read(HANDLE file, std::size_t bytes) {
        auto read = std::make_unique<Pending>(bytes);
        const BOOL ok = ReadFile(file, read->data.data(), static_cast<DWORD>(bytes), nullptr,
                                 &read->overlapped);
        EXPECT_TRUE(ok || GetLastError() == ERROR_IO_PENDING);
        return read;
    }
    static std::unique_ptr<Pending> WaitEvent(HANDLE file) {
        auto wait = std::make_unique<Pending>(sizeof(DriverRequest));
        const BOOL ok =
            DeviceIoControl(file, IOCTL_HXDA_WAITEVENT, wait->data.data(), sizeof(DriverRequest),
                            wait->data.data(), sizeof(DriverRequest), nullptr, &wait->overlapped);
        EXPECT_TRUE(ok || GetLastError() == ERROR_IO_PENDING);
        return wait;
    }
};

// The two channels' patterns interleaved: conversion n reads channel n % 2.
std::uint16_t Expected(std::size_t n) {
    const std::uint16_t first[3] = {1, 2, 3};
    const std::uint16_t second[2] = {100, 200};
    return n % 2 == 0 ? first[(n / 2) % 3] : second[(n / 2) % 2];
}

TEST_F(FamilyStream, InputFollowsTheClockWhateverTheTimersLateness) {
    simclock::testing::ManualClock clock;
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 1000.0, {0, 1});
    std::vector<std::unique_ptr<Pending>> reads;
    for (int i = 0; i < 3; ++i)
        reads.push_back(Read(ad, 20));  // 10 samples each
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);

    clock.Advance(9ms);
    EXPECT_FALSE(reads[0]->Done(kSettleMs)) << "9 of 10 samples due";
    clock.Advance(1ms);
    ASSERT_TRUE(reads[0]->Done());
    // One late tick covers 25 ms: two reads fill, five samples wait in the board's FIFO.
    clock.Advance(25ms);
    ASSERT_TRUE(reads[1]->Done());
    ASSERT_TRUE(reads[2]->Done());
    reads.push_back(Read(ad, 20));
    EXPECT_FALSE(reads[3]->Done(kSettleMs));
    clock.Advance(5ms);
    ASSERT_TRUE(reads[3]->Done());

    for (std::size_t r = 0; r < reads.size(); ++r) {
        ASSERT_EQ(reads[r]->Error(ad), 0u);
        EXPECT_EQ(reads[r]->bytes, 20u);
        for (std::size_t i = 0; i < 10; ++i)
            EXPECT_EQ(reads[r]->Sample(i), Expected(10 * r + i)) << "read " << r << " sample " << i;
    }
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_STOP), HXNOERROR);
}

TEST_F(FamilyStream, PauseStopsTheClockUntilContinue) {
    simclock::testing::ManualClock clock;
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 1000.0, {0, 1});
    auto read = Read(ad, 20);
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    clock.Advance(4ms);
    EXPECT_FALSE(read->Done(kSettleMs));
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_PAUSE), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_PAUSE), HXSUBSYSNOTRUNNING);
    clock.Advance(500ms);
    EXPECT_FALSE(read->Done(kSettleMs)) << "no sample while paused";
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_CONTINUE), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_CONTINUE), HXSUBSYSRUNNING);
    clock.Advance(6ms);
    ASSERT_TRUE(read->Done());
    ASSERT_EQ(read->Error(ad), 0u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(read->Sample(i), Expected(i));
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
}

// With no read queued the samples wait in the FIFO (100 ms of data, 1,024 samples at least); one
// sample more than it holds is an overrun, reported on a pending event request.
TEST_F(FamilyStream, AFullFifoIsAnOverrun) {
    simclock::testing::ManualClock clock;
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 1000.0, {0});
    auto wait = WaitEvent(ad);
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    clock.Advance(1024ms);
    EXPECT_FALSE(wait->Done(kSettleMs));
    clock.Advance(1ms);
    ASSERT_TRUE(wait->Done());
    ASSERT_EQ(wait->Error(ad), 0u);
    EXPECT_EQ(wait->EventCode(), HXEV_OVERRUN);
    // The board has stopped: a read now waits for the abort, which cancels it.
    auto read = Read(ad, 20);
    clock.Advance(100ms);
    EXPECT_FALSE(read->Done(kSettleMs));
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
    ASSERT_TRUE(read->Done());
    EXPECT_EQ(read->Error(ad), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

// Output: reads are taken into the board's FIFO ahead of the clock and complete once taken; the
// channel holds the last code sent. When the FIFO runs dry a single pass has ended (I/O
// complete); in the continuous modes the data came too late (underrun).
TEST_F(FamilyStream, OutputEndsOrUnderrunsWhenTheFifoRunsDry) {
    struct Case {
        std::uint16_t wrap;
        std::uint32_t event;
    };
    for (const Case& c : {Case{HXWRAP_NONE, HXEV_IOCOMPLETE}, Case{HXWRAP_MULTIPLE, HXEV_UNDERRUN},
                          Case{HXWRAP_SINGLE, HXEV_UNDERRUN}}) {
        SCOPED_TRACE(c.wrap);
        simclock::testing::ManualClock clock;
        HANDLE da = Open("DA0", 3);
        Configure(da, HXSS_DA, 1000.0, {0}, c.wrap);
        std::vector<std::unique_ptr<Pending>> writes;
        for (int w = 0; w < 2; ++w) {
            writes.push_back(std::make_unique<Pending>(1000));
            for (std::uint16_t i = 0; i < 500; ++i) {
                const auto code = static_cast<std::uint16_t>(1000 * w + i);
                std::memcpy(writes.back()->data.data() + 2 * i, &code, 2);
            }
            ASSERT_FALSE(ReadFile(da, writes.back()->data.data(), 1000, nullptr,
                                  &writes.back()->overlapped));
        }
        auto wait = WaitEvent(da);
        ASSERT_EQ(Request(da, HXSS_DA, IOCTL_HXDA_START), HXNOERROR);
        clock.Advance(1ms);
        for (auto& write : writes) {
            ASSERT_TRUE(write->Done());
            ASSERT_EQ(write->Error(da), 0u);
            EXPECT_EQ(write->bytes, 1000u);
        }
        DriverRequest single{};
        single.subsystemType = HXSS_DA;
        ASSERT_TRUE(simtest::Send(da, IOCTL_HXDA_GETSINGLEVALUE, single).ok);
        EXPECT_EQ(single.parameters.singleValue.value, 1499u);
        clock.Advance(999ms);  // the thousandth sample leaves the FIFO
        EXPECT_FALSE(wait->Done(kSettleMs));
        clock.Advance(1ms);
        ASSERT_TRUE(wait->Done());
        ASSERT_EQ(wait->Error(da), 0u);
        EXPECT_EQ(wait->EventCode(), c.event);
        EXPECT_EQ(Request(da, HXSS_DA, IOCTL_HXDA_ABORT), HXNOERROR);
        Close(da);
    }
}

// Whatever ends the transfer, every read and event request completes exactly once: stopped, the
// read in process keeps what it got; aborted, reset or closed, everything is cancelled.
TEST_F(FamilyStream, EveryRequestCompletesOnceWhateverEndsTheTransfer) {
    enum class End { kStop, kAbort, kReset, kClose, kCancelIo };
    struct Case {
        const char* what;
        End end;
        bool start;
        DWORD firstError;
        DWORD firstBytes;
        DWORD restError;
        bool waitsEnd;
    };
    const DWORD aborted = ERROR_OPERATION_ABORTED;
    const Case cases[] = {
        {"stop", End::kStop, true, 0, 6, 0, false},
        {"abort", End::kAbort, true, aborted, 0, aborted, false},
        {"reset", End::kReset, true, aborted, 0, aborted, false},
        {"close", End::kClose, true, aborted, 0, aborted, true},
        {"cancel before the start", End::kCancelIo, false, aborted, 0, aborted, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        simclock::testing::ManualClock clock;
        HANDLE ad = Open("AD0");
        Configure(ad, HXSS_AD, 1000.0, {0, 1});
        std::vector<std::unique_ptr<Pending>> reads, waits;
        for (int i = 0; i < 3; ++i) {
            reads.push_back(Read(ad, 20));
            waits.push_back(WaitEvent(ad));
        }
        if (c.start) {
            ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
            clock.Advance(3ms);
            EXPECT_FALSE(reads[0]->Done(kSettleMs));
        }
        switch (c.end) {
            case End::kStop:
                EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_STOP), HXNOERROR);
                break;
            case End::kAbort:
                EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
                break;
            case End::kReset:
                EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_RESET), HXNOERROR);
                break;
            case End::kClose:
                Close(ad);
                break;
            case End::kCancelIo:
                EXPECT_TRUE(CancelIo(ad));
                break;
        }
        for (std::size_t i = 0; i < reads.size(); ++i) {
            ASSERT_TRUE(reads[i]->Done()) << i;
            EXPECT_EQ(reads[i]->Error(ad), i == 0 ? c.firstError : c.restError) << i;
            if (i == 0 && c.firstError == 0) {
                EXPECT_EQ(reads[i]->bytes, c.firstBytes);
            } else if (c.restError == 0) {
                EXPECT_EQ(reads[i]->bytes, 0u) << i;
            }
        }
        for (auto& wait : waits)
            EXPECT_EQ(wait->Done(c.waitsEnd ? 5000 : 0), c.waitsEnd);
        if (c.end != End::kClose)
            Close(ad);
        for (auto& wait : waits)
            ASSERT_TRUE(wait->Done());
        EXPECT_TRUE(NothingOutstanding());
    }
}

// A flush copies what the read in process has gathered so far; the read goes on.
TEST_F(FamilyStream, FlushCopiesTheReadInProcess) {
    simclock::testing::ManualClock clock;
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 1000.0, {0, 1});
    DriverRequest record{};
    std::uint8_t copy[100] = {};
    EXPECT_EQ(
        simtest::Control(ad, IOCTL_HXDA_FLUSHINPROCESS, &record, sizeof record, copy, sizeof copy)
            .bytes,
        0u)
        << "nothing in process";
    auto read = Read(ad, 20);
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    clock.Advance(4ms);
    // The DPC may not have run yet: wait (bounded) for the four samples.
    simtest::Answer answer;
    for (int i = 0; i < 5000 && answer.bytes < 8; ++i) {
        answer = simtest::Control(ad, IOCTL_HXDA_FLUSHINPROCESS, &record, sizeof record, copy,
                                  sizeof copy);
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(answer.ok);
    ASSERT_EQ(answer.bytes, 8u);
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint16_t sample = 0;
        std::memcpy(&sample, copy + 2 * i, 2);
        EXPECT_EQ(sample, Expected(i));
    }
    clock.Advance(6ms);
    ASSERT_TRUE(read->Done());
    ASSERT_EQ(read->Error(ad), 0u);
    for (std::size_t i = 0; i < 10; ++i)
        EXPECT_EQ(read->Sample(i), Expected(i));
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_STOP), HXNOERROR);
}

TEST_F(FamilyStream, StartAndSimultaneousStartFollowTheTransfersState) {
    HANDLE ad = Open("AD0");
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_SIMULSTART), HXNOTPRESTARTED);
    Configure(ad, HXSS_AD, 10.0, {0});
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_PRESTART), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXSUBSYSRUNNING);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_SIMULSTART), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_SIMULSTART), HXSUBSYSRUNNING);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_STOP), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
}

TEST_F(FamilyStream, UnpacedBoardFillsEachReadAtOnce) {
    HANDLE ad = Open("AD0", 2);
    Configure(ad, HXSS_AD, 1.0, {0});  // one sample a second, were it paced
    auto before = Read(ad, 8);
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(before->Done());
    auto after = Read(ad, 8);
    ASSERT_TRUE(after->Done());
    const std::uint16_t pattern[3] = {7, 8, 9};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(before->Sample(i), pattern[i % 3]);
        EXPECT_EQ(after->Sample(i), pattern[(i + 4) % 3]);
    }
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
}

TEST_F(FamilyStream, CounterCountsTheEdgesOfItsInputWhileRunning) {
    simclock::testing::ManualClock clock;
    HANDLE ct = Open("CT0");
    Configure(ct, HXSS_CT, 1000.0, {});
    DriverRequest answer{};
    ASSERT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_START), HXNOERROR);
    clock.Advance(250ms);
    ASSERT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_READEVENTS, &answer), HXNOERROR);
    EXPECT_EQ(answer.parameters.eventCount.count, 250u);
    ASSERT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_STOP), HXNOERROR);
    clock.Advance(250ms);
    ASSERT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_READEVENTS, &answer), HXNOERROR);
    EXPECT_EQ(answer.parameters.eventCount.count, 250u) << "stopped, it counts no more";
}

// A one-shot reports its pulse done one clock period after the start; an edge-to-edge measurement
// reports the base-clock ticks of one period of its input (1 kHz) at the second rising edge and
// stops counting.
TEST_F(FamilyStream, CounterOneShotAndMeasurementEndWithTheirEvent) {
    struct Case {
        std::uint16_t mode;
        std::uint32_t event;
        std::uint32_t data;
        std::chrono::microseconds due;
        bool stops;
    };
    for (const Case& c : {Case{702, HXEV_EVENTDONE, 0, 2000us, false},
                          Case{705, HXEV_EVENTVALUE, 18000, 2000us, true}}) {
        SCOPED_TRACE(c.mode);
        simclock::testing::ManualClock clock;
        HANDLE ct = Open("CT0");
        Configure(ct, HXSS_CT, 500.0, {}, HXWRAP_NONE, c.mode, 18'000'000);
        auto wait = WaitEvent(ct);
        ASSERT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_START), HXNOERROR);
        clock.Advance(c.due - 1us);
        EXPECT_FALSE(wait->Done(kSettleMs));
        clock.Advance(1ms);  // the next tick of the driver's timer
        ASSERT_TRUE(wait->Done());
        ASSERT_EQ(wait->Error(ct), 0u);
        EXPECT_EQ(wait->EventCode(), c.event);
        std::uint32_t data = ~0u;
        std::memcpy(&data, wait->data.data() + 20, 4);
        EXPECT_EQ(data, c.data);
        // Stopped by its measurement, the counter can start again at once.
        EXPECT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_START), c.stops ? HXNOERROR : HXSUBSYSRUNNING);
        EXPECT_EQ(Request(ct, HXSS_CT, IOCTL_HXDA_ABORT), HXNOERROR);
        Close(ct);
    }
}

// The board pulled out: one pending event request reports it, the other requests fail as on a
// removed device, and the machine boots again once the files are closed.
TEST_F(FamilyStream, RemovalFailsWhatWasPendingAndTheNextBootHasTheBoard) {
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 10.0, {0});
    std::vector<std::unique_ptr<Pending>> reads, waits;
    for (int i = 0; i < 3; ++i) {
        reads.push_back(Read(ad, 2000));
        waits.push_back(WaitEvent(ad));
    }
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(sim::testing::InjectFault("Mq5200", 1, 0, 0, sim::testing::Fault::kRemoval));
    const DWORD removed = ERROR_DEVICE_REMOVED;
    ASSERT_TRUE(waits[0]->Done());
    ASSERT_EQ(waits[0]->Error(ad), 0u);
    EXPECT_EQ(waits[0]->EventCode(), HXEV_DEVICEREMOVED);
    for (std::size_t i = 1; i < waits.size(); ++i) {
        ASSERT_TRUE(waits[i]->Done());
        EXPECT_EQ(waits[i]->Error(ad), removed);
    }
    for (auto& read : reads) {
        ASSERT_TRUE(read->Done());
        EXPECT_EQ(read->Error(ad), removed);
    }
    Pending late(20);
    EXPECT_FALSE(ReadFile(ad, late.data.data(), 20, nullptr, &late.overlapped));
    EXPECT_EQ(GetLastError(), removed);
    EXPECT_EQ(simtest::ListBoards().size(), 2u) << "no longer listed";
    EXPECT_FALSE(sim::testing::InjectFault("Mq5200", 1, 0, 0, sim::testing::Fault::kRemoval));
    Close(ad);
    ASSERT_TRUE(machine.Reboot());
    EXPECT_EQ(simtest::ListBoards().size(), 3u);
}

TEST_F(FamilyStream, InjectedFaultsNeedARunningTransfer) {
    HANDLE ad = Open("AD0");
    Configure(ad, HXSS_AD, 10.0, {0});
    EXPECT_FALSE(sim::testing::InjectFault("Mq5200", 1, 0, 0, sim::testing::Fault::kOverrun));
    EXPECT_FALSE(sim::testing::InjectFault("Mq5200", 9, 0, 0, sim::testing::Fault::kOverrun));
    auto wait = WaitEvent(ad);
    ASSERT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_START), HXNOERROR);
    ASSERT_TRUE(sim::testing::InjectFault("Mq5200", 1, 0, 0, sim::testing::Fault::kTrigger));
    ASSERT_TRUE(wait->Done());
    EXPECT_EQ(wait->EventCode(), HXEV_TRIGGER);
    wait = WaitEvent(ad);
    ASSERT_TRUE(sim::testing::InjectFault("Mq5200", 1, 0, 0, sim::testing::Fault::kOverrun));
    ASSERT_TRUE(wait->Done());
    EXPECT_EQ(wait->EventCode(), HXEV_OVERRUN);
    EXPECT_EQ(Request(ad, HXSS_AD, IOCTL_HXDA_ABORT), HXNOERROR);
}

}  // namespace
