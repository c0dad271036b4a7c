// How each export fills the engine's message record and takes its result from it. A message tap
// captures the record on entry and answers with prepared words.
#include <functional>
#include <map>
#include <string>

#include "api_test_support.h"
#include "core/engine.h"
#include "core/message_codes.h"

namespace hxda::test {
namespace {

struct Tapped {
    bool seen = false;
    std::uint32_t code = 0;
    MessageRecord entry;
    MessageRecord reply;  // copied over the record before returning
    std::uint32_t status = 0;
};
Tapped tapped;

bool tap(HDASS, std::uint32_t code, MessageRecord& message, std::uint32_t* status) {
    tapped.seen = true;
    tapped.code = code;
    tapped.entry = message;
    message = tapped.reply;
    *status = tapped.status;
    return true;
}

class MessageRecords : public ApiFixture {
  protected:
    void SetUp() override {
        ApiFixture::SetUp();
        hDass = open();
        tapped = Tapped{};
        setMessageTap(tap);
    }
    HDASS hDass = 0;
};

struct SetterCase {
    const char* name;
    std::function<HXSTATUS(HDASS)> call;
    std::uint32_t code;
    std::map<std::uint32_t, std::uint32_t> words;  // expected words on entry
    std::map<std::uint32_t, double> doubles;       // expected doubles on entry, by first word
};

TEST_F(MessageRecords, SettersFillTheirWords) {
    const HWND window = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
    const std::vector<SetterCase> cases = {
        {"DmaUsage", [](HDASS h) { return hxDaSetDmaUsage(h, 2); }, 0x4001, {{0, 2}}, {}},
        {"ChannelListSize",
         [](HDASS h) { return hxDaSetChannelListSize(h, 3); },
         0x4005,
         {{0, 3}},
         {}},
        {"Retrigger", [](HDASS h) { return hxDaSetRetrigger(h, 301); }, 0x4047, {{0, 301}}, {}},
        {"MeasureStopEdge",
         [](HDASS h) { return hxDaSetMeasureStopEdge(h, 753); },
         0x404D,
         {{0, 753}},
         {}},
        {"SpecialVpi",
         [](HDASS h) { return hxDaSetSpecialVpiConfigMode(h, 1); },
         0x4049,
         {{0, 1}},
         {}},
        {"ChannelListEntry",
         [](HDASS h) { return hxDaSetChannelListEntry(h, 2, 9); },
         0x4007,
         {{0, 2}, {1, 9}},
         {}},
        {"Inhibit",
         [](HDASS h) { return hxDaSetChannelListEntryInhibit(h, 1, 1); },
         0x4031,
         {{0, 1}, {1, 1}},
         {}},
        {"DigitalIO",
         [](HDASS h) { return hxDaSetDigitalIOListEntry(h, 3, 0xAB); },
         0x4033,
         {{0, 3}, {1, 0xAB}},
         {}},
        {"GainListEntry",
         [](HDASS h) { return hxDaSetGainListEntry(h, 1, 4.0); },
         0x4009,
         {{0, 1}},
         {{2, 4.0}}},
        {"ChannelFilter",
         [](HDASS h) { return hxDaSetChannelFilter(h, 3, 10.5); },
         0x400B,
         {{0, 3}},
         {{2, 10.5}}},
        {"Range",
         [](HDASS h) { return hxDaSetRange(h, 10.0, -5.0); },
         0x400D,
         {},
         {{2, -5.0}, {4, 10.0}}},
        {"ChannelRange",
         [](HDASS h) { return hxDaSetChannelRange(h, 2, 5.0, 0.0); },
         0x403B,
         {{0, 2}},
         {{2, 0.0}, {4, 5.0}}},
        {"ClockFrequency",
         [](HDASS h) { return hxDaSetClockFrequency(h, 2500.5); },
         0x4019,
         {},
         {{0, 2500.5}}},
        {"RetriggerFrequency",
         [](HDASS h) { return hxDaSetRetriggerFrequency(h, 50.0); },
         0x401B,
         {},
         {{0, 50.0}}},
        {"PulseWidth", [](HDASS h) { return hxDaSetPulseWidth(h, 42.9); }, 0x4023, {{0, 42}}, {}},
        {"WndHandle",
         [window](HDASS h) { return hxDaSetWndHandle(h, window, 77); },
         0x402D,
         {{0, 0x1234}, {2, 77}},
         {}},
        {"QuadDecoder",
         [](HDASS h) { return hxDaSetQuadDecoder(h, 4, 1, 1401); },
         0x404F,
         {{0, 4}, {1, 1}, {2, 1401}},
         {}},
        {"PutBuffer", [](HDASS h) { return hxDaPutBuffer(h, 0x55); }, 0x403D, {{0, 0x55}}, {}},
        {"FlushFromInprocess",
         [](HDASS h) { return hxDaFlushFromBufferInprocess(h, 0x56, 9); },
         0x4073,
         {{0, 0x56}, {1, 9}},
         {}},
        {"PutSingleValue",
         [](HDASS h) { return hxDaPutSingleValue(h, 1000, 3, 2.0); },
         0x4065,
         {{0, 3}, {1, 1000}},
         {{4, 2.0}}},
        {"GetSingleValue",
         [](HDASS h) {
             UINT value = 0;
             return hxDaGetSingleValue(h, &value, 5, 8.0);
         },
         0x4066,
         {{0, 5}, {2, 0}},
         {{4, 8.0}}},
        {"GetSingleValueEx",
         [](HDASS h) {
             double gain = 4.0;
             UINT value = 0;
             double volts = 0;
             return hxDaGetSingleValueEx(h, 6, 1, &gain, &value, &volts);
         },
         0x4066,
         {{0, 6}, {2, 1}},
         {{4, 4.0}}},
        {"GetSingleValues",
         [](HDASS h) {
             UINT values[16];
             return hxDaGetSingleValues(h, values, 2.0);
         },
         0x4076,
         {},
         {{0, 2.0}}},
        {"GetSSCaps",
         [](HDASS h) {
             UINT value = 0;
             return hxDaGetSSCaps(h, HXSSC_LISTSIZE, &value);
         },
         0x4000,
         {{0, HXSSC_LISTSIZE}},
         {}},
        {"GetQueueSize",
         [](HDASS h) {
             UINT count = 0;
             return hxDaGetQueueSize(h, HXQUEUE_DONE, &count);
         },
         0x403F,
         {{0, HXQUEUE_DONE}},
         {}},
        {"Config", hxDaConfig, 0x4067, {}, {}},
        {"Start", hxDaStart, 0x4068, {}, {}},
        {"Stop", hxDaStop, 0x4069, {}, {}},
        {"Abort", hxDaAbort, 0x406D, {}, {}},
        {"Pause", hxDaPause, 0x406A, {}, {}},
        {"Continue", hxDaContinue, 0x406B, {}, {}},
        {"Reset", hxDaReset, 0x406C, {}, {}},
        {"FlushBuffers", hxDaFlushBuffers, 0x4040, {}, {}},
    };
    for (const SetterCase& c : cases) {
        SCOPED_TRACE(c.name);
        tapped = Tapped{};
        EXPECT_EQ(c.call(hDass), HXNOERROR);
        ASSERT_TRUE(tapped.seen);
        EXPECT_EQ(tapped.code, c.code);
        for (const auto& [index, value] : c.words)
            EXPECT_EQ(tapped.entry.w[index], value) << "W" << index;
        for (const auto& [index, value] : c.doubles)
            EXPECT_EQ(tapped.entry.getDouble(index), value) << "W" << index;
    }
}

TEST_F(MessageRecords, WindowAndProcedureCarryTheHandle) {
    ASSERT_EQ(hxDaSetWndHandle(hDass, nullptr, 5), HXNOERROR);
    EXPECT_EQ(tapped.entry.w[1], hDass);
    const NotifyProc proc = [](UINT, HDASS, LPARAM) {};
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, proc, 9), HXNOERROR);
    EXPECT_EQ(tapped.code, 0x402Fu);
    EXPECT_EQ(tapped.entry.pointer, reinterpret_cast<void*>(proc));
    EXPECT_EQ(tapped.entry.w[1], hDass);
    EXPECT_EQ(tapped.entry.w[2], 9u);
}

TEST_F(MessageRecords, GettersTakeTheirWordsOnlyOnSuccess) {
    MessageRecord reply;
    reply.w[0] = 805;
    reply.w[1] = 11;
    reply.setDouble(2, -2.5);
    reply.setDouble(4, 7.25);
    reply.setDouble(6, 3.5);
    tapped.reply = reply;

    UINT word = 0;
    EXPECT_EQ(hxDaGetDataFlow(hDass, &word), HXNOERROR);
    EXPECT_EQ(tapped.code, 0x402Cu);
    EXPECT_EQ(word, 805u);
    EXPECT_EQ(hxDaGetChannelListEntry(hDass, 2, &word), HXNOERROR);
    EXPECT_EQ(tapped.entry.w[0], 2u);
    EXPECT_EQ(word, 11u);
    double value = 0;
    EXPECT_EQ(hxDaGetGainListEntry(hDass, 1, &value), HXNOERROR);
    EXPECT_EQ(value, -2.5);
    double maximum = 0, minimum = 0;
    EXPECT_EQ(hxDaGetChannelRange(hDass, 3, &maximum, &minimum), HXNOERROR);
    EXPECT_EQ(tapped.code, 0x403Cu);
    EXPECT_EQ(tapped.entry.w[0], 3u);
    EXPECT_EQ(minimum, -2.5);
    EXPECT_EQ(maximum, 7.25);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_MAXFREQ, &value), HXNOERROR);
    EXPECT_EQ(value, -2.5);
    // W0 as an unsigned integer.
    EXPECT_EQ(hxDaGetPulseWidth(hDass, &value), HXNOERROR);
    EXPECT_EQ(value, 805.0);
    HBUF buffer = 0;
    EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
    EXPECT_EQ(buffer, 805u);
    EXPECT_EQ(hxDaReadEvents(hDass, &word), HXNOERROR);
    EXPECT_EQ(tapped.code, 0x4064u);
    UINT count = 0;
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_READY, &count), HXNOERROR);
    EXPECT_EQ(count, 11u);
    double gain = 1.0, volts = 0;
    EXPECT_EQ(hxDaGetSingleValueEx(hDass, 0, 0, &gain, &word, &volts), HXNOERROR);
    EXPECT_EQ(word, 11u);
    EXPECT_EQ(gain, 7.25);
    EXPECT_EQ(volts, 3.5);

    tapped.status = HXNOTSUPPORTED;
    word = 1;
    value = 1.0;
    maximum = minimum = 1.0;
    EXPECT_EQ(hxDaGetDataFlow(hDass, &word), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaGetClockFrequency(hDass, &value), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaGetRange(hDass, &maximum, &minimum), HXNOTSUPPORTED);
    UINT values[4] = {1, 1, 1, 1};
    EXPECT_EQ(hxDaGetSingleValues(hDass, values, 1.0), HXNOTSUPPORTED);
    EXPECT_EQ(word, 1u);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(maximum, 1.0);
    EXPECT_EQ(minimum, 1.0);
    EXPECT_EQ(values[0], 1u);
}

TEST_F(MessageRecords, RefusedBeforeAnyMessage) {
    // 802 and 803 are refused before the handle is looked at.
    EXPECT_EQ(hxDaSetDataFlow(0, 802), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetDataFlow(hDass, 803), HXNOTSUPPORTED);
    UINT count = 0;
    EXPECT_EQ(hxDaGetQueueSize(hDass, 1103, &count), HXINVALIDQUEUE);
    EXPECT_FALSE(tapped.seen);
    for (const HXSTATUS status :
         {hxDaMQConnectBurst(hDass, 1, 2), hxDaSetMQConnectTransferSize(hDass, 1),
          hxDaGetMQConnectTransferSize(hDass, &count), hxDaSetMQConnectTransferCount(hDass, 1),
          hxDaGetMQConnectTransferCount(hDass, &count)})
        EXPECT_EQ(status, HXNOTSUPPORTED);
    EXPECT_FALSE(tapped.seen);
}

}  // namespace
}  // namespace hxda::test
