// Code/volts conversion, simultaneous-start lists and frequency measurement.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "api_test_support.h"
#include "core/message_codes.h"
#include "hxda/protocol.h"
#include "win32/messages.h"
#include "win32/mmsystem.h"

namespace hxda::test {
namespace {

// ---- Conversion --------------------------------------------------------------------------------

struct ToVolts {
    double minimum, maximum, gain;
    UINT resolution, encoding;
    INT code;
    double volts;
};

TEST(CodeVolts, CodesToVolts) {
    const ToVolts cases[] = {
        {-10, 10, 1, 16, 200, 32768, 0.0},
        {-10, 10, 2, 16, 200, 32768, 0.0},
        {-10, 10, 2, 16, 200, 65535, (10 - 20.0 / 65536) / 2},
        {-10, 10, 1, 16, 200, 0, -10.0},
        {0, 5, 1, 12, 200, 2048, 2.5},
        // Two's complement: signed codes of the resolution's width around the range's middle.
        {-10, 10, 1, 16, 201, 16384, 5.0},
        {-10, 10, 1, 16, 201, 0xC000, -5.0},
        {-10, 10, 1, 16, 201, -16384, -5.0},
        {-10, 10, 1, 12, 201, 0x800, -10.0},
        {0, 10, 2, 16, 201, 0, 2.5},
    };
    for (const ToVolts& c : cases) {
        double volts = 99.0;
        ASSERT_EQ(
            hxDaCodeToVolts(c.minimum, c.maximum, c.gain, c.resolution, c.encoding, c.code, &volts),
            HXNOERROR);
        EXPECT_DOUBLE_EQ(volts, c.volts) << c.code << " enc " << c.encoding;
    }
}

struct ToCode {
    double minimum, maximum, gain;
    UINT resolution, encoding;
    double volts;
    INT code;
};

TEST(CodeVolts, VoltsToCodesTruncateAndDoNotClamp) {
    const ToCode cases[] = {
        {-10, 10, 1, 16, 201, 5.0, 16384},   {-10, 10, 1, 16, 200, 10.0, 65536},
        {-10, 10, 1, 16, 200, 0.0, 32768},   {-10, 10, 1, 16, 200, -10.0, 0},
        {-10, 10, 1, 16, 201, -5.0, -16384}, {-10, 10, 1, 12, 200, 0.0049, 2049},
        {-10, 10, 2, 16, 200, 5.0, 40960},   {-10, 10, 1, 16, 200, -20.0, -32768},
    };
    for (const ToCode& c : cases) {
        INT code = 0;
        ASSERT_EQ(
            hxDaVoltsToCode(c.minimum, c.maximum, c.gain, c.resolution, c.encoding, c.volts, &code),
            HXNOERROR);
        EXPECT_EQ(code, c.code) << c.volts << " enc " << c.encoding;
    }
    // A code read back gives the volts it came from, within one step.
    for (const UINT encoding : {200u, 201u}) {
        INT code = 0;
        double volts = 0.0;
        ASSERT_EQ(hxDaVoltsToCode(-10, 10, 1, 16, encoding, 3.3, &code), HXNOERROR);
        ASSERT_EQ(hxDaCodeToVolts(-10, 10, 1, 16, encoding, code, &volts), HXNOERROR);
        EXPECT_NEAR(volts, 3.3, 20.0 / 65536);
    }
}

TEST(CodeVolts, RefusedArguments) {
    double volts = 0.0;
    INT code = 0;
    EXPECT_EQ(hxDaCodeToVolts(-10, 10, 1, 33, 200, 0, &volts), HXINVALIDRESOLUTION);
    EXPECT_EQ(hxDaCodeToVolts(-10, 10, 1, 16, 202, 0, &volts), HXINVALIDENCODING);
    EXPECT_EQ(hxDaCodeToVolts(10, 10, 1, 16, 200, 0, &volts), HXINVALIDRANGE);
    EXPECT_EQ(hxDaCodeToVolts(-10, 10, 0, 16, 200, 0, &volts), HXINVALIDGAIN);
    EXPECT_EQ(hxDaVoltsToCode(-10, 10, -1, 16, 200, 0, &code), HXINVALIDGAIN);
    EXPECT_EQ(hxDaVoltsToCode(-10, 10, 1, 16, 200, NAN, &code), HXNOERROR);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(hxDaVoltsToCode(-10, 10, 1, 32, 200, 1e12, &code), HXNOERROR);
    EXPECT_EQ(code, INT32_MAX);
}

// ---- Simultaneous start ------------------------------------------------------------------------

class SimultaneousStart : public ApiFixture {
  protected:
    void SetUp() override {
        ApiFixture::SetUp();
        tables.set(HXSSC_SIMULTANEOUSSTART, 1);
    }
    HDASS configured() {
        const HDASS hDass = open();
        queueBuffer(hDass);
        EXPECT_EQ(hxDaConfig(hDass), HXNOERROR);
        return hDass;
    }
    std::vector<HDASS> driverOrder(std::uint32_t code) {
        std::vector<HDASS> order;
        for (const auto& request : log->requests)
            if (request.code == code)
                order.push_back(request.at<std::uint32_t>(4));
        return order;
    }
};

BOOL CALLBACK collectMembers(HSSLIST, HDASS hDass, LPARAM user) {
    reinterpret_cast<std::vector<HDASS>*>(user)->push_back(hDass);
    return TRUE;
}
BOOL CALLBACK firstMemberOnly(HSSLIST list, HDASS hDass, LPARAM user) {
    collectMembers(list, hDass, user);
    return FALSE;
}

TEST_F(SimultaneousStart, MembersArePrestartedThenStartedInListOrder) {
    const HDASS first = configured();
    const HDASS second = configured();
    HSSLIST list = 0;
    ASSERT_EQ(hxDaGetSSList(&list), HXNOERROR);
    EXPECT_EQ(hxDaSimultaneousPrestart(list), HXEMPTYSSLIST);
    ASSERT_EQ(hxDaPutDassToSSList(list, second), HXNOERROR);
    ASSERT_EQ(hxDaPutDassToSSList(list, first), HXNOERROR);
    EXPECT_EQ(hxDaPutDassToSSList(list, first), HXALREADYONSSLIST);

    std::vector<HDASS> members;
    ASSERT_EQ(hxDaEnumSSList(list, &collectMembers, reinterpret_cast<LPARAM>(&members)), HXNOERROR);
    EXPECT_EQ(members, (std::vector<HDASS>{second, first}));
    members.clear();
    ASSERT_EQ(hxDaEnumSSList(list, &firstMemberOnly, reinterpret_cast<LPARAM>(&members)),
              HXNOERROR);
    EXPECT_EQ(members.size(), 1u);

    // Starting before the prestart is refused by the first member and ends the call.
    EXPECT_EQ(hxDaSimultaneousStart(list), HXNOTPRESTARTED);
    ASSERT_EQ(hxDaSimultaneousPrestart(list), HXNOERROR);
    EXPECT_EQ(block(first).state, HXSTATE_PRESTARTED);
    ASSERT_EQ(hxDaSimultaneousStart(list), HXNOERROR);
    EXPECT_EQ(block(first).state, HXSTATE_RUNNING);
    EXPECT_EQ(block(second).state, HXSTATE_RUNNING);
    EXPECT_EQ(log->last(IOCTL_HXDA_SIMULSTART)->at<std::uint32_t>(8),
              static_cast<std::uint32_t>(HXSTATE_PRESTARTED));
    EXPECT_EQ(driverOrder(IOCTL_HXDA_PRESTART).size(), 2u);
    EXPECT_EQ(driverOrder(IOCTL_HXDA_SIMULSTART).size(), 2u);

    ASSERT_EQ(hxDaReleaseSSList(list), HXNOERROR);
    EXPECT_EQ(hxDaReleaseSSList(list), HXINVALIDSSLIST);
    EXPECT_EQ(hxDaSimultaneousStart(list), HXINVALIDSSLIST);
}

TEST_F(SimultaneousStart, ARemovedMemberStopsTheListBeforeAnythingIsSent) {
    const HDASS kept = configured();
    const HDASS released = configured();
    HSSLIST list = 0;
    ASSERT_EQ(hxDaGetSSList(&list), HXNOERROR);
    ASSERT_EQ(hxDaPutDassToSSList(list, kept), HXNOERROR);
    ASSERT_EQ(hxDaPutDassToSSList(list, released), HXNOERROR);
    ASSERT_EQ(hxDaReleaseDASS(released), HXNOERROR);
    log->requests.clear();
    EXPECT_EQ(hxDaSimultaneousPrestart(list), HXINVALIDSSLISTMEMBER);
    EXPECT_EQ(hxDaEnumSSList(list, &collectMembers, 0), HXINVALIDSSLISTMEMBER);
    EXPECT_TRUE(log->requests.empty());
    EXPECT_EQ(block(kept).state, HXSTATE_READY);
}

TEST_F(SimultaneousStart, PutRefusals) {
    HSSLIST list = 0;
    ASSERT_EQ(hxDaGetSSList(&list), HXNOERROR);
    EXPECT_EQ(hxDaPutDassToSSList(list, 0x1234), HXINVALIDSSHANDLE);
    EXPECT_EQ(hxDaPutDassToSSList(0x1234, open()), HXINVALIDSSLIST);
    tables.set(HXSSC_SIMULTANEOUSSTART, 0);
    EXPECT_EQ(hxDaPutDassToSSList(list, open()), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaGetSSList(nullptr), HXCANTALLOCSSLIST);
}

// ---- Frequency measurement ---------------------------------------------------------------------

class FrequencyMeasurement : public ApiFixture {
  protected:
    void SetUp() override {
        ApiFixture::SetUp();
        tables.set(HXSSC_CTMODE_COUNTEVENTS, 1);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "HxdaMeasureTest";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "HxdaMeasureTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        log->reply = [this](std::uint32_t code, std::uint8_t* out, std::uint32_t) {
            if (code == IOCTL_HXDA_READEVENTS)
                std::memcpy(out + 16, &events, sizeof events);
        };
        log->statusFor[IOCTL_HXDA_READEVENTS] = readStatus;
    }
    void TearDown() override {
        ApiFixture::TearDown();
        DestroyWindow(window);
    }
    // The next MEASUREDONE posted to the window within the time-out.
    bool awaitResult(MSG* result, int timeoutMs = 5000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (PeekMessageA(result, window, HXWM_MEASUREDONE, HXWM_MEASUREDONE, PM_REMOVE))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    static float frequencyOf(const MSG& message) {
        const auto bits = static_cast<std::uint32_t>(message.lParam);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    HWND window = nullptr;
    std::uint32_t events = 250;
    std::uint32_t readStatus = 0;
};

TEST_F(FrequencyMeasurement, CountsForTheGateTimeAndPostsTheRate) {
    const HDASS counter = open(HXSS_CT);
    ASSERT_EQ(hxDaMeasureFrequency(counter, window, 0.05), HXNOERROR);
    EXPECT_EQ(block(counter).counterMode, HXCTMODE_COUNTEVENTS);
    EXPECT_EQ(block(counter).measurementGateTime, 0.05);
    EXPECT_EQ(block(counter).state, HXSTATE_RUNNING);
    MSG result{};
    ASSERT_TRUE(awaitResult(&result));
    EXPECT_EQ(result.wParam, counter);
    EXPECT_FLOAT_EQ(frequencyOf(result), 5000.0f);
    EXPECT_NE(log->last(IOCTL_HXDA_READEVENTS), nullptr);
    EXPECT_EQ(log->codes().back(), kCopyThreadCommand | HXDRV_STOP);
}

TEST_F(FrequencyMeasurement, AFailedCountStillEndsTheMeasurementWithZero) {
    log->statusFor[IOCTL_HXDA_READEVENTS] = 45;
    const HDASS counter = open(HXSS_CT);
    ASSERT_EQ(hxDaMeasureFrequency(counter, window, 0.01), HXNOERROR);
    MSG result{};
    ASSERT_TRUE(awaitResult(&result));
    EXPECT_EQ(frequencyOf(result), 0.0f);
}

TEST_F(FrequencyMeasurement, ReleaseCancelsAPendingMeasurement) {
    const HDASS counter = open(HXSS_CT);
    ASSERT_EQ(hxDaMeasureFrequency(counter, window, 0.05), HXNOERROR);
    ASSERT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    MSG result{};
    EXPECT_FALSE(awaitResult(&result, 200));
    EXPECT_EQ(win32::testing::ActiveMultimediaTimerCount(), 0u);
}

TEST_F(FrequencyMeasurement, RefusalsChangeNothing) {
    const HDASS counter = open(HXSS_CT);
    for (const double gate : {0.0005, 4294968.0, double(NAN), -1.0})
        EXPECT_EQ(hxDaMeasureFrequency(counter, window, gate), HXINVALIDCOUNTDURATION) << gate;
    EXPECT_EQ(hxDaMeasureFrequency(counter, nullptr, 1.0), HXNOMEASUREWINDOW);
    EXPECT_EQ(hxDaMeasureFrequency(0x1234, window, 1.0), HXINVALIDSSHANDLE);
    EXPECT_TRUE(log->requests.empty());
    // An input without counting modes: the mode setting's refusal is returned.
    EXPECT_EQ(hxDaMeasureFrequency(open(HXSS_AD), window, 1.0), HXNOTSUPPORTED);
}

}  // namespace
}  // namespace hxda::test
