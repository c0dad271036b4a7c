// Single values of the MQ5120's A/D through the library onto the board model: every input at every
// gain, single-ended and differential, reads the code the board's converter makes of its signal.
#include <string>
#include <vector>

#include "e2e_mq5120_fixture.h"

namespace mq5120e2e {
namespace {

// The 16 inputs of the board (type 4: 16 single-ended inputs, 8 differential pairs n and n + 8).
constexpr double kVolts[16] = {1.25,  -0.625, 0.3, -4.0, 9.5, 0.0,  -9.99, 2.2,
                               -1.25, 0.625,  0.3, 1.0,  3.3, -7.1, 5.0,   0.01};
constexpr double kGains[] = {1, 2, 4, 8};

std::string BoardLine() {
    std::string line = "MQ5120 4 1";
    for (int channel = 0; channel < 16; ++channel)
        line += " AD0." + std::to_string(channel) + "=const:" + std::to_string(kVolts[channel]);
    return line;
}

using Mq5120SingleValues = Mq5120Test;

TEST_F(Mq5120SingleValues, EveryInputAndGainInBothModesReadsTheConvertersCode) {
    boot({BoardLine()});
    const HDASS hDass = open(HXSS_AD);
    struct Mode {
        UINT type;
        int inputs;
    };
    for (const Mode mode : {Mode{HXCHANTYPE_SINGLEENDED, 16}, Mode{HXCHANTYPE_DIFFERENTIAL, 8}}) {
        SCOPED_TRACE(mode.type);
        ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_SINGLEVALUE), HXNOERROR);
        ASSERT_EQ(hxDaSetChannelType(hDass, mode.type), HXNOERROR);
        ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
        for (int channel = 0; channel < mode.inputs; ++channel) {
            const double volts = mode.type == HXCHANTYPE_SINGLEENDED
                                     ? kVolts[channel]
                                     : kVolts[channel] - kVolts[channel + 8];
            for (const double gain : kGains) {
                UINT value = ~0u;
                ASSERT_EQ(hxDaGetSingleValue(hDass, &value, static_cast<UINT>(channel), gain),
                          HXNOERROR)
                    << "channel " << channel << " gain " << gain;
                EXPECT_EQ(value, CodeOf(volts, gain)) << "channel " << channel << " gain " << gain;
            }
        }
        // The first input past the mode's last is refused, by the library or the driver.
        UINT value = 0;
        EXPECT_NE(hxDaGetSingleValue(hDass, &value, static_cast<UINT>(mode.inputs), 1.0),
                  HXNOERROR);
    }
}

// The converter's codes pinned for a few levels: 1.25 V reaches the top of the range at gain 8;
// a differential pair reads the difference of its inputs (1.25 - -1.25 = 2.5 V).
TEST_F(Mq5120SingleValues, CodesOfKnownLevels) {
    boot({BoardLine()});
    const HDASS hDass = open(HXSS_AD);
    struct Case {
        UINT type;
        UINT channel;
        double gain;
        UINT code;
    };
    const Case cases[] = {
        {HXCHANTYPE_SINGLEENDED, 0, 1, 36864},  {HXCHANTYPE_SINGLEENDED, 0, 2, 40960},
        {HXCHANTYPE_SINGLEENDED, 0, 4, 49152},  {HXCHANTYPE_SINGLEENDED, 0, 8, 65535},
        {HXCHANTYPE_SINGLEENDED, 1, 1, 30720},  {HXCHANTYPE_SINGLEENDED, 1, 8, 16384},
        {HXCHANTYPE_SINGLEENDED, 5, 4, 32768},  {HXCHANTYPE_SINGLEENDED, 6, 2, 0},
        {HXCHANTYPE_DIFFERENTIAL, 0, 1, 40960}, {HXCHANTYPE_DIFFERENTIAL, 0, 4, 65535},
        {HXCHANTYPE_DIFFERENTIAL, 1, 1, 28672}, {HXCHANTYPE_DIFFERENTIAL, 2, 8, 32768},
    };
    UINT configured = 0;
    for (const Case& c : cases) {
        if (c.type != configured) {
            ASSERT_EQ(hxDaSetDataFlow(hDass, HXDF_SINGLEVALUE), HXNOERROR);
            ASSERT_EQ(hxDaSetChannelType(hDass, c.type), HXNOERROR);
            ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
            configured = c.type;
        }
        UINT value = ~0u;
        ASSERT_EQ(hxDaGetSingleValue(hDass, &value, c.channel, c.gain), HXNOERROR);
        EXPECT_EQ(value, c.code) << "type " << c.type << " channel " << c.channel << " gain "
                                 << c.gain;
    }
}

}  // namespace
}  // namespace mq5120e2e
