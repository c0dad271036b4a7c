#include "hxda/driver_events.h"

#include <gtest/gtest.h>

namespace {

using hxda::DriverEvent;
using hxda::DriverEventOf;

// Every code word a driver writes names its event and back; a word beside them names none, so
// that a record the driver did not fill (0) or a code of another space is never taken as one.
TEST(DriverEvents, CodeWordsNameTheirEventsAndNothingElse) {
    const std::uint32_t codes[] = {
        HXEV_DEVICEREMOVED, HXEV_TRIGGER, HXEV_EVENTDONE, HXEV_BUFFERREUSED, HXEV_EVENTVALUE,
        HXEV_IOCOMPLETE,    HXEV_OVERRUN, HXEV_UNDERRUN,  HXEV_EVENTERROR,   HXEV_TRIGGERERROR,
    };
    for (const std::uint32_t code : codes) {
        const std::optional<DriverEvent> event = DriverEventOf(code);
        ASSERT_TRUE(event.has_value()) << std::hex << code;
        EXPECT_EQ(hxda::EventCode(*event), code);
    }
    const std::uint32_t others[] = {0,           1,           2,          HXEV_IOCOMPLETE + 1,
                                    0x80000000u, 0x80000005u, 0xFFFFFFFFu};
    for (const std::uint32_t code : others)
        EXPECT_FALSE(DriverEventOf(code).has_value()) << std::hex << code;
}

}  // namespace
