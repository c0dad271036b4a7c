// A seeded, reproducible random exerciser of the library and the buffer manager on a simulated
// machine: threads share pools of handles (live, released and made up) and call every function of
// hxdaapi32.h and hxmem32.h with boundary and nonsense values, while the boards stream and a
// notification procedure takes buffers back, queues them again and stops or releases. A watchdog
// ends the run when one call takes longer than a bound. At the end of an even seed every handle is
// closed and every buffer put to a subsystem must have been freed by the library or be in the
// caller's hands; an odd seed leaves everything open for the library's unload.
//
//     api_exerciser [--seed N] [--seconds S] [--threads T] [--boards all|standin]
//
// The seed (printed first) fixes each thread's sequence of calls; the machine's timing does not.
// Exit status 0 when everything held, 1 when a check failed, 2 for bad arguments; a call over the
// bound aborts the process.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "hxdaapi32.h"
#include "hxmem32.h"
#include "simclock/clock.h"
#include "win32/messages.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCallBoundSeconds = 45;  // above the 20 s a command waits for its copy thread
constexpr int kDefaultSeconds = 20;
constexpr int kDefaultThreads = 4;
constexpr std::size_t kPoolLimit = 24;
constexpr UINT kMaxBufferSamples = 4096;
constexpr UINT kTooManySamples = 0x80000000u;  // at 2 bytes each, more than a buffer can hold
constexpr UINT kSingleValues = 128;            // more than any subsystem's channels
constexpr UINT kFirstUnusedRegister = 0x10000;
constexpr UINT kRegisterSpan = 0x7FFF0000;
// The machine's boards: an MQ5120 and a stand-in board (--boards all), or stand-in boards alone
// (--boards standin), for runs that leave out the MQ5120's board model.
constexpr const char* kAllBoards[] = {"MQ5120 4 1", "Mq5200 0x5204 0x20 AD0.0=pattern:1,2,3"};
constexpr const char* kStandInBoards[] = {"Mq5200 0x5204 0x20 AD0.0=pattern:1,2,3",
                                          "MQ5310 1 0x4D2 AD0.0=pattern:1,2,3"};
constexpr const char* kBoardNames[] = {"MQ5120(00)", "Mq5200(00)", "mq5200(00)",
                                       "Renamed",    "",           "no such board"};

// ---- Values ------------------------------------------------------------------------------------

class Values {
  public:
    explicit Values(std::uint64_t seed) : random_(seed) {}

    std::uint32_t below(std::uint32_t n) {
        return n == 0 ? 0 : std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random_);
    }
    bool chance(std::uint32_t percent) { return below(100) < percent; }
    // Boundary values, the library's own codes and anything at all.
    UINT word() {
        static const UINT kWords[] = {0,    1,    2,    3,    7,    8,    16,   0x7FFFFFFF,
                                      ~0u,  800,  801,  802,  803,  804,  805,  806,
                                      1000, 1001, 1002, 1003, 1100, 1101, 1102, 1400,
                                      200,  201,  300,  301,  400,  401,  600,  700};
        return chance(80) ? kWords[below(std::size(kWords))] : static_cast<UINT>(random_());
    }
    double number() {
        static const double kNumbers[] = {0.0,
                                          1.0,
                                          -1.0,
                                          10.0,
                                          -10.0,
                                          0.5,
                                          1000.0,
                                          100000.0,
                                          500000.0,
                                          1e9,
                                          -1e300,
                                          1e300,
                                          std::numeric_limits<double>::quiet_NaN(),
                                          std::numeric_limits<double>::infinity(),
                                          -std::numeric_limits<double>::infinity(),
                                          std::numeric_limits<double>::denorm_min()};
        return kNumbers[below(std::size(kNumbers))];
    }

  private:
    std::mt19937_64 random_;
};

// ---- Shared handle pools -----------------------------------------------------------------------

// Handles of one kind: live ones (bounded), the last ones closed (kept to be used again, stale),
// and made-up ones.
class Pool {
  public:
    // False when the pool is full: the caller closes the handle at once, so that a long run
    // keeps a bounded number of everything.
    bool add(std::uint32_t handle) {
        std::lock_guard guard(mutex_);
        if (live_.size() >= kPoolLimit)
            return false;
        live_.push_back(handle);
        return true;
    }
    std::uint32_t pick(Values& values) {
        std::lock_guard guard(mutex_);
        const std::uint32_t roll = values.below(100);
        if (roll < kMadeUpPercent || (live_.empty() && stale_.empty()))
            return values.chance(50) ? 0u : static_cast<std::uint32_t>(values.word());
        if ((roll < kMadeUpPercent + kStalePercent && !stale_.empty()) || live_.empty())
            return stale_[values.below(static_cast<std::uint32_t>(stale_.size()))];
        return live_[values.below(static_cast<std::uint32_t>(live_.size()))];
    }
    // A live handle taken out of the pool, so that no other thread uses it until it is given back
    // (or closed); otherwise, as pick does, a stale one when allowed or a made-up one, which
    // belongs to nobody.
    std::uint32_t borrow(Values& values, bool allowStale, bool& owned) {
        std::lock_guard guard(mutex_);
        owned = false;
        const std::uint32_t roll = values.below(100);
        if (roll < kMadeUpPercent || (live_.empty() && (stale_.empty() || !allowStale)))
            return values.chance(50) ? 0u : static_cast<std::uint32_t>(values.word());
        if (allowStale &&
            ((roll < kMadeUpPercent + kStalePercent && !stale_.empty()) || live_.empty()))
            return stale_[values.below(static_cast<std::uint32_t>(stale_.size()))];
        const std::size_t index = values.below(static_cast<std::uint32_t>(live_.size()));
        const std::uint32_t handle = live_[index];
        live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(index));
        owned = true;
        return handle;
    }
    void giveBack(std::uint32_t handle) {
        std::lock_guard guard(mutex_);
        live_.push_back(handle);
    }
    // A handle that was closed: it leaves the live ones and is kept among the stale ones.
    void closed(std::uint32_t handle) {
        std::lock_guard guard(mutex_);
        const auto it = std::find(live_.begin(), live_.end(), handle);
        if (it != live_.end())
            live_.erase(it);
        keepStale(handle);
    }
    std::vector<std::uint32_t> all() {
        std::lock_guard guard(mutex_);
        return live_;
    }

  private:
    void keepStale(std::uint32_t handle) {
        if (std::find(stale_.begin(), stale_.end(), handle) != stale_.end())
            return;
        if (stale_.size() >= kStaleLimit)
            stale_.erase(stale_.begin());
        stale_.push_back(handle);
    }
    static constexpr std::uint32_t kMadeUpPercent = 4;
    static constexpr std::uint32_t kStalePercent = 8;
    static constexpr std::size_t kStaleLimit = 8;
    std::mutex mutex_;
    std::vector<std::uint32_t> live_;
    std::vector<std::uint32_t> stale_;
};

struct Pools {
    Pool devices, subsystems, buffers, lists, ssLists;
    // Every buffer ever made, for the final check.
    std::mutex madeMutex;
    std::vector<HBUF> made;
};

Pools g_pools;
HWND g_window = nullptr;

// A buffer of the pool held by one thread for one call. A buffer's samples belong to whoever holds
// it: the caller, or the subsystem while it is queued, whose transfers write them without a lock.
// Calls that read or write samples therefore hold the buffer alone, and are never given one that
// may be queued (a stale handle); the others may be, to show that the library refuses them.
class BorrowedBuffer {
  public:
    BorrowedBuffer(Values& values, bool allowStale)
        : handle_(g_pools.buffers.borrow(values, allowStale, owned_)) {}
    ~BorrowedBuffer() {
        if (owned_)
            g_pools.buffers.giveBack(handle_);
    }
    BorrowedBuffer(const BorrowedBuffer&) = delete;
    BorrowedBuffer& operator=(const BorrowedBuffer&) = delete;
    HBUF get() const { return handle_; }
    // The buffer went to a subsystem or was freed: it is stale from now on.
    void closed() {
        g_pools.buffers.closed(handle_);
        owned_ = false;
    }

  private:
    bool owned_ = false;
    HBUF handle_;
};

// A buffer in the caller's hands joins the pool, or is freed when the pool is full.
void keepBuffer(HBUF buffer) {
    if (!g_pools.buffers.add(buffer))
        hxDmFreeBuffer(buffer);
}

void recordMade(HBUF buffer) {
    std::lock_guard guard(g_pools.madeMutex);
    g_pools.made.push_back(buffer);
}

// ---- The watchdog ------------------------------------------------------------------------------

struct CallSlot {
    std::atomic<std::int64_t> startedMs{0};  // 0: no call under way
    std::atomic<const char*> name{""};
};

// A call's time on the stand-ins' clock, which the library's own timeouts count in: a host that
// starves the process (the clock holds across such stalls) slows both alike, so only a call that
// outlives every bound of the library trips the watchdog. Never 0, which marks an idle slot.
std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(simclock::Now()).count() + 1;
}

class Watchdog {
  public:
    Watchdog(std::vector<CallSlot>& slots, std::uint64_t seed) : slots_(slots), seed_(seed) {}
    void run(const std::atomic<bool>& finished) {
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            for (std::size_t i = 0; i < slots_.size(); ++i) {
                const std::int64_t started = slots_[i].startedMs.load();
                if (started != 0 && nowMs() - started > kCallBoundSeconds * 1000) {
                    std::fprintf(stderr,
                                 "seed %" PRIu64 ": thread %zu: %s has not returned in %d s\n",
                                 seed_, i, slots_[i].name.load(), kCallBoundSeconds);
                    report();
                    std::abort();
                }
            }
        }
    }

  private:
    // What every thread is doing, for the report of a call over the bound.
    void report() const {
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const std::int64_t started = slots_[i].startedMs.load();
            if (started != 0)
                std::fprintf(stderr, "  thread %zu: in %s for %" PRId64 " ms\n", i,
                             slots_[i].name.load(), nowMs() - started);
            else
                std::fprintf(stderr, "  thread %zu: between calls\n", i);
        }
    }

    std::vector<CallSlot>& slots_;
    std::uint64_t seed_;
};

// ---- The notification procedure ----------------------------------------------------------------

std::atomic<std::uint32_t> g_procedureCalls{0};

// Takes a finished buffer back and queues it again; now and then stops, aborts or releases its
// subsystem instead (the pattern of the value decides, so the procedure needs no random state).
void CALLBACK procedure(UINT message, HDASS hDass, LPARAM) {
    const std::uint32_t call = ++g_procedureCalls;
    if (message != HXWM_BUFFERDONE && message != HXWM_PRETRIGBUFFERDONE)
        return;
    HBUF buffer = 0;
    if (hxDaGetBuffer(hDass, &buffer) == HXNOERROR && buffer != 0 &&
        hxDaPutBuffer(hDass, buffer) != HXNOERROR)
        keepBuffer(buffer);  // back in the caller's hands
    if (call % 97 == 0)
        hxDaStop(hDass);
    else if (call % 89 == 0)
        hxDaAbort(hDass);
    else if (call % 193 == 0 && hxDaReleaseDASS(hDass) == HXNOERROR)
        g_pools.subsystems.closed(hDass);
}

BOOL CALLBACK keepGoing(LPSTR, LPSTR, LPARAM user) {
    return user % 2 == 0;
}
BOOL CALLBACK keepGoingEx(LPSTR, LPSTR, HKEY, LPARAM user) {
    return user % 2 == 0;
}
BOOL CALLBACK terminateWhileEnumerating(LPSTR, hxss_tag, UINT, LPARAM user) {
    if (hxDaTerminate(static_cast<HDEV>(user)) == HXNOERROR)
        g_pools.devices.closed(static_cast<HDEV>(user));
    return TRUE;
}
BOOL CALLBACK keepGoingCaps(UINT, double, double, LPARAM) {
    return TRUE;
}
BOOL CALLBACK releaseWhileEnumerating(HSSLIST, HDASS hDass, LPARAM user) {
    if (user % 3 == 0 && hxDaReleaseDASS(hDass) == HXNOERROR)
        g_pools.subsystems.closed(hDass);
    return TRUE;
}

// ---- The calls -------------------------------------------------------------------------------

using Call = std::function<void(Values&)>;
struct NamedCall {
    const char* name;
    Call call;
};

#define SET_WORD(f)                                                     \
    {                                                                   \
#f, [](Values & v) { f(g_pools.subsystems.pick(v), v.word()); } \
    }
#define GET_WORD(f)                              \
    {                                            \
#f, [](Values& v) {                            \
         UINT out = 0;                              \
         f(g_pools.subsystems.pick(v), &out);       \
     } \
    }
#define SET_NUMBER(f)                                                     \
    {                                                                     \
#f, [](Values & v) { f(g_pools.subsystems.pick(v), v.number()); } \
    }
#define GET_NUMBER(f)                            \
    {                                            \
#f, [](Values& v) {                            \
         double out = 0;                            \
         f(g_pools.subsystems.pick(v), &out);       \
     } \
    }
#define SET_ENTRY_WORD(f)                                                         \
    {                                                                             \
#f, [](Values & v) { f(g_pools.subsystems.pick(v), v.word(), v.word()); } \
    }
#define GET_ENTRY_WORD(f)                             \
    {                                                 \
#f, [](Values& v) {                                 \
         UINT out = 0;                                   \
         f(g_pools.subsystems.pick(v), v.word(), &out);  \
     } \
    }
#define SET_ENTRY_NUMBER(f)                                                         \
    {                                                                               \
#f, [](Values & v) { f(g_pools.subsystems.pick(v), v.word(), v.number()); } \
    }
#define GET_ENTRY_NUMBER(f)                           \
    {                                                 \
#f, [](Values& v) {                                 \
         double out = 0;                                 \
         f(g_pools.subsystems.pick(v), v.word(), &out);  \
     } \
    }
#define OPERATION(f)                                          \
    {                                                         \
#f, [](Values & v) { f(g_pools.subsystems.pick(v)); } \
    }

void openDevice(Values& v) {
    HDEV hDev = 0;
    if (hxDaInitialize(kBoardNames[v.below(std::size(kBoardNames))], &hDev) == HXNOERROR &&
        !g_pools.devices.add(hDev))
        hxDaTerminate(hDev);
}

void openSubsystem(Values& v) {
    HDASS hDass = 0;
    const UINT type = v.chance(70) ? v.below(HXSS_CT + 1) : v.word();
    if (hxDaGetDASS(g_pools.devices.pick(v), type, v.chance(80) ? 0 : v.word(), &hDass) !=
        HXNOERROR)
        return;
    if (!g_pools.subsystems.add(hDass)) {
        hxDaReleaseDASS(hDass);
        return;
    }
    // Most subsystems are made to stream at once.
    if (v.chance(70)) {
        hxDaSetDataFlow(hDass, HXDF_CONTINUOUS);
        hxDaSetClockFrequency(hDass, v.chance(50) ? 100000.0 : 1000.0);
        if (v.chance(50))
            hxDaSetNotificationProcedure(hDass, procedure, 0);
        else
            hxDaSetWndHandle(hDass, g_window, 0);
        hxDaConfig(hDass);
    }
}

// A whole streaming start on one subsystem: flow, wrap mode, notifications, configuration, fresh
// buffers and the start, so that transfers run often among the random calls.
void startStreaming(Values& v) {
    const HDASS hDass = g_pools.subsystems.pick(v);
    hxDaSetDataFlow(hDass, v.chance(80) ? HXDF_CONTINUOUS : HXDF_CONTPRETRIG);
    hxDaSetWrapMode(hDass, HXWRAP_NONE + v.below(3));
    hxDaSetClockFrequency(hDass, v.chance(50) ? 100000.0 : 1000.0);
    if (v.chance(60))
        hxDaSetNotificationProcedure(hDass, procedure, 0);
    else
        hxDaSetWndHandle(hDass, g_window, 0);
    hxDaConfig(hDass);
    const std::uint32_t buffers = 1 + v.below(8);
    for (std::uint32_t i = 0; i < buffers; ++i) {
        HBUF buffer = 0;
        if (hxDmAllocBuffer(0, 16 + v.below(kMaxBufferSamples), &buffer) != 0)
            continue;
        recordMade(buffer);
        if (hxDaPutBuffer(hDass, buffer) != HXNOERROR)
            keepBuffer(buffer);
    }
    hxDaStart(hDass);
}

// Sizes up to a few thousand samples, none at all, and one too large to exist (real allocations
// of gigabytes would only measure the machine's memory).
void makeBuffer(Values& v) {
    constexpr UINT kWidths[] = {0, 1, 2, 3, 4, 8};
    HBUF buffer = 0;
    const bool tooMany = v.chance(10);
    const UINT samples = tooMany ? kTooManySamples : v.below(kMaxBufferSamples + 1);
    const std::uint32_t status =
        tooMany || v.chance(50)
            ? hxDmAllocBuffer(0, samples, &buffer)
            : hxDmCallocBuffer(0, 0, samples, kWidths[v.below(std::size(kWidths))], &buffer);
    if (status != 0)
        return;
    recordMade(buffer);
    keepBuffer(buffer);
}

void putBuffer(Values& v) {
    BorrowedBuffer buffer(v, true);
    if (hxDaPutBuffer(g_pools.subsystems.pick(v), buffer.get()) == HXNOERROR)
        buffer.closed();  // the subsystem's now
}

void takeBuffer(Values& v) {
    HBUF buffer = 0;
    if (hxDaGetBuffer(g_pools.subsystems.pick(v), &buffer) == HXNOERROR && buffer != 0)
        keepBuffer(buffer);
}

void freeBuffer(Values& v) {
    BorrowedBuffer buffer(v, true);
    if (hxDmFreeBuffer(buffer.get()) == 0)
        buffer.closed();
}

std::vector<NamedCall> makeCalls() {
    std::vector<NamedCall> calls = {
        {"hxDaInitialize", openDevice},
        {"hxDaTerminate",
         [](Values& v) {
             const HDEV hDev = g_pools.devices.pick(v);
             if (hxDaTerminate(hDev) == HXNOERROR)
                 g_pools.devices.closed(hDev);
         }},
        {"hxDaGetDASS", openSubsystem},
        {"hxDaReleaseDASS",
         [](Values& v) {
             const HDASS hDass = g_pools.subsystems.pick(v);
             if (hxDaReleaseDASS(hDass) == HXNOERROR)
                 g_pools.subsystems.closed(hDass);
         }},
        {"hxDaGetDeviceName",
         [](Values& v) {
             char name[64];
             hxDaGetDeviceName(g_pools.devices.pick(v), name, 1 + v.below(sizeof name));
         }},
        {"hxDaGetDASSInfo",
         [](Values& v) {
             HXDASSINFO info{};
             hxDaGetDASSInfo(g_pools.subsystems.pick(v), &info);
         }},
        {"hxDaGetDevCaps",
         [](Values& v) {
             UINT count = 0;
             hxDaGetDevCaps(g_pools.devices.pick(v), static_cast<INT>(v.word()), &count);
         }},
        {"hxDaEnumSubSystems",
         [](Values& v) {
             const HDEV hDev = g_pools.devices.pick(v);
             hxDaEnumSubSystems(hDev, terminateWhileEnumerating, hDev);
         }},
        {"hxDaEnumBoards", [](Values& v) { hxDaEnumBoards(keepGoing, v.below(2)); }},
        {"hxDaEnumBoardsEx", [](Values& v) { hxDaEnumBoardsEx(keepGoingEx, v.below(2)); }},
        {"hxDaGetVersion",
         [](Values& v) {
             char text[32];
             hxDaGetVersion(text, v.below(sizeof text));
         }},
        {"hxDaGetDriverVersion",
         [](Values& v) {
             char text[32];
             hxDaGetDriverVersion(g_pools.devices.pick(v), text, v.below(sizeof text));
         }},
        {"hxDaModifyHalcyonBoardName",
         [](Values& v) {
             hxDaModifyHalcyonBoardName(kBoardNames[v.below(std::size(kBoardNames))],
                                        kBoardNames[v.below(std::size(kBoardNames))]);
         }},
        {"hxDaGetBoardInfo",
         [](Values& v) {
             char driver[64], model[64];
             UINT instance = 0;
             hxDaGetBoardInfo(kBoardNames[v.below(std::size(kBoardNames))], driver, model,
                              v.below(sizeof driver), &instance);
         }},
        {"hxDaGetSSCaps",
         [](Values& v) {
             UINT value = 0;
             hxDaGetSSCaps(g_pools.subsystems.pick(v), v.chance(80) ? v.below(110) : v.word(),
                           &value);
         }},
        {"hxDaGetSSCapsEx",
         [](Values& v) {
             double value = 0;
             hxDaGetSSCapsEx(g_pools.subsystems.pick(v), v.chance(80) ? v.below(110) : v.word(),
                             &value);
         }},
        {"hxDaEnumSSCaps",
         [](Values& v) { hxDaEnumSSCaps(g_pools.subsystems.pick(v), v.word(), keepGoingCaps, 0); }},
        SET_WORD(hxDaSetDmaUsage),
        GET_WORD(hxDaGetDmaUsage),
        SET_WORD(hxDaSetTriggeredScanUsage),
        GET_WORD(hxDaGetTriggeredScanUsage),
        SET_ENTRY_NUMBER(hxDaSetGainListEntry),
        GET_ENTRY_NUMBER(hxDaGetGainListEntry),
        SET_WORD(hxDaSetEncoding),
        GET_WORD(hxDaGetEncoding),
        SET_WORD(hxDaSetTrigger),
        GET_WORD(hxDaGetTrigger),
        SET_WORD(hxDaSetResolution),
        GET_WORD(hxDaGetResolution),
        SET_WORD(hxDaSetClockSource),
        GET_WORD(hxDaGetClockSource),
        SET_NUMBER(hxDaSetClockFrequency),
        GET_NUMBER(hxDaGetClockFrequency),
        SET_WORD(hxDaSetChannelListSize),
        GET_WORD(hxDaGetChannelListSize),
        SET_ENTRY_WORD(hxDaSetChannelListEntry),
        GET_ENTRY_WORD(hxDaGetChannelListEntry),
        {"hxDaSetRange",
         [](Values& v) { hxDaSetRange(g_pools.subsystems.pick(v), v.number(), v.number()); }},
        {"hxDaGetRange",
         [](Values& v) {
             double maximum = 0, minimum = 0;
             hxDaGetRange(g_pools.subsystems.pick(v), &maximum, &minimum);
         }},
        SET_ENTRY_NUMBER(hxDaSetChannelFilter),
        GET_ENTRY_NUMBER(hxDaGetChannelFilter),
        SET_WORD(hxDaSetChannelType),
        GET_WORD(hxDaGetChannelType),
        SET_NUMBER(hxDaSetRetriggerFrequency),
        GET_NUMBER(hxDaGetRetriggerFrequency),
        SET_NUMBER(hxDaSetPulseWidth),
        GET_NUMBER(hxDaGetPulseWidth),
        {"hxDaSetWndHandle",
         [](Values& v) {
             const HWND window =
                 v.chance(70)   ? g_window
                 : v.chance(50) ? nullptr
                                : reinterpret_cast<HWND>(static_cast<std::uintptr_t>(v.word()));
             hxDaSetWndHandle(g_pools.subsystems.pick(v), window, v.word());
         }},
        {"hxDaGetWndHandle",
         [](Values& v) {
             HWND window = nullptr;
             hxDaGetWndHandle(g_pools.subsystems.pick(v), &window);
         }},
        SET_WORD(hxDaSetWrapMode),
        GET_WORD(hxDaGetWrapMode),
        SET_WORD(hxDaSetDataFlow),
        GET_WORD(hxDaGetDataFlow),
        SET_WORD(hxDaSetExternalClockDivider),
        GET_WORD(hxDaGetExternalClockDivider),
        SET_WORD(hxDaSetGateType),
        GET_WORD(hxDaGetGateType),
        SET_WORD(hxDaSetPulseType),
        GET_WORD(hxDaGetPulseType),
        SET_WORD(hxDaSetCTMode),
        GET_WORD(hxDaGetCTMode),
        SET_WORD(hxDaSetCascadeMode),
        GET_WORD(hxDaGetCascadeMode),
        SET_ENTRY_WORD(hxDaSetChannelListEntryInhibit),
        GET_ENTRY_WORD(hxDaGetChannelListEntryInhibit),
        SET_ENTRY_WORD(hxDaSetDigitalIOListEntry),
        GET_ENTRY_WORD(hxDaGetDigitalIOListEntry),
        SET_WORD(hxDaSetSynchronousDigitalIOUsage),
        GET_WORD(hxDaGetSynchronousDigitalIOUsage),
        {"hxDaSetNotificationProcedure",
         [](Values& v) {
             hxDaSetNotificationProcedure(g_pools.subsystems.pick(v),
                                          v.chance(80) ? procedure : nullptr, v.word());
         }},
        {"hxDaGetNotificationProcedure",
         [](Values& v) {
             NotifyProc proc = nullptr;
             hxDaGetNotificationProcedure(g_pools.subsystems.pick(v), &proc);
         }},
        {"hxDaSetChannelRange",
         [](Values& v) {
             hxDaSetChannelRange(g_pools.subsystems.pick(v), v.word(), v.number(), v.number());
         }},
        {"hxDaGetChannelRange",
         [](Values& v) {
             double maximum = 0, minimum = 0;
             hxDaGetChannelRange(g_pools.subsystems.pick(v), v.word(), &maximum, &minimum);
         }},
        SET_WORD(hxDaSetRetriggerMode),
        GET_WORD(hxDaGetRetriggerMode),
        SET_WORD(hxDaSetPretriggerSource),
        GET_WORD(hxDaGetPretriggerSource),
        SET_WORD(hxDaSetMultiscanCount),
        GET_WORD(hxDaGetMultiscanCount),
        SET_WORD(hxDaSetRetrigger),
        GET_WORD(hxDaGetRetrigger),
        SET_WORD(hxDaSetMeasureStartEdge),
        GET_WORD(hxDaGetMeasureStartEdge),
        SET_WORD(hxDaSetMeasureStopEdge),
        GET_WORD(hxDaGetMeasureStopEdge),
        SET_WORD(hxDaSetSpecialVpiConfigMode),
        GET_WORD(hxDaGetSpecialVpiConfigMode),
        {"hxDaSetQuadDecoder",
         [](Values& v) {
             hxDaSetQuadDecoder(g_pools.subsystems.pick(v), v.word(), v.word(), v.word());
         }},
        OPERATION(hxDaConfig),
        OPERATION(hxDaStart),
        OPERATION(hxDaStop),
        OPERATION(hxDaContinue),
        OPERATION(hxDaReset),
        OPERATION(hxDaPause),
        OPERATION(hxDaAbort),
        {"hxDaGetBuffer", takeBuffer},
        {"hxDaPutBuffer", putBuffer},
        OPERATION(hxDaFlushBuffers),
        {"hxDaGetQueueSize",
         [](Values& v) {
             UINT count = 0;
             hxDaGetQueueSize(g_pools.subsystems.pick(v), v.word(), &count);
         }},
        {"hxDaFlushFromBufferInprocess",
         [](Values& v) {
             const BorrowedBuffer buffer(v, false);
             hxDaFlushFromBufferInprocess(g_pools.subsystems.pick(v), buffer.get(), v.word());
         }},
        {"hxDaGetSingleValue",
         [](Values& v) {
             UINT value = 0;
             hxDaGetSingleValue(g_pools.subsystems.pick(v), &value, v.word(), v.number());
         }},
        {"hxDaPutSingleValue",
         [](Values& v) {
             hxDaPutSingleValue(g_pools.subsystems.pick(v), v.word(), v.word(), v.number());
         }},
        {"hxDaGetSingleValueEx",
         [](Values& v) {
             double gain = v.number(), volts = 0;
             UINT value = 0;
             hxDaGetSingleValueEx(g_pools.subsystems.pick(v), v.word(), v.word(), &gain, &value,
                                  &volts);
         }},
        {"hxDaGetSingleValues",
         [](Values& v) {
             UINT values[kSingleValues];
             hxDaGetSingleValues(g_pools.subsystems.pick(v), values, v.number());
         }},
        GET_WORD(hxDaReadEvents),
        {"hxDaMeasureFrequency",
         [](Values& v) {
             hxDaMeasureFrequency(g_pools.subsystems.pick(v), v.chance(70) ? g_window : nullptr,
                                  v.chance(70) ? 0.01 : v.number());
         }},
        {"hxDaMQConnectBurst",
         [](Values& v) { hxDaMQConnectBurst(g_pools.subsystems.pick(v), v.word(), v.word()); }},
        SET_WORD(hxDaSetMQConnectTransferSize),
        GET_WORD(hxDaGetMQConnectTransferSize),
        SET_WORD(hxDaSetMQConnectTransferCount),
        GET_WORD(hxDaGetMQConnectTransferCount),
        {"hxDaGetSSList",
         [](Values&) {
             HSSLIST list = 0;
             if (hxDaGetSSList(&list) == HXNOERROR && !g_pools.ssLists.add(list))
                 hxDaReleaseSSList(list);
         }},
        {"hxDaReleaseSSList",
         [](Values& v) {
             const HSSLIST list = g_pools.ssLists.pick(v);
             if (hxDaReleaseSSList(list) == HXNOERROR)
                 g_pools.ssLists.closed(list);
         }},
        {"hxDaPutDassToSSList",
         [](Values& v) {
             hxDaPutDassToSSList(g_pools.ssLists.pick(v), g_pools.subsystems.pick(v));
         }},
        {"hxDaSimultaneousPrestart",
         [](Values& v) { hxDaSimultaneousPrestart(g_pools.ssLists.pick(v)); }},
        {"hxDaSimultaneousStart",
         [](Values& v) { hxDaSimultaneousStart(g_pools.ssLists.pick(v)); }},
        {"hxDaEnumSSList",
         [](Values& v) {
             hxDaEnumSSList(g_pools.ssLists.pick(v), releaseWhileEnumerating, v.word());
         }},
        {"hxDaCodeToVolts",
         [](Values& v) {
             double volts = 0;
             hxDaCodeToVolts(v.number(), v.number(), v.number(), v.word(), v.word(),
                             static_cast<INT>(v.word()), &volts);
         }},
        {"hxDaVoltsToCode",
         [](Values& v) {
             INT code = 0;
             hxDaVoltsToCode(v.number(), v.number(), v.number(), v.word(), v.word(), v.number(),
                             &code);
         }},
        {"hxDiagReadReg",
         [](Values& v) {
             UINT value = 0;
             hxDiagReadReg(g_pools.devices.pick(v), v.word(), &value, v.word());
         }},
        {"hxDiagWriteReg",
         [](Values& v) {
             // Writes stay past the boards' register files: a write of a clock divider there
             // makes the board model convert hours of samples one by one under its port's lock
             // (a fault of the model, not of the library).
             hxDiagWriteReg(g_pools.devices.pick(v),
                            kFirstUnusedRegister + v.word() % kRegisterSpan, v.word(), v.word());
         }},
        {"hxDiagReadCalPot",
         [](Values& v) {
             UINT value = 0;
             hxDiagReadCalPot(g_pools.devices.pick(v), v.word(), v.word(), v.word(), &value);
         }},
        {"hxDiagWriteCalPot",
         [](Values& v) {
             hxDiagWriteCalPot(g_pools.devices.pick(v), v.word(), v.word(), v.word(), v.word());
         }},
        {"hxDaGetHardwareInfo",
         [](Values& v) {
             UINT leading = 0, serial = 0, trailing = 0;
             WORD a = 0, b = 0, c = 0;
             BYTE block[256];
             hxDaGetHardwareInfo(g_pools.devices.pick(v), &leading, &a, &b, &c, &serial, &trailing,
                                 block);
         }},
        {"hxDaSetHardwareInfo",
         [](Values& v) {
             const BYTE block[256] = {};
             hxDaSetHardwareInfo(g_pools.devices.pick(v), static_cast<WORD>(v.word()),
                                 static_cast<WORD>(v.word()), static_cast<WORD>(v.word()), v.word(),
                                 v.word(), v.chance(50) ? block : nullptr);
         }},
        {"hxDaGetErrorString",
         [](Values& v) {
             char text[256];
             hxDaGetErrorString(v.word(), text, v.below(sizeof text));
         }},
        // The buffer manager.
        {"hxDmAllocBuffer", makeBuffer},
        {"hxDmFreeBuffer", freeBuffer},
        {"hxDmCopyToBuffer",
         [](Values& v) {
             static const std::uint16_t kData[kMaxBufferSamples] = {};
             const BorrowedBuffer buffer(v, false);
             hxDmCopyToBuffer(buffer.get(), kData, v.below(kMaxBufferSamples / 4));
         }},
        {"hxDmCopyFromBuffer",
         [](Values& v) {
             static thread_local std::uint32_t data[kMaxBufferSamples];
             const BorrowedBuffer buffer(v, false);
             hxDmCopyFromBuffer(buffer.get(), data, v.below(kMaxBufferSamples / 4));
         }},
        {"hxDmBufferFields",
         [](Values& v) {
             const HBUF buffer = g_pools.buffers.pick(v);
             void* data = nullptr;
             std::uint32_t word = 0;
             hxDmGetBufferPtr(buffer, &data);
             hxDmGetBufferSize(buffer, &word);
             hxDmGetValidSamples(buffer, &word);
             hxDmGetDataWidth(buffer, &word);
             hxDmGetDataBits(buffer, &word);
             hxDmGetBufferStamp(buffer, &word);
             hxDmGetBufferLocation(buffer, &word);
             OVERLAPPED* overlapped = nullptr;
             hxDmGetOverlapped(buffer, &overlapped);
         }},
        {"hxDmSetBufferFields",
         [](Values& v) {
             const HBUF buffer = g_pools.buffers.pick(v);
             hxDmSetValidSamples(buffer, v.word());
             hxDmSetDataWidth(buffer, v.word());
             hxDmSetDataBits(buffer, v.word());
             hxDmStampBuffer(buffer);
         }},
        {"hxDmLists",
         [](Values& v) {
             HLIST list = 0;
             if (v.chance(30) && hxDmCreateList(&list, 0, 0, 0) == 0 && !g_pools.lists.add(list))
                 hxDmFreeList(list);
             list = g_pools.lists.pick(v);
             const HBUF buffer = g_pools.buffers.pick(v);
             std::uint32_t count = 0;
             HBUF taken = 0;
             // Buffers taken into process or onto the test's own lists come back at once.
             if (hxDmPutBufferToList(list, buffer) == 0 &&
                 hxDmGetBufferForProcess(list, &taken) == 0 && taken != 0) {
                 if (hxDmEndBufferProcess(taken, v.chance(50) ? list : 0) == 0)
                     hxDmGetBufferFromList(list, &taken);
             }
             if (hxDmSetBufferInProcess(buffer) == 0)
                 hxDmEndBufferProcess(buffer, 0);
             hxDmGetListCount(list, &count);
             if (hxDmLockList(list) == 0)
                 hxDmUnlockList(list);
             if (v.chance(10) && hxDmFreeList(list) == 0)
                 g_pools.lists.closed(list);
         }},
    };
    // Streaming and its operations come up more often than any one setting.
    constexpr int kStreamingWeight = 12;
    constexpr int kOperationWeight = 4;
    for (int i = 0; i < kStreamingWeight; ++i)
        calls.push_back({"startStreaming", startStreaming});
    for (int i = 0; i < kOperationWeight; ++i) {
        calls.push_back(OPERATION(hxDaStop));
        calls.push_back(OPERATION(hxDaAbort));
        calls.push_back(OPERATION(hxDaReset));
        calls.push_back({"hxDaGetBuffer", takeBuffer});
        calls.push_back({"hxDaPutBuffer", putBuffer});
        calls.push_back({"hxDaGetDASS", openSubsystem});
        calls.push_back({"hxDaInitialize", openDevice});
    }
    return calls;
}

// ---- The run ---------------------------------------------------------------------------------

struct Options {
    std::uint64_t seed = 0;
    int seconds = kDefaultSeconds;
    int threads = kDefaultThreads;
    bool standInOnly = false;
};

bool parse(int argc, char** argv, Options* options) {
    options->seed = static_cast<std::uint64_t>(Clock::now().time_since_epoch().count());
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--seed")
            options->seed = std::strtoull(value, nullptr, 0);
        else if (name == "--seconds")
            options->seconds = std::atoi(value);
        else if (name == "--threads")
            options->threads = std::atoi(value);
        else if (name == "--boards" &&
                 (std::string(value) == "all" || std::string(value) == "standin"))
            options->standInOnly = std::string(value) == "standin";
        else
            return false;
    }
    return argc % 2 == 1 && options->seconds > 0 && options->threads > 0;
}

// A fresh machine directory with the board list, unless MQ_MACHINE names one already.
void prepareMachine(std::uint64_t seed, bool standInOnly) {
    if (std::getenv("MQ_MACHINE") != nullptr)
        return;
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() /
        ("api_exerciser_" + std::to_string(seed) + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    std::ofstream list(directory / "boards.txt");
    if (standInOnly) {
        for (const char* line : kStandInBoards)
            list << line << '\n';
    } else {
        for (const char* line : kAllBoards)
            list << line << '\n';
    }
    setenv("MQ_MACHINE", directory.c_str(), 1);
}

void pumpWindow() {
    MSG message{};
    while (PeekMessageA(&message, g_window, 0, 0, PM_REMOVE)) {
    }
}

// Closes everything the run left open; false when a buffer put to a subsystem was lost (neither
// freed by the library nor in the caller's hands).
bool closeEverything() {
    for (const HDASS hDass : g_pools.subsystems.all())
        hxDaReleaseDASS(hDass);
    for (const HSSLIST list : g_pools.ssLists.all())
        hxDaReleaseSSList(list);
    for (const HDEV hDev : g_pools.devices.all())
        hxDaTerminate(hDev);
    for (const HLIST list : g_pools.lists.all()) {
        HBUF buffer = 0;
        while (hxDmGetBufferFromList(list, &buffer) == 0 && buffer != 0)
            buffer = 0;
        hxDmFreeList(list);
    }
    bool sound = true;
    std::lock_guard guard(g_pools.madeMutex);
    for (const HBUF buffer : g_pools.made) {
        std::uint32_t location = 0;
        if (hxDmGetBufferLocation(buffer, &location) != 0)
            continue;  // freed
        if (location != HXDM_LOCATION_HELD) {
            std::fprintf(stderr, "buffer 0x%08x is still %s after every release\n", buffer,
                         location == HXDM_LOCATION_LISTED ? "on a list" : "in process");
            sound = false;
        }
        hxDmFreeBuffer(buffer);
    }
    return sound;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: api_exerciser [--seed N] [--seconds S] [--threads T] "
                     "[--boards all|standin]\n");
        return 2;
    }
    std::printf("api_exerciser: seed %" PRIu64 ", %d s, %d threads\n", options.seed,
                options.seconds, options.threads);
    std::fflush(stdout);
    prepareMachine(options.seed, options.standInOnly);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "apiExerciser";
    RegisterClassA(&windowClass);
    g_window = CreateWindowExA(0, "apiExerciser", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                               nullptr);

    const std::vector<NamedCall> calls = makeCalls();
    std::vector<CallSlot> slots(static_cast<std::size_t>(options.threads));
    std::atomic<bool> finished{false};
    Watchdog watchdog(slots, options.seed);
    std::thread watching([&] { watchdog.run(finished); });
    const auto deadline = Clock::now() + std::chrono::seconds(options.seconds);
    std::atomic<std::uint64_t> callsMade{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < options.threads; ++t) {
        threads.emplace_back([&, t] {
            Values values(options.seed * 1000003u + static_cast<std::uint64_t>(t));
            CallSlot& slot = slots[static_cast<std::size_t>(t)];
            while (Clock::now() < deadline) {
                const NamedCall& call =
                    calls[values.below(static_cast<std::uint32_t>(calls.size()))];
                slot.name = call.name;
                slot.startedMs = nowMs();
                call.call(values);
                slot.startedMs = 0;
                ++callsMade;
            }
        });
    }
    while (Clock::now() < deadline) {
        pumpWindow();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (std::thread& thread : threads)
        thread.join();
    // An odd seed ends as a careless program does: everything left open for the library's unload
    // to close as the process exits. An even one closes everything and checks the buffers.
    const bool careless = options.seed % 2 == 1;
    bool sound = true;
    if (!careless) {
        slots[0].name = "closing everything";
        slots[0].startedMs = nowMs();
        sound = closeEverything();
        slots[0].startedMs = 0;
    }
    finished = true;
    watching.join();
    pumpWindow();
    DestroyWindow(g_window);
    std::printf("api_exerciser: seed %" PRIu64 ": %" PRIu64 " calls, %u procedure calls, %s\n",
                options.seed, callsMade.load(), g_procedureCalls.load(),
                careless ? "everything left open for the unload"
                : sound  ? "every buffer back"
                         : "BUFFERS LOST");
    return sound ? 0 : 1;
}
