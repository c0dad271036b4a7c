// Device element counts, the enumeration of a subsystem's tables, the notification procedure
// check and a flush that cannot finish.
#include <memory>
#include <vector>

#include "api_test_support.h"
#include "core/engine.h"

namespace hxda::test {
namespace {

using DeviceCaps = ApiFixture;

TEST_F(DeviceCaps, CountsPerSubsystemTypeAndInAll) {
    static const std::uint32_t counts[6] = {2, 1, 4, 3, 0, 5};
    findDevice(hDev)->subsystemCounts = counts;
    const std::pair<INT, HXSTATUS> refused[] = {{-2, HXINVALIDSUBSYS}, {6, HXINVALIDSUBSYS}};
    const std::pair<INT, UINT> answered[] = {
        {HXDC_ALLELEMENTS, 15}, {HXDC_ADELEMENTS, 2},  {HXDC_DAELEMENTS, 1}, {HXDC_DINELEMENTS, 4},
        {HXDC_DOUTELEMENTS, 3}, {HXDC_SRLELEMENTS, 0}, {HXDC_CTELEMENTS, 5}};
    for (const auto& [kind, expected] : answered) {
        UINT count = 99;
        EXPECT_EQ(hxDaGetDevCaps(hDev, kind, &count), HXNOERROR) << kind;
        EXPECT_EQ(count, expected) << kind;
    }
    for (const auto& [kind, status] : refused) {
        UINT count = 99;
        EXPECT_EQ(hxDaGetDevCaps(hDev, kind, &count), status) << kind;
        EXPECT_EQ(count, 99u);
    }
    UINT count = 99;
    EXPECT_EQ(hxDaGetDevCaps(0, HXDC_ALLELEMENTS, &count), HXINVALIDDEVHANDLE);
    EXPECT_EQ(hxDaGetDevCaps(hDev + 1, HXDC_ALLELEMENTS, &count), HXINVALIDDEVHANDLE);
    EXPECT_EQ(count, 99u);
}

// What the enumeration procedure was called with, and when it asks to stop.
struct Calls {
    std::vector<std::pair<double, double>> values;
    std::vector<UINT> kinds;
    std::size_t stopAfter = 1000;
};

BOOL CALLBACK record(UINT kind, double first, double second, LPARAM user) {
    auto* calls = reinterpret_cast<Calls*>(user);
    calls->kinds.push_back(kind);
    calls->values.emplace_back(first, second);
    return calls->values.size() < calls->stopAfter ? TRUE : FALSE;
}

using Pairs = std::vector<std::pair<double, double>>;

using EnumerateCaps = ApiFixture;

TEST_F(EnumerateCaps, EachKindWalksItsTable) {
    const HDASS hDass = open(HXSS_AD, false);
    const std::pair<UINT, Pairs> cases[] = {
        {HXENUMCAP_FILTERS, {{0.0, 0.0}, {10.0, 0.0}}},
        {HXENUMCAP_RANGES, {{10.0, -10.0}}},
        {HXENUMCAP_GAINS, {{1.0, 0.0}, {2.0, 0.0}, {4.0, 0.0}, {8.0, 0.0}}},
        {HXENUMCAP_RESOLUTIONS, {{16.0, 0.0}}},
    };
    for (const auto& [kind, expected] : cases) {
        Calls calls;
        EXPECT_EQ(hxDaEnumSSCaps(hDass, kind, record, reinterpret_cast<LPARAM>(&calls)), HXNOERROR);
        EXPECT_EQ(calls.values, expected) << kind;
        EXPECT_EQ(calls.kinds, std::vector<UINT>(expected.size(), kind));
    }
}

TEST_F(EnumerateCaps, ZeroFromTheProcedureStops) {
    const HDASS hDass = open(HXSS_AD, false);
    Calls calls;
    calls.stopAfter = 2;
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_GAINS, record, reinterpret_cast<LPARAM>(&calls)),
              HXNOERROR);
    EXPECT_EQ(calls.values, (Pairs{{1.0, 0.0}, {2.0, 0.0}}));
}

TEST_F(EnumerateCaps, RefusalsCallNothing) {
    const HDASS hDass = open(HXSS_AD, false);
    Calls calls;
    const auto user = reinterpret_cast<LPARAM>(&calls);
    const auto heap = std::make_unique<std::uint64_t[]>(4);
    const auto notCode = reinterpret_cast<CapsEnumProc>(heap.get());
    EXPECT_EQ(hxDaEnumSSCaps(hDass, 104, record, user), HXCANTENUMCAP);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, 99, record, user), HXCANTENUMCAP);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_GAINS, nullptr, user), HXNULLENUMPROC);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_GAINS, notCode, user), HXNULLENUMPROC);
    EXPECT_EQ(hxDaEnumSSCaps(0, HXENUMCAP_GAINS, record, user), HXINVALIDSSHANDLE);
    EXPECT_EQ(hxDaEnumSSCaps(0, 104, nullptr, user), HXINVALIDSSHANDLE);
    EXPECT_TRUE(calls.values.empty());
}

// A table the count promises but the extension did not hand out ends the walk with the query's
// status.
TEST_F(EnumerateCaps, FailingQueryEndsTheWalk) {
    PersonalityRecord p = tables.personality();
    p.filters = nullptr;
    p.resolutions = nullptr;
    const HDASS hDass = open(HXSS_AD, false, &p);
    Calls calls;
    const auto user = reinterpret_cast<LPARAM>(&calls);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_FILTERS, record, user), HXINVALIDFILTERINDEX);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_RESOLUTIONS, record, user), HXBADRESOLUTION);
    EXPECT_TRUE(calls.values.empty());
}

// The procedure runs outside the subsystem's lock and may call the library again.
TEST_F(EnumerateCaps, ProcedureMayCallTheLibrary) {
    const HDASS hDass = open(HXSS_AD, false);
    struct Context {
        HDASS hDass;
        std::vector<HXSTATUS> statuses;
    } context{hDass, {}};
    const CapsEnumProc proc = [](UINT, double gain, double, LPARAM user) -> BOOL {
        auto* c = reinterpret_cast<Context*>(user);
        c->statuses.push_back(hxDaSetGainListEntry(c->hDass, 0, gain));
        return TRUE;
    };
    tables.set(HXSSC_GAINLIST, 1);
    EXPECT_EQ(hxDaEnumSSCaps(hDass, HXENUMCAP_GAINS, proc, reinterpret_cast<LPARAM>(&context)),
              HXNOERROR);
    EXPECT_EQ(context.statuses.size(), 4u);
}

using NotificationProcedure = ApiFixture;

TEST_F(NotificationProcedure, MustBeCodeOrNull) {
    const HDASS hDass = open(HXSS_AD, false);
    const auto heap = std::make_unique<std::uint64_t[]>(4);
    const auto notCode = reinterpret_cast<NotifyProc>(heap.get());
    const NotifyProc proc = [](UINT, HDASS, LPARAM) {};
    ASSERT_EQ(hxDaSetNotificationProcedure(hDass, proc, 1), HXNOERROR);
    block(hDass).state = HXSTATE_READY;
    EXPECT_EQ(hxDaSetNotificationProcedure(hDass, notCode, 1), HXINVALIDNOTIFYPROC);
    EXPECT_EQ(block(hDass).state, HXSTATE_READY);
    NotifyProc back = nullptr;
    EXPECT_EQ(hxDaGetNotificationProcedure(hDass, &back), HXNOERROR);
    EXPECT_EQ(back, proc);
    EXPECT_EQ(hxDaSetNotificationProcedure(hDass, nullptr, 1), HXNOERROR);
    EXPECT_EQ(block(hDass).state, HXSTATE_NEEDSCONFIG);
    block(hDass).state = HXSTATE_RUNNING;
    EXPECT_EQ(hxDaSetNotificationProcedure(hDass, proc, 1), HXSUBSYSRUNNING);
}

using Flush = ApiFixture;

// When a buffer cannot be appended to the done list it goes back to the head of the ready list:
// every buffer stays queued, in order.
TEST_F(Flush, FailedMoveLosesNoBuffer) {
    const HDASS hDass = open(HXSS_AD, false);
    HBUF buffers[3] = {};
    for (HBUF& buffer : buffers) {
        ASSERT_EQ(hxDmAllocBuffer(0, 8, &buffer), 0u);
        ASSERT_EQ(hxDaPutBuffer(hDass, buffer), HXNOERROR);
    }
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    ASSERT_EQ(hxDmFreeList(subsystem->doneList), 0u);  // the done list goes stale

    EXPECT_EQ(hxDaFlushBuffers(hDass), static_cast<HXSTATUS>(HXBADLISTHANDLE));
    UINT ready = 0;
    EXPECT_EQ(hxDaGetQueueSize(hDass, HXQUEUE_READY, &ready), HXNOERROR);
    EXPECT_EQ(ready, 3u);
    for (const HBUF expected : buffers) {
        HBUF buffer = 0;
        ASSERT_EQ(hxDmGetBufferFromList(subsystem->readyList, &buffer), 0u);
        EXPECT_EQ(buffer, expected);
        hxDmFreeBuffer(buffer);
    }
    ASSERT_EQ(hxDmCreateList(&subsystem->doneList, 0, 0, 0), 0u);
}

}  // namespace
}  // namespace hxda::test
