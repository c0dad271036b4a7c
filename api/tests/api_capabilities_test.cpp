// Capability answers through both getters, missing tables, and the settings the operations
// depend on.
#include "api_test_support.h"

namespace hxda::test {
namespace {

using Capabilities = ApiFixture;

TEST_F(Capabilities, IntegerAndDoubleGettersAnswerEveryCode) {
    tables.capabilities[61] = 7;  // code 73
    const HDASS hDass = open();
    UINT word = 0;
    double value = 0;
    EXPECT_EQ(hxDaGetSSCaps(hDass, HXSSC_LISTSIZE, &word), HXNOERROR);
    EXPECT_EQ(word, 4u);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_LISTSIZE, &value), HXNOERROR);
    EXPECT_EQ(value, 4.0);
    EXPECT_EQ(hxDaGetSSCaps(hDass, 73, &word), HXNOERROR);
    EXPECT_EQ(word, 7u);
    // A double capability through the integer getter is truncated toward zero.
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_MAXFREQ, &value), HXNOERROR);
    EXPECT_EQ(value, 100000.75);
    EXPECT_EQ(hxDaGetSSCaps(hDass, HXSSC_MAXFREQ, &word), HXNOERROR);
    EXPECT_EQ(word, 100000u);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_BASECLOCK, &value), HXNOERROR);
    EXPECT_EQ(value, 1000000.0);
    // Table capabilities answer their first entry through the getters.
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_RANGEMIN, &value), HXNOERROR);
    EXPECT_EQ(value, -10.0);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_GAIN, &value), HXNOERROR);
    EXPECT_EQ(value, 1.0);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_RESOLUTION, &value), HXNOERROR);
    EXPECT_EQ(value, 16.0);
    word = 55;
    EXPECT_EQ(hxDaGetSSCaps(hDass, 102, &word), HXINVALIDSSCAP);
    EXPECT_EQ(hxDaGetSSCaps(hDass, HXSSC_SINGLEVALUES, &word), HXINVALIDSSCAP);
    EXPECT_EQ(word, 55u);
}

TEST_F(Capabilities, MissingTablesReadAsEmpty) {
    PersonalityRecord bare;
    const HDASS hDass = open(HXSS_DOUT, false, &bare);
    UINT word = 9;
    double value = 9;
    EXPECT_EQ(hxDaGetSSCaps(hDass, HXSSC_NUMCHANNELS, &word), HXNOERROR);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(hxDaGetSSCaps(hDass, 101, &word), HXNOERROR);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_MINFREQ, &value), HXNOERROR);
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_RANGEMIN, &value), HXINVALIDRANGEINDEX);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_RANGEMAX, &value), HXINVALIDRANGEINDEX);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_FILTER, &value), HXINVALIDFILTERINDEX);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_GAIN, &value), HXINVALIDGAININDEX);
    EXPECT_EQ(hxDaGetSSCapsEx(hDass, HXSSC_RESOLUTION, &value), HXBADRESOLUTION);
}

TEST_F(Capabilities, NearestGainPicksTheFirstOfEquals) {
    const double table[] = {1, 2, 4, 8};
    EXPECT_EQ(nearestEntry(table, 4, 3.0), 1u);
    EXPECT_EQ(nearestEntry(table, 4, 100.0), 3u);
    EXPECT_EQ(nearestEntry(table, 1, -5.0), 0u);
}

using Settings = ApiFixture;

TEST_F(Settings, ChangedValueNeedsConfigurationRepeatedValueDoesNot) {
    const HDASS hDass = open();
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    EXPECT_EQ(hxDaSetDataFlow(hDass, HXDF_CONTINUOUS), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    EXPECT_EQ(hxDaSetDataFlow(hDass, HXDF_SINGLEVALUE), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    UINT value = 0;
    EXPECT_EQ(hxDaGetDataFlow(hDass, &value), HXNOERROR);
    EXPECT_EQ(value, HXDF_SINGLEVALUE);
    EXPECT_EQ(hxDaSetDataFlow(hDass, 806), HXINVALIDDATAFLOW);
    EXPECT_EQ(hxDaSetDataFlow(hDass, HXDF_CONTPRETRIG), HXNOTSUPPORTED);

    EXPECT_EQ(hxDaSetChannelListSize(hDass, 5), HXINVALIDLISTSIZE);
    EXPECT_EQ(hxDaSetChannelListEntry(hDass, 4, 0), HXINVALIDLISTENTRY);
    EXPECT_EQ(hxDaSetChannelListEntry(hDass, 3, 16), HXINVALIDCHANNEL);
    EXPECT_EQ(hxDaSetChannelListEntry(hDass, 3, 15), HXNOERROR);
    EXPECT_EQ(hxDaGetChannelListEntry(hDass, 3, &value), HXNOERROR);
    EXPECT_EQ(value, 15u);
    EXPECT_EQ(hxDaSetWrapMode(hDass, HXWRAP_SINGLE), HXNOTSUPPORTED);
    EXPECT_EQ(hxDaSetWrapMode(hDass, 999), HXINVALIDWRAPMODE);
    EXPECT_EQ(hxDaSetWrapMode(hDass, HXWRAP_MULTIPLE), HXNOERROR);

    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetWrapMode(hDass, HXWRAP_NONE), HXSUBSYSRUNNING);
    EXPECT_EQ(hxDaSetWrapMode(hDass, HXWRAP_MULTIPLE), HXSUBSYSRUNNING);
}

TEST_F(Settings, NotificationTargets) {
    const HDASS hDass = open();
    ASSERT_EQ(hxDaConfig(hDass), HXNOERROR);
    EXPECT_EQ(hxDaSetWndHandle(hDass, reinterpret_cast<HWND>(std::uintptr_t{0x7777}), 1),
              HXINVALIDWINDOWHANDLE);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    EXPECT_EQ(hxDaSetWndHandle(hDass, nullptr, 1), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    const NotifyProc proc = [](UINT, HDASS, LPARAM) {};
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, proc, 3), HXNOERROR);
    NotifyProc back = nullptr;
    ASSERT_EQ(hxDaGetNotificationProcedure(hDass, &back), HXNOERROR);
    EXPECT_EQ(back, proc);

    tables.set(HXSSC_NOTIFICATIONS, 0);
    const HDASS silent = open();
    EXPECT_EQ(hxDaSetNotificationProcedure(silent, proc, 3), HXNOTSUPPORTED);
    HWND window = nullptr;
    EXPECT_EQ(hxDaGetWndHandle(silent, &window), HXNOTSUPPORTED);
}

using BufferQueues = ApiFixture;

TEST_F(BufferQueues, ReadyListFlushesIntoTheDoneList) {
    const HDASS hDass = open();
    HBUF first = 0, second = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 8, &first), 0u);
    ASSERT_EQ(hxDmAllocBuffer(0, 8, &second), 0u);
    ASSERT_EQ(hxDaPutBuffer(hDass, first), HXNOERROR);
    ASSERT_EQ(hxDaPutBuffer(hDass, second), HXNOERROR);
    EXPECT_EQ(hxDaPutBuffer(hDass, second), static_cast<HXSTATUS>(HXBUFFERONLIST));
    UINT count = 0;
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_READY, &count), HXNOERROR);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_INPROCESS, &count), HXNOERROR);
    EXPECT_EQ(count, 3u);  // from the copy thread

    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaFlushBuffers(hDass), HXSUBSYSRUNNING);
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaFlushBuffers(hDass), HXNOERROR);
    HBUF buffer = 0;
    EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
    EXPECT_EQ(buffer, first);
    EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
    EXPECT_EQ(buffer, second);
    EXPECT_EQ(hxDaGetBuffer(hDass, &buffer), HXNOERROR);
    EXPECT_EQ(buffer, 0u);
    hxDmFreeBuffer(first);
    hxDmFreeBuffer(second);
}

TEST_F(BufferQueues, OutputBuffersNeedAnEvenSampleCount) {
    const HDASS output = open(HXSS_DA);
    HBUF buffer = 0;
    ASSERT_EQ(hxDmAllocBuffer(0, 8, &buffer), 0u);
    ASSERT_EQ(hxDmSetValidSamples(buffer, 3), 0u);
    EXPECT_EQ(hxDaPutBuffer(output, buffer), static_cast<HXSTATUS>(HXNOTMULTIPLEOFTWO));
    ASSERT_EQ(hxDmSetValidSamples(buffer, 4), 0u);
    EXPECT_EQ(hxDaPutBuffer(output, buffer), HXNOERROR);
}

TEST_F(BufferQueues, SubsystemWithoutListsHasEmptyQueues) {
    const HDASS counter = open(HXSS_CT);
    HBUF buffer = 99;
    EXPECT_EQ(hxDaGetBuffer(counter, &buffer), HXNOERROR);
    EXPECT_EQ(buffer, 0u);
    UINT count = 99;
    EXPECT_EQ(hxDaGetQueueSize(counter, HXQUEUE_READY, &count), HXNOERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(hxDaGetQueueSize(counter, HXQUEUE_DONE, &count), HXNOERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(hxDaFlushBuffers(counter), HXNOERROR);
    ASSERT_EQ(hxDmAllocBuffer(0, 8, &buffer), 0u);
    EXPECT_EQ(hxDaPutBuffer(counter, buffer), HXNOTSUPPORTED);
    hxDmFreeBuffer(buffer);
    tables.set(HXSSC_DATAFLOW_CONTINUOUS, 0);
    EXPECT_EQ(hxDaGetBuffer(open(HXSS_AD, false), &buffer), HXNOTSUPPORTED);
}

}  // namespace
}  // namespace hxda::test
