// The library on a simulated machine used carelessly and from several threads: renames that would
// strand a board, board information that does not fit, a device terminated from inside its own
// enumeration, and open, release and terminate racing on shared handles.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "hxdaapi32.h"
#include "sim/machine_testing.h"

namespace {

const std::vector<std::string> kTwoBoards = {"MQ5120 4 1", "Mq5200 0x5204 0x20"};
constexpr const char* kFirst = "MQ5120(00)";
constexpr const char* kSecond = "Mq5200(00)";

bool opens(const char* name) {
    HDEV hDev = 0;
    if (hxDaInitialize(name, &hDev) != HXNOERROR)
        return false;
    return hxDaTerminate(hDev) == HXNOERROR;
}

TEST(MachineCareless, RenamesThatWouldStrandABoardAreRefused) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    struct Case {
        const char* name;
        const char* newName;
        HXSTATUS status;
    };
    const Case cases[] = {
        {"empty", "", HXNOBOARDS},
        {"the other board's name", kSecond, HXNOBOARDS},
        {"the other board's name in another case", "MQ5200(00)", HXNOBOARDS},
        {"its own name in another case", "mq5120(00)", HXNOERROR},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hxDaModifyHalcyonBoardName(kFirst, c.newName), c.status);
        EXPECT_TRUE(opens(kFirst));
        EXPECT_TRUE(opens(kSecond));
    }
}

TEST(MachineCareless, BoardInformationIsWrittenOnlyWhenBothNamesFit) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    // "MQ5120" (the driver name) fits in 7 bytes, the model name "MQ5120-4" does not.
    constexpr UINT kDriverNameOnly = 7;
    char driver[32] = "untouched";
    char model[32] = "untouched";
    UINT instance = 99;
    EXPECT_EQ(hxDaGetBoardInfo(kFirst, driver, model, kDriverNameOnly, &instance),
              HXBUFFERTOOSMALL);
    EXPECT_STREQ(driver, "untouched");
    EXPECT_STREQ(model, "untouched");
    EXPECT_EQ(instance, 99u);
    EXPECT_EQ(hxDaGetBoardInfo(kFirst, driver, model, sizeof driver, &instance), HXNOERROR);
    EXPECT_STREQ(driver, "MQ5120");
}

// Terminating the device from inside its own subsystem enumeration ends the enumeration safely.
TEST(MachineCareless, TerminateFromInsideTheSubsystemEnumeration) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    static HDEV device = 0;
    static int calls = 0;
    static HXSTATUS terminated = ~0u;
    ASSERT_EQ(hxDaInitialize(kFirst, &device), HXNOERROR);
    calls = 0;
    const auto terminateOnFirst = [](LPSTR, hxss_tag, UINT, LPARAM) -> BOOL {
        if (calls++ == 0)
            terminated = hxDaTerminate(device);
        return TRUE;
    };
    EXPECT_EQ(hxDaEnumSubSystems(device, terminateOnFirst, 0), HXNOERROR);
    EXPECT_EQ(terminated, HXNOERROR);
    EXPECT_EQ(hxDaEnumSubSystems(device, terminateOnFirst, 0), HXINVALIDDEVHANDLE);
}

TEST(MachineCareless, APulseWidthBeyondAnyIntegerIsRefused) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    HDEV hDev = 0;
    HDASS counter = 0;
    ASSERT_EQ(hxDaInitialize(kSecond, &hDev), HXNOERROR);
    ASSERT_EQ(hxDaGetDASS(hDev, HXSS_CT, 0, &counter), HXNOERROR);
    for (const double width : {std::numeric_limits<double>::quiet_NaN(),
                               std::numeric_limits<double>::infinity(), -1e300, 1e19})
        EXPECT_EQ(hxDaSetPulseWidth(counter, width), HXINVALIDPULSEWIDTH) << width;
    EXPECT_EQ(hxDaReleaseDASS(counter), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
}

// Several threads on one device: two release two subsystems at once, one terminates while others
// open and release. The count of open subsystems stays exact, a subsystem is never opened on a
// terminated device, and the device ends terminated.
TEST(MachineCareless, OpenReleaseAndTerminateRacingOnOneDevice) {
    constexpr int kRounds = 40;
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    for (int round = 0; round < kRounds; ++round) {
        HDEV hDev = 0;
        ASSERT_EQ(hxDaInitialize(kSecond, &hDev), HXNOERROR);
        HDASS first = 0, second = 0;
        ASSERT_EQ(hxDaGetDASS(hDev, HXSS_AD, 0, &first), HXNOERROR);
        ASSERT_EQ(hxDaGetDASS(hDev, HXSS_DA, 0, &second), HXNOERROR);
        std::atomic<HXSTATUS> terminated{~0u};
        std::atomic<HDASS> late{0};
        std::thread releaseFirst([&] { EXPECT_EQ(hxDaReleaseDASS(first), HXNOERROR); });
        std::thread releaseSecond([&] { EXPECT_EQ(hxDaReleaseDASS(second), HXNOERROR); });
        std::thread opener([&] {
            HDASS opened = 0;
            const HXSTATUS status = hxDaGetDASS(hDev, HXSS_CT, 0, &opened);
            EXPECT_TRUE(status == HXNOERROR || status == HXINVALIDDEVHANDLE) << status;
            if (status == HXNOERROR)
                late = opened;
        });
        std::thread terminator([&] {
            HXSTATUS status = HXSUBSYSINUSE;
            for (int i = 0; i < 1000 && status == HXSUBSYSINUSE; ++i) {
                status = hxDaTerminate(hDev);
                std::this_thread::yield();
            }
            terminated = status;
        });
        releaseFirst.join();
        releaseSecond.join();
        opener.join();
        terminator.join();
        if (late != 0) {
            // Opened before the terminate: the device stayed open for it.
            EXPECT_EQ(terminated.load(), HXSUBSYSINUSE);
            EXPECT_EQ(hxDaReleaseDASS(late), HXNOERROR);
            EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
        } else {
            EXPECT_EQ(terminated.load(), HXNOERROR);
        }
        EXPECT_EQ(hxDaTerminate(hDev), HXINVALIDDEVHANDLE);
    }
}

// Threads that put subsystems to one simultaneous-start list while others enumerate it: every put
// lands once and every enumeration sees a whole list.
BOOL CALLBACK countMember(HSSLIST, HDASS, LPARAM user) {
    ++*reinterpret_cast<int*>(user);
    return TRUE;
}

TEST(MachineCareless, ASimultaneousStartListSharedByThreads) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    HDEV hDev = 0;
    ASSERT_EQ(hxDaInitialize(kSecond, &hDev), HXNOERROR);
    std::vector<HDASS> subsystems;
    for (UINT type : {HXSS_AD, HXSS_DA, HXSS_CT}) {
        HDASS hDass = 0;
        if (hxDaGetDASS(hDev, type, 0, &hDass) == HXNOERROR)
            subsystems.push_back(hDass);
    }
    ASSERT_GE(subsystems.size(), 2u);
    HSSLIST list = 0;
    ASSERT_EQ(hxDaGetSSList(&list), HXNOERROR);
    std::atomic<int> putOk{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            for (const HDASS hDass : subsystems) {
                const HXSTATUS status = hxDaPutDassToSSList(list, hDass);
                if (status == HXNOERROR)
                    ++putOk;
                else
                    EXPECT_TRUE(status == HXALREADYONSSLIST || status == HXNOTSUPPORTED) << status;
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                int members = 0;
                const HXSTATUS status =
                    hxDaEnumSSList(list, countMember, reinterpret_cast<LPARAM>(&members));
                EXPECT_TRUE(status == HXNOERROR || status == HXEMPTYSSLIST) << status;
                EXPECT_LE(members, static_cast<int>(subsystems.size()));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    int members = 0;
    hxDaEnumSSList(list, countMember, reinterpret_cast<LPARAM>(&members));
    EXPECT_EQ(members, putOk.load());
    EXPECT_EQ(hxDaReleaseSSList(list), HXNOERROR);
    for (const HDASS hDass : subsystems)
        EXPECT_EQ(hxDaReleaseDASS(hDass), HXNOERROR);
    EXPECT_EQ(hxDaTerminate(hDev), HXNOERROR);
}

// A program that returns from main with a stand-in board's device, subsystem and stream open: the
// library's unload closes them after the program's own objects are gone, and the process ends
// cleanly (a sanitizer's report or a crash shows as a failed exit status).
TEST(MachineCareless, AProgramThatExitsWithAStandInBoardStreamingEndsCleanly) {
    sim::testing::ScopedSimulatedMachine machine(kTwoBoards);
    const std::string command =
        std::string("timeout 30 ") + OPEN_BOARD_CHILD + " '" + kSecond + "' streaming";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
