// The operations' state checks, in their order, with the exact statuses, the new state and the
// requests that reach the driver or the copy thread.
#include <functional>
#include <string>

#include "api_test_support.h"
#include "core/engine.h"
#include "core/message_codes.h"

namespace hxda::test {
namespace {

constexpr std::uint32_t cmd(std::uint32_t code) {
    return kCopyThreadCommand | code;
}

struct StateCase {
    const char* name;
    std::function<HXSTATUS(HDASS)> operation;
    std::int32_t state;
    std::uint16_t dataFlow;
    HXSTATUS expected;
    std::int32_t stateAfter;
    std::vector<std::uint32_t> traffic;  // driver requests and copy-thread commands, in order
    // Optional changes before the call: subsystem type, a capability switched off, ready buffers.
    std::uint32_t type = HXSS_AD;
    std::uint32_t capabilityOff = ~0u;
    int readyBuffers = 1;
    bool copyThread = true;
    std::uint32_t refuse = 0;  // request code the driver answers with status 44
    std::uint16_t wrapMode = HXWRAP_NONE;
};

void PrintTo(const StateCase& c, std::ostream* os) {
    *os << c.name;
}

HXSTATUS viaEngine(HDASS hDass, std::uint32_t code) {
    MessageRecord message;
    return engineCall(hDass, code, message).code();
}

HXSTATUS getSingle(HDASS hDass, UINT channel) {
    UINT value = 0;
    return hxDaGetSingleValue(hDass, &value, channel, 1.0);
}

HXSTATUS flushFromInprocess(HDASS hDass) {
    HBUF target = 0;
    hxDmAllocBuffer(0, 8, &target);
    const HXSTATUS status = hxDaFlushFromBufferInprocess(hDass, target, 8);
    hxDmFreeBuffer(target);
    return status;
}

const std::vector<StateCase>& stateCases() {
    static const std::vector<StateCase> cases = {
        // Configure.
        {"ConfigAllocated", hxDaConfig, 1000, 800, 22, 1000, {}},
        {"ConfigRunning", hxDaConfig, 1005, 800, 22, 1005, {}},
        {"ConfigContinuous", hxDaConfig, 1001, 800, 0, 1004, {IOCTL_HXDA_CONFIG}},
        {"ConfigSingleValue", hxDaConfig, 1004, 801, 0, 1002, {IOCTL_HXDA_CONFIG}},
        {"ConfigRefused",
         hxDaConfig,
         1001,
         800,
         44,
         1001,
         {IOCTL_HXDA_CONFIG},
         HXSS_AD,
         ~0u,
         1,
         true,
         IOCTL_HXDA_CONFIG},
        // Start: data flow, then state, then the ready list.
        {"StartSingleValueFlow", hxDaStart, 1005, 801, 27, 1005, {}},
        {"StartRunning", hxDaStart, 1005, 800, 22, 1005, {}},
        {"StartNotConfigured", hxDaStart, 1001, 800, 26, 1001, {}},
        {"StartNoBuffers", hxDaStart, 1004, 800, 64, 1004, {}, HXSS_AD, ~0u, 0},
        {"Start", hxDaStart, 1004, 800, 0, 1005, {cmd(HXDRV_START), IOCTL_HXDA_START}},
        {"StartFromSingleValueState",
         hxDaStart,
         1002,
         804,
         0,
         1005,
         {cmd(HXDRV_START), IOCTL_HXDA_START}},
        // A counter/timer has no ready list and starts without buffers.
        {"StartCounterTimer",
         hxDaStart,
         1004,
         800,
         0,
         1005,
         {cmd(HXDRV_START), IOCTL_HXDA_START},
         HXSS_CT,
         ~0u,
         0},
        // A refused start aborts the reads the copy thread queued before returning.
        {"StartRefused",
         hxDaStart,
         1004,
         800,
         44,
         1004,
         {cmd(HXDRV_START), IOCTL_HXDA_START, cmd(HXDRV_ABORT)},
         HXSS_AD,
         ~0u,
         1,
         true,
         IOCTL_HXDA_START},
        {"Prestart",
         [](HDASS h) { return viaEngine(h, HXDRV_PRESTART); },
         1004,
         800,
         0,
         1008,
         {cmd(HXDRV_PRESTART), IOCTL_HXDA_PRESTART}},
        // Simultaneous start.
        {"SimulStartFlow",
         [](HDASS h) { return viaEngine(h, HXDRV_SIMULSTART); },
         1008,
         801,
         27,
         1008,
         {}},
        {"SimulStartRunning",
         [](HDASS h) { return viaEngine(h, HXDRV_SIMULSTART); },
         1005,
         800,
         22,
         1005,
         {}},
        {"SimulStartNotPrestarted",
         [](HDASS h) { return viaEngine(h, HXDRV_SIMULSTART); },
         1004,
         800,
         107,
         1004,
         {}},
        {"SimulStart",
         [](HDASS h) { return viaEngine(h, HXDRV_SIMULSTART); },
         1008,
         800,
         0,
         1005,
         {IOCTL_HXDA_SIMULSTART}},
        // Stop and abort: capability, data flow (stop only), state.
        {"StopNoContinuous",
         hxDaStop,
         1005,
         800,
         36,
         1005,
         {},
         HXSS_AD,
         HXSSC_DATAFLOW_CONTINUOUS,
         0},
        {"StopSingleValueFlow", hxDaStop, 1005, 801, 27, 1005, {}},
        {"StopNotRunning", hxDaStop, 1004, 800, 28, 1004, {}},
        // The copy thread sends the stop request and sets the state when its reads are done.
        {"Stop", hxDaStop, 1005, 800, 0, 1005, {cmd(HXDRV_STOP)}},
        {"StopWithoutCopyThread",
         hxDaStop,
         1005,
         800,
         0,
         1004,
         {IOCTL_HXDA_STOP},
         HXSS_CT,
         ~0u,
         0,
         false},
        {"AbortSingleValueFlow", hxDaAbort, 1005, 801, 0, 1005, {cmd(HXDRV_ABORT)}},
        {"AbortNotRunning", hxDaAbort, 1002, 801, 28, 1002, {}},
        // Pause and continue.
        {"PauseNoCapability", hxDaPause, 1005, 800, 36, 1005, {}, HXSS_AD, HXSSC_PAUSE},
        {"PauseFlow", hxDaPause, 1005, 801, 27, 1005, {}},
        {"PauseNotRunning", hxDaPause, 1007, 800, 28, 1007, {}},
        {"Pause", hxDaPause, 1005, 800, 0, 1007, {IOCTL_HXDA_PAUSE}},
        {"ContinueNoCapability", hxDaContinue, 1007, 800, 36, 1007, {}, HXSS_AD, HXSSC_PAUSE},
        {"ContinueFlow", hxDaContinue, 1007, 801, 27, 1007, {}},
        {"ContinueRunning", hxDaContinue, 1005, 800, 22, 1005, {}},
        {"ContinueNotPaused", hxDaContinue, 1004, 800, 28, 1004, {}},
        {"Continue", hxDaContinue, 1007, 800, 0, 1005, {IOCTL_HXDA_CONTINUE}},
        // Reset aborts a running transfer first and then writes the defaults.
        {"ResetRunning", hxDaReset, 1005, 801, 0, 1001, {cmd(HXDRV_RESET), IOCTL_HXDA_RESET}},
        {"ResetIdle", hxDaReset, 1004, 800, 0, 1001, {IOCTL_HXDA_RESET}},
        {"ResetRefused",
         hxDaReset,
         1004,
         801,
         44,
         1004,
         {IOCTL_HXDA_RESET},
         HXSS_AD,
         ~0u,
         1,
         true,
         IOCTL_HXDA_RESET},
        // Single values: capability, data flow, state, channel.
        {"GetSingleNoCapability",
         [](HDASS h) { return getSingle(h, 0); },
         1002,
         801,
         36,
         1002,
         {},
         HXSS_AD,
         HXSSC_DATAFLOW_SINGLEVALUE},
        {"GetSingleFlow", [](HDASS h) { return getSingle(h, 0); }, 1002, 800, 27, 1002, {}},
        {"GetSingleNotConfigured",
         [](HDASS h) { return getSingle(h, 0); },
         1001,
         801,
         26,
         1001,
         {}},
        {"GetSingleBadChannel", [](HDASS h) { return getSingle(h, 8); }, 1002, 801, 7, 1002, {}},
        {"GetSingleExtraChannel",
         [](HDASS h) { return getSingle(h, 31); },
         1002,
         801,
         0,
         1002,
         {IOCTL_HXDA_GETSINGLEVALUE}},
        {"PutSingle",
         [](HDASS h) { return hxDaPutSingleValue(h, 5, 7, 1.0); },
         1002,
         801,
         0,
         1002,
         {IOCTL_HXDA_SETSINGLEVALUE}},
        {"GetSingleValuesNoCapability",
         [](HDASS h) {
             UINT values[16] = {};
             return hxDaGetSingleValues(h, values, 1.0);
         },
         1002,
         801,
         36,
         1002,
         {},
         HXSS_AD,
         HXSSC_SINGLEVALUES},
        // Flush from the buffer in process: capabilities, flow, state, wrap mode.
        {"FlushInprocessNoCapability",
         flushFromInprocess,
         1005,
         800,
         36,
         1005,
         {},
         HXSS_AD,
         HXSSC_FLUSHINPROCESS},
        {"FlushInprocessFlow", flushFromInprocess, 1005, 801, 27, 1005, {}},
        {"FlushInprocessIdle", flushFromInprocess, 1004, 800, 28, 1004, {}},
        {"FlushInprocessPrestarted", flushFromInprocess, 1008, 800, 28, 1008, {}},
        {"FlushInprocessWrap",
         flushFromInprocess,
         1005,
         800,
         119,
         1005,
         {},
         HXSS_AD,
         ~0u,
         1,
         true,
         0,
         HXWRAP_MULTIPLE},
        {"FlushInprocess", flushFromInprocess, 1005, 800, 0, 1005, {cmd(HXDRV_FLUSHINPROCESS)}},
    };
    return cases;
}

class StateMachine : public ApiFixture, public ::testing::WithParamInterface<StateCase> {};

TEST_P(StateMachine, ChecksInOrder) {
    const StateCase& c = GetParam();
    if (c.capabilityOff != ~0u)
        tables.set(c.capabilityOff, 0);
    // Single-ended channels 0-7 and 31 only, so that channel 8 is refused.
    tables.set(HXSSC_NUMSECHANNELS, 8);
    const HDASS hDass = open(c.type, c.copyThread);
    for (int i = 0; i < c.readyBuffers && c.type == HXSS_AD; ++i)
        queueBuffer(hDass);
    block(hDass).state = c.state;
    block(hDass).dataFlow = c.dataFlow;
    block(hDass).wrapMode = c.wrapMode;
    block(hDass).channelType = HXCHANTYPE_SINGLEENDED;
    if (c.refuse != 0)
        log->statusFor[c.refuse] = 44;
    log->requests.clear();

    EXPECT_EQ(c.operation(hDass), c.expected);
    EXPECT_EQ(block(hDass).state, c.stateAfter);
    EXPECT_EQ(log->codes(), c.traffic);
}

INSTANTIATE_TEST_SUITE_P(Operations, StateMachine, ::testing::ValuesIn(stateCases()),
                         [](const auto& info) { return std::string(info.param.name); });

using Configure = ApiFixture;

TEST_F(Configure, ChannelListIsCheckedBeforeSending) {
    const HDASS hDass = open();
    ASSERT_EQ(hxDaSetChannelListSize(hDass, 2), HXNOERROR);
    log->requests.clear();
    // A channel equal to the channel count.
    listEntry(&block(hDass), 1)->channel = 16;
    EXPECT_EQ(hxDaConfig(hDass), HXINVALIDCHANNEL);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    // Differential: channels 8-15 lie in the gap up to the single-ended count.
    block(hDass).channelType = HXCHANTYPE_DIFFERENTIAL;
    listEntry(&block(hDass), 1)->channel = 8;
    EXPECT_EQ(hxDaConfig(hDass), HXINVALIDCHANNEL);
    listEntry(&block(hDass), 1)->channel = 7;
    block(hDass).state = HXSTATE_READY;
    // Entries beyond the list size are not checked.
    listEntry(&block(hDass), 2)->channel = 99;
    EXPECT_EQ(log->requests.size(), 0u);
    EXPECT_EQ(hxDaConfig(hDass), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
}

TEST_F(Configure, UndeliveredRequestNeedsConfigurationAgain) {
    const HDASS hDass = open();
    log->deliver = false;
    log->lastError = 31;
    EXPECT_EQ(hxDaConfig(hDass), HXGENERALFAILURE);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
}

TEST_F(Configure, UnhandledCodesAnswerNotSupported) {
    const HDASS hDass = open();
    for (const std::uint32_t code :
         {HXDRV_SETTRANSFERSIZE, HXDRV_GETTRANSFERCOUNT, HXDRV_NULL, HXDRV_BURSTMQCONNECT,
          HXDRV_ALLOCATE, HXDRV_DEALLOCATE, std::uint32_t{0x3FFF}, std::uint32_t{0x4050},
          std::uint32_t{0x4077}}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(viaEngine(hDass, code), HXNOTSUPPORTED);
    }
    EXPECT_TRUE(log->requests.empty());
}

}  // namespace
}  // namespace hxda::test
