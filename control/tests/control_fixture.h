// A simulated machine with the boards the control's tests drive, the control's module registered
// in its registry, and one control on the test's thread.
#pragma once

#include <memory>

#include "container.h"
#include "hxdaapi32.h"
#include "sim/machine_testing.h"

namespace controltest {

// The MQ5204 has the subsystems AD0, DA0, DIN0, DOUT0, CT0, CT1 (table indexes 0-5); the MQ5330
// AD0, DA0, CT0; the MQ5130 12 DIN and 8 DOUT ports.
inline constexpr const char* kMq5204 = "Mq5200(00)";
inline constexpr const char* kMq5330 = "MQ5310(00)";
inline constexpr const char* kMq5130 = "Mq5130(00)";
inline constexpr const char* kMq5204Line =
    "Mq5200 0x5204 0x20 AD0.0=const:2.5 AD0.1=pattern:100,200 CT0.0=square:1:1000";
inline constexpr const char* kMq5330Line = "MQ5310 3 0x31";
inline constexpr const char* kMq5130Line = "Mq5130 0x5130 3";

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

    sim::testing::ScopedSimulatedMachine machine{{kMq5204Line, kMq5330Line, kMq5130Line}};
    RegisteredControlModule module;
    Site site;
    std::unique_ptr<Control> control;
};

}  // namespace controltest
