// A simulated machine with the boards the control's tests drive, the control's module registered
// in its registry, and one control on the test's thread.
#pragma once

#include <memory>

#include "container.h"
#include "hxdaapi32.h"
#include "sim/machine_testing.h"

namespace controltest {

// The MQ5204 has the subsystems AD0, DA0, DIN0, DOUT0, CT0, CT1 (table indexes 0-5); the MQ5330
// AD0, DA0, CT0; the MQ5310 AD0, DA0, DIN0, DOUT0, CT0; the MQ5120 AD0 first.
inline constexpr const char* kMq5204 = "Mq5200(00)";
inline constexpr const char* kMq5330 = "MQ5310(00)";
inline constexpr const char* kMq5310 = "MQ5310(01)";
inline constexpr const char* kMq5204Line =
    "Mq5200 0x5204 0x20 AD0.0=const:2.5 AD0.1=pattern:100,200 CT0.0=square:1:1000";
inline constexpr const char* kMq5330Line = "MQ5310 3 0x31";
// The MQ5310's digital ports have no channel types, clock or notifications.
inline constexpr const char* kMq5310Line = "MQ5310 0 0x32";
// The MQ5120's A/D has threshold and extra triggers, synchronous digital I/O and extra retriggers.
inline constexpr const char* kMq5120 = "MQ5120(00)";
inline constexpr const char* kMq5120Line = "MQ5120 4 1";

inline constexpr int kAdIndex = 0;
inline constexpr int kDaIndex = 1;
inline constexpr int kDinIndex = 2;
inline constexpr int kCt0Index = 4;

inline SCODE StatusError(HXSTATUS status) {
    return mqacq32::kStatusErrorBase + static_cast<SCODE>(status);
}

inline std::string LibraryText(HXSTATUS status) {
    char text[256] = {};
    hxDaGetErrorString(status, text, sizeof(text) - 1);
    return text;
}

class ControlTest : public ::testing::Test {
  protected:
    void SetUp() override { control = std::make_unique<Control>(&site); }
    void TearDown() override {
        control.reset();
        PumpUntil([] { return true; });
    }

    // Opens `board` and its table entry `index` on the control, which must succeed.
    void open(const char* board, int index) {
        ASSERT_TRUE(control->put(mqacq32::dispid::Board, Variant::Text(board)).ok());
        const Outcome opened =
            control->put(mqacq32::dispid::SubSystem, Variant::Short(static_cast<SHORT>(index)));
        ASSERT_TRUE(opened.ok()) << opened.description;
    }
    HDASS hDass() { return static_cast<HDASS>(control->getLong(mqacq32::dispid::hDass)); }

    sim::testing::ScopedSimulatedMachine machine{
        {kMq5204Line, kMq5330Line, kMq5310Line, kMq5120Line}};
    RegisteredControlModule module;
    Site site;
    std::unique_ptr<Control> control;
};

}  // namespace controltest
