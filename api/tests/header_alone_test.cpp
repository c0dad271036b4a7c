// The public header comes first and alone: it must compile without any other include.
#include "hxdaapi32.h"

#include <gtest/gtest.h>

namespace {

TEST(PublicHeader, HandlesAreThirtyTwoBitTokens) {
    static_assert(sizeof(HDEV) == 4 && sizeof(HDASS) == 4 && sizeof(HSSLIST) == 4);
    static_assert(sizeof(HBUF) == 4 && sizeof(HLIST) == 4);
    static_assert(sizeof(HXDASSINFO) == 12);
    static_assert(sizeof(hxss_tag) == 4);
    // Buffer-manager statuses come through the same header.
    EXPECT_EQ(HXCANTALLOCBCB, 200u);
    EXPECT_EQ(HXNOTMULTIPLEOFTWO, 220u);
}

TEST(PublicHeader, DerivedCapabilityCodesFollowTheValueArithmetic) {
    // Gate type v needs capability v - 425; measure edge v needs capability v - 675.
    static_assert(HXGATE_NONE - 425 == HXSSC_GATE_NONE);
    static_assert(HXGATE_FALLINGEDGE - 425 == HXSSC_GATE_FALLINGEDGE);
    static_assert(HXGATE_LEVELCHANGE - 425 == HXSSC_GATE_LEVELCHANGE);
    static_assert(HXGATE_LEVELCHANGEDEBOUNCE - 425 == HXSSC_GATE_LEVELCHANGEDEBOUNCE);
    static_assert(HXEDGE_GATERISING - 675 == HXSSC_GATE_NONE);
    static_assert(HXEDGE_CLOCKFALLING - 675 == HXSSC_GATE_RISINGEDGE);
    // Codes from 73 on are capability-table entries code - 12: continuous measure is entry 90,
    // the entry after the quadrature decoder's.
    static_assert(HXSSC_CTMODE_CONTMEASURE - 12 == 90 && HXSSC_QUADDECODER - 12 == 89);
    // The three codes placed after the numbered ones stay inside the 94-entry table.
    static_assert(HXSSC_FIXEDPULSEWIDTH - 12 <= 93 &&
                  HXSSC_CHANNELRANGE > HXSSC_CTMODE_CONTMEASURE);
    EXPECT_EQ(HXWM_TRIGGERERROR, 0x400u + 100);
    EXPECT_EQ(HXWM_IOCOMPLETE, 0x400u + 114);
}

}  // namespace
