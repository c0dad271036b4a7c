// Board-list signals as the simulated MQ5120's input signals: levels over time as the board list
// defines them, and patterns as the codes the channel reads.
#include <gtest/gtest.h>

#include "../machine/mq5120_inputs.h"

namespace {

using Kind = sim::Signal::Kind;

TEST(Mq5120Inputs, SignalsKeepTheirLevelsOverTime) {
    struct Case {
        const char* what;
        sim::Signal signal;
        double seconds;
        double volts;
    } cases[] = {
        {"constant", {Kind::kConstant, 2.5, 0, 0, {}}, 0.3, 2.5},
        {"sine at its peak", {Kind::kSine, 2.0, 10.0, 1.0, {}}, 0.025, 3.0},
        {"sine at its trough", {Kind::kSine, 2.0, 10.0, 1.0, {}}, 0.075, -1.0},
        {"square, first half high", {Kind::kSquare, 1.0, 10.0, 1.0, {}}, 0.01, 2.0},
        {"square, second half low", {Kind::kSquare, 1.0, 10.0, 1.0, {}}, 0.06, 0.0},
    };
    for (const auto& c : cases) {
        const mq5120::Signal model = sim::ModelSignal(c.signal);
        EXPECT_NEAR(model.VoltsAt(c.seconds), c.volts, 1e-9) << c.what;
        EXPECT_NEAR(model.VoltsAt(c.seconds), sim::VoltsAt(c.signal, c.seconds), 1e-9) << c.what;
    }
}

TEST(Mq5120Inputs, APatternIsTheChannelsCodes) {
    const mq5120::Signal model = sim::ModelSignal({Kind::kPattern, 0, 0, 0, {1, 0x10000, 7}});
    EXPECT_EQ(model.kind, mq5120::Signal::Kind::Pattern);
    EXPECT_EQ(model.pattern, (std::vector<std::uint32_t>{1, 0x10000, 7}));
}

}  // namespace
