// Shared pieces of the API library's tests: a recording driver behind a subsystem or device file,
// a copy thread stand-in that logs its commands, board tables, and a fixture that opens records
// through the test-only entry.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/capabilities.h"
#include "core/message_codes.h"
#include "hxda/protocol.h"
#include "hxdaapi32.h"
#include "testing/hxda_testing.h"

namespace hxda::test {

// Commands of the copy thread stand-in appear in the request log with this bit set.
inline constexpr std::uint32_t kCopyThreadCommand = 0x80000000u;

struct RecordedRequest {
    std::uint32_t code;
    std::vector<std::uint8_t> input;

    template <typename T>
    T at(std::size_t offset) const {
        T value{};
        std::memcpy(&value, input.data() + offset, sizeof value);
        return value;
    }
};

// What the recording driver saw and how it answers.
struct DriverLog {
    std::vector<RecordedRequest> requests;  // requests and copy-thread commands, in order
    std::map<std::uint32_t, std::uint32_t> statusFor;  // status written at offset 12, per code
    std::function<void(std::uint32_t code, std::uint8_t* out, std::uint32_t bytes)> reply;
    bool deliver = true;          // false: the request fails to reach the driver
    std::uint32_t lastError = 0;  // the system's error value of a failed request

    std::vector<std::uint32_t> codes() const {
        std::vector<std::uint32_t> all;
        for (const auto& request : requests)
            all.push_back(request.code);
        return all;
    }
    const RecordedRequest* last(std::uint32_t code) const {
        for (auto it = requests.rbegin(); it != requests.rend(); ++it)
            if (it->code == code)
                return &*it;
        return nullptr;
    }
};

class RecordingDriver : public DriverChannel {
  public:
    explicit RecordingDriver(std::shared_ptr<DriverLog> log) : log_(std::move(log)) {}

    bool control(std::uint32_t code, const void* in, std::uint32_t inBytes, void* out,
                 std::uint32_t outBytes, std::uint32_t* bytesReturned,
                 std::uint32_t* lastError) override {
        const auto* bytes = static_cast<const std::uint8_t*>(in);
        log_->requests.push_back({code, std::vector<std::uint8_t>(bytes, bytes + inBytes)});
        if (!log_->deliver) {
            *lastError = log_->lastError;
            return false;
        }
        auto* answer = static_cast<std::uint8_t*>(out);
        if (answer != bytes)
            std::memcpy(answer, bytes, std::min(inBytes, outBytes));
        const auto found = log_->statusFor.find(code);
        const std::uint32_t status = found == log_->statusFor.end() ? 0 : found->second;
        std::memcpy(answer + 12, &status, sizeof status);
        if (log_->reply)
            log_->reply(code, answer, outBytes);
        *bytesReturned = outBytes;
        return true;
    }

  private:
    std::shared_ptr<DriverLog> log_;
};

class LoggingCopyThread : public CopyThreadLink {
  public:
    explicit LoggingCopyThread(std::shared_ptr<DriverLog> log) : log_(std::move(log)) {}
    ApiStatus command(std::uint32_t command) override {
        log_->requests.push_back({kCopyThreadCommand | command, {}});
        // The copy thread itself marks a transfer as running (or prestarted) when it starts one.
        if (block && (command == HXDRV_START || command == HXDRV_PRESTART))
            block->state = command == HXDRV_START ? HXSTATE_RUNNING : HXSTATE_PRESTARTED;
        return HXNOERROR;
    }
    ApiStatus post(std::uint32_t command) override { return this->command(command); }
    std::uint32_t inProcessCount() const override { return 3; }

    ConfigurationBlock* block = nullptr;  // the subsystem's, once it is open

  private:
    std::shared_ptr<DriverLog> log_;
};

// An analog input's tables: 16 single-ended or 8 differential channels, a 4-entry list.
struct BoardTables {
    std::array<std::uint32_t, kCapabilityTableEntries> capabilities{};
    std::array<double, kClockLimitCount> clockLimits{100000.75, 1.0, 1000.0,   10.0,
                                                     65535.0,   2.0, 1000000.0};
    std::array<double, 4> gains{1.0, 2.0, 4.0, 8.0};
    std::array<double, 1> minima{-10.0};
    std::array<double, 1> maxima{10.0};
    std::array<const double*, 1> minimaPerChannel{minima.data()};
    std::array<const double*, 1> maximaPerChannel{maxima.data()};
    std::array<double, 1> resolutions{16.0};
    std::array<double, 2> filters{0.0, 10.0};

    BoardTables() {
        set(HXSSC_NUMSECHANNELS, 16);
        set(HXSSC_NUMDICHANNELS, 8);
        set(HXSSC_LISTSIZE, 4);
        set(HXSSC_NUMFILTERS, 2);
        set(HXSSC_NUMGAINS, 4);
        set(HXSSC_NUMRANGES, 1);
        set(HXSSC_NUMDMACHANNELS, 1);
        set(HXSSC_NUMCHANNELS, 16);
        set(HXSSC_NUMRESOLUTIONS, 1);
        set(HXSSC_CHANTYPE_SINGLEENDED, 1);
        set(HXSSC_CHANTYPE_DIFFERENTIAL, 1);
        set(HXSSC_ENCODING_TWOSCOMP, 1);
        set(HXSSC_DATAFLOW_CONTINUOUS, 1);
        set(HXSSC_DATAFLOW_SINGLEVALUE, 1);
        set(HXSSC_PAUSE, 1);
        set(HXSSC_WRAP_MULTIPLE, 1);
        set(HXSSC_NOTIFICATIONS, 1);
        set(HXSSC_FLUSHINPROCESS, 1);
        set(HXSSC_PULSE_ACTIVEHIGH, 1);
        set(HXSSC_MAXMULTISCAN, 8);
        set(HXSSC_EXTRACHANNEL, 31);
        set(HXSSC_SINGLEVALUES, 1);
    }
    void set(std::uint32_t code, std::uint32_t value) {
        capabilities[code <= 60 ? code : code - 12] = value;
    }
    PersonalityRecord personality() const {
        PersonalityRecord p;
        p.gains = gains.data();
        p.rangeMinima = minimaPerChannel.data();
        p.rangeMaxima = maximaPerChannel.data();
        p.filters = filters.data();
        p.resolutions = resolutions.data();
        p.capabilities = capabilities.data();
        p.clockLimits = clockLimits.data();
        return p;
    }
};

class ApiFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::resetHandleTables();
        ASSERT_EQ(testing::openTestDevice(std::make_unique<RecordingDriver>(deviceLog), &hDev),
                  HXNOERROR);
    }
    void TearDown() override { testing::resetHandleTables(); }

    // A subsystem on the recording driver, with the copy thread stand-in when asked.
    HDASS open(std::uint32_t type = HXSS_AD, bool copyThread = true,
               const PersonalityRecord* personality = nullptr) {
        SubsystemParts parts;
        parts.type = type;
        parts.element = 2;
        parts.personality = personality ? *personality : tables.personality();
        parts.file = std::make_unique<RecordingDriver>(log);
        LoggingCopyThread* logging = nullptr;
        if (copyThread) {
            auto made = std::make_unique<LoggingCopyThread>(log);
            logging = made.get();
            parts.copyThread = std::move(made);
        }
        HDASS hDass = 0;
        EXPECT_EQ(testing::openTestSubsystem(hDev, std::move(parts), &hDass), HXNOERROR);
        if (logging)
            logging->block = testing::configurationOf(hDass);
        return hDass;
    }

    static ConfigurationBlock& block(HDASS hDass) { return *testing::configurationOf(hDass); }

    // Puts a fresh buffer on the subsystem's ready list.
    void queueBuffer(HDASS hDass) {
        HBUF buffer = 0;
        ASSERT_EQ(hxDmAllocBuffer(0, 8, &buffer), 0u);
        ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    }

    BoardTables tables;
    std::shared_ptr<DriverLog> log = std::make_shared<DriverLog>();
    std::shared_ptr<DriverLog> deviceLog = std::make_shared<DriverLog>();
    HDEV hDev = 0;
};

}  // namespace hxda::test
