// Board and subsystem selection: the process-wide board list, opening a board, the subsystem
// table and its puts, the capability tables, and what each failure leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "control_fixture.h"
#include "kernel/testing.h"
#include "win32/debug.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using Selection = ControlTest;

TEST_F(Selection, TheBoardListIsFilledOnceAndSharedByEveryInstance) {
    EXPECT_EQ(control->getLong(d::numBoards), 4);
    std::vector<std::string> names;
    for (SHORT i = 0; i < 4; ++i)
        names.push_back(control->getText(d::BoardList, {Variant::Short(i)}));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kMq5120, kMq5330, kMq5310, kMq5204}));
    EXPECT_EQ(control->getText(d::BoardList, {Variant::Short(5)}), "");
    EXPECT_TRUE(
        Raised(control->get(d::BoardList, {Variant::Short(20)}), CTL_E_INVALIDPROPERTYVALUE));
    EXPECT_TRUE(
        Raised(control->get(d::BoardList, {Variant::Short(-1)}), CTL_E_INVALIDPROPERTYVALUE));

    // A second instance does not enumerate again.
    Control second(&site);
    EXPECT_EQ(second.getLong(d::numBoards), 4);
}

TEST_F(Selection, ABoardOpensWithItsSubsystemTable) {
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    EXPECT_EQ(control->getText(d::Board), kMq5204);
    EXPECT_NE(control->getLong(d::hDev), 0);
    EXPECT_EQ(control->getLong(d::numSubSystems), 6);
    EXPECT_EQ(control->getText(d::SubSystemList, {Variant::Short(0)}), "AD Unit 0");
    EXPECT_EQ(control->getText(d::SubSystemList, {Variant::Short(5)}), "CT Unit 1");
    EXPECT_TRUE(
        Raised(control->get(d::SubSystemList, {Variant::Short(6)}), CTL_E_INVALIDPROPERTYVALUE));
    // Kept kind 0, element 0 at a new control: the A/D opens with the board.
    EXPECT_EQ(control->getLong(d::SubSystem), kAdIndex);
    EXPECT_NE(control->getLong(d::hDass), 0);
    std::vector<DISPID> tail(control->notify.changed.end() - 4, control->notify.changed.end());
    EXPECT_EQ(tail, (std::vector<DISPID>{d::Board, d::hDev, d::numSubSystems, d::SubSystemList}));
    EXPECT_EQ(control->getText(d::DeviceName), kMq5204);
}

TEST_F(Selection, AnUnknownBoardRaisesAndLeavesNothingOpen) {
    open(kMq5204, kCt0Index);
    HXDASSINFO info{};
    const HDASS before = hDass();
    const Outcome put = control->put(d::Board, Variant::Text("NoSuchBoard"));
    ASSERT_EQ(put.status, DISP_E_EXCEPTION);
    EXPECT_GT(put.error, mqacq32::kStatusErrorBase);
    EXPECT_EQ(control->getText(d::Board), "");
    EXPECT_EQ(control->getLong(d::hDev), 0);
    EXPECT_EQ(control->getLong(d::hDass), 0);
    EXPECT_EQ(control->getLong(d::SubSystem), -1);
    EXPECT_EQ(control->getLong(d::SubSysType), 0);
    EXPECT_EQ(hxDaGetDASSInfo(before, &info), HXINVALIDSSHANDLE);  // released, not leaked
    EXPECT_EQ(control->getText(d::DeviceName), "");
    EXPECT_EQ(control->getLong(d::LastError), static_cast<LONG>(HXINVALIDDEVHANDLE));
}

TEST_F(Selection, SubSystemPutChecksItsIndexThenOpensTheEntry) {
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    EXPECT_TRUE(Raised(control->put(d::SubSystem, Variant::Short(41)), CTL_E_INVALIDPROPERTYVALUE));
    EXPECT_TRUE(Raised(control->put(d::SubSystem, Variant::Short(-1)), CTL_E_INVALIDPROPERTYVALUE));
    const Outcome beyond = control->put(d::SubSystem, Variant::Short(7));
    EXPECT_TRUE(Raised(beyond, 22013));
    EXPECT_EQ(beyond.description, LibraryText(HXINVALIDSUBSYS));

    const HDASS ad = hDass();
    control->notify.changed.clear();
    win32::testing::ClearDebugOutput();
    ASSERT_TRUE(control->put(d::SubSystem, Variant::Short(kCt0Index)).ok());
    EXPECT_EQ(control->getLong(d::SubSysType), HXSS_CT);
    EXPECT_EQ(control->getLong(d::SubSysElement), 0);
    HXDASSINFO info{};
    EXPECT_EQ(hxDaGetDASSInfo(ad, &info), HXINVALIDSSHANDLE);  // the A/D was released first
    ASSERT_EQ(hxDaGetDASSInfo(hDass(), &info), HXNOERROR);
    EXPECT_EQ(info.subsystemType, HXSS_CT);
    ASSERT_GE(control->notify.changed.size(), 4u);
    EXPECT_EQ(
        std::vector<DISPID>(control->notify.changed.begin(), control->notify.changed.begin() + 5),
        (std::vector<DISPID>{d::SubSystem, d::SubSysType, d::SubSysElement, d::hDass,
                             d::ResolutionValues}));
    EXPECT_EQ(control->notify.changed.back(), d::MultiScanCount);
    const std::string trace = win32::testing::DebugOutput();
    EXPECT_NE(trace.find("Entering SetSubSystem...\n\tSetSubSystem:: Releasing hDASS\n"),
              std::string::npos);
    EXPECT_NE(trace.find("\tSetSubSystem:: Getting hDASS, SSType: 5,SSElement: 0\n"),
              std::string::npos);
    EXPECT_NE(trace.find("Exiting SetSubSystem\n"), std::string::npos);
}

TEST_F(Selection, SubSysTypeOpensAnExactMatchOrWaitsForTheElement) {
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    // Kind 1 with the kept element 0: DA0 exists and opens at once.
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_DA)).ok());
    EXPECT_EQ(control->getLong(d::SubSystem), kDaIndex);
    EXPECT_NE(control->getLong(d::hDass), 0);
    // Element 1 of the counters exists only on the CT kind: choose it there.
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_CT)).ok());
    ASSERT_TRUE(control->put(d::SubSysElement, Variant::Short(1)).ok());
    EXPECT_EQ(control->getLong(d::SubSystem), 5);
    // DIN has no element 1: the counter is closed and the element waits to be chosen.
    const HDASS counter = hDass();
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_DIN)).ok());
    EXPECT_EQ(control->getLong(d::SubSysType), HXSS_DIN);
    EXPECT_EQ(control->getLong(d::SubSysElement), -1);
    EXPECT_EQ(control->getLong(d::SubSystem), -1);
    EXPECT_EQ(control->getLong(d::hDass), 0);
    HXDASSINFO info{};
    EXPECT_EQ(hxDaGetDASSInfo(counter, &info), HXINVALIDSSHANDLE);
    EXPECT_TRUE(Raised(control->put(d::SubSysElement, Variant::Short(1)), 22012));
    ASSERT_TRUE(control->put(d::SubSysElement, Variant::Short(0)).ok());
    EXPECT_EQ(control->getLong(d::SubSystem), kDinIndex);

    // The serial-port kind has no subsystem on this board; kinds outside 0-5 are no kinds.
    EXPECT_TRUE(Raised(control->put(d::SubSysType, Variant::Short(HXSS_SRL)), 22013));
    EXPECT_TRUE(Raised(control->put(d::SubSysType, Variant::Short(6)), 22013));
    EXPECT_TRUE(
        Raised(control->put(d::SubSysElement, Variant::Short(41)), CTL_E_INVALIDPROPERTYVALUE));
}

TEST_F(Selection, WithoutABoardTheSubsystemPutsReportNoDevice) {
    EXPECT_TRUE(Raised(control->put(d::SubSystem, Variant::Short(0)), 22049));
    EXPECT_TRUE(Raised(control->put(d::SubSysType, Variant::Short(0)), 22049));
    // No table to read: no exact match.
    EXPECT_TRUE(Raised(control->put(d::SubSysElement, Variant::Short(0)), 22012));
}

TEST_F(Selection, ASubsystemInUseRaisesStatus20WhichTheBoardAndKindPutsCatch) {
    open(kMq5204, kAdIndex);
    Control other(&site);
    // The board put finds the kept A/D in use: the board is open, without a subsystem.
    ASSERT_TRUE(other.put(d::Board, Variant::Text(kMq5204)).ok());
    EXPECT_NE(other.getLong(d::hDev), 0);
    EXPECT_EQ(other.getLong(d::SubSystem), -1);
    EXPECT_EQ(other.getLong(d::SubSysType), 0);
    EXPECT_EQ(other.getLong(d::SubSysElement), 0);
    EXPECT_EQ(other.getLong(d::hDass), 0);

    const Outcome taken = other.put(d::SubSystem, Variant::Short(kAdIndex));
    ASSERT_TRUE(Raised(taken, 22030));
    EXPECT_EQ(taken.description, LibraryText(HXSUBSYSINUSE));
    EXPECT_EQ(other.getLong(d::SubSystem), -1);

    ASSERT_TRUE(other.put(d::SubSysType, Variant::Short(HXSS_AD)).ok());  // caught
    EXPECT_EQ(other.getLong(d::SubSysType), HXSS_AD);
    EXPECT_EQ(other.getLong(d::SubSysElement), -1);
    EXPECT_EQ(other.getLong(d::SubSystem), -1);
    EXPECT_TRUE(Raised(other.put(d::SubSysElement, Variant::Short(0)), 22030));

    // Once the first control lets it go, the same put opens it.
    ASSERT_TRUE(control->put(d::SubSystem, Variant::Short(kCt0Index)).ok());
    ASSERT_TRUE(other.put(d::SubSysElement, Variant::Short(0)).ok());
    EXPECT_EQ(other.getLong(d::SubSystem), kAdIndex);
}

TEST_F(Selection, TheSameBoardAgainReopensTheSameSubsystem) {
    open(kMq5204, 5);
    const LONG device = control->getLong(d::hDev);
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5204)).ok());
    EXPECT_NE(control->getLong(d::hDev), device);  // every open makes a new device handle
    EXPECT_EQ(control->getLong(d::SubSystem), 5);
    EXPECT_EQ(control->getLong(d::SubSysType), HXSS_CT);
    EXPECT_EQ(control->getLong(d::SubSysElement), 1);
}

// The kept kind and element are found on a board with fewer subsystems than the old index.
TEST_F(Selection, AnotherBoardKeepsTheKindAndElementWhateverTheOldIndex) {
    open(kMq5204, kCt0Index);
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5330)).ok());
    ASSERT_EQ(control->getLong(d::numSubSystems), 3);
    EXPECT_EQ(control->getLong(d::SubSysType), HXSS_CT);
    EXPECT_EQ(control->getLong(d::SubSysElement), 0);
    EXPECT_EQ(control->getLong(d::SubSystem), 2);
    EXPECT_NE(control->getLong(d::hDass), 0);
    // A kind the new board lacks: the board is open without a subsystem.
    open(kMq5204, kDinIndex);
    ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5330)).ok());
    EXPECT_EQ(control->getLong(d::SubSystem), -1);
    EXPECT_EQ(control->getLong(d::SubSysType), 0);
    EXPECT_EQ(control->getLong(d::hDass), 0);
}

TEST_F(Selection, TheCapabilityTablesDescribeTheOpenSubsystem) {
    open(kMq5204, kAdIndex);
    EXPECT_EQ(control->getLong(d::numGains), 4);
    EXPECT_EQ(control->getDouble(d::GainValues, {Variant::Short(3)}), 8.0);
    EXPECT_EQ(control->getLong(d::numResolutions), 1);
    EXPECT_EQ(control->getLong(d::ResolutionValues, {Variant::Short(0)}), 16);
    ASSERT_GE(control->getLong(d::numRanges), 1);
    EXPECT_EQ(control->getDouble(d::MinRangeValues, {Variant::Short(0)}), -10.0);
    EXPECT_EQ(control->getDouble(d::MaxRangeValues, {Variant::Short(0)}), 10.0);
    EXPECT_EQ(control->getLong(d::numFilters), 1);
    for (DISPID values : {d::ResolutionValues, d::MinRangeValues, d::MaxRangeValues, d::GainValues,
                          d::FilterValues}) {
        EXPECT_TRUE(Raised(control->get(values, {Variant::Short(-1)}), CTL_E_INVALIDPROPERTYVALUE));
        EXPECT_TRUE(Raised(control->get(values, {Variant::Short(8)}), CTL_E_INVALIDPROPERTYVALUE));
    }
    // The range found in the table at opening.
    EXPECT_EQ(control->getLong(d::Range), 0);

    // Closing the subsystem empties them.
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_CT)).ok());
    ASSERT_TRUE(control->put(d::SubSysElement, Variant::Short(1)).ok());
    ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(HXSS_DIN)).ok());
    EXPECT_EQ(control->getLong(d::numGains), 0);
    EXPECT_EQ(control->getLong(d::numRanges), 0);
    EXPECT_TRUE(
        Raised(control->get(d::GainValues, {Variant::Short(0)}), CTL_E_INVALIDPROPERTYVALUE));
}

// A panel's unload: the container releases the subsystem through the library itself, then the
// control goes and its own release meets the stale handle harmlessly, closing the board.
TEST_F(Selection, AControlWhoseSubsystemTheContainerReleasedStillClosesItsBoard) {
    const std::size_t filesBefore = kernel::testing::OpenFileObjects();
    open(kMq5204, kAdIndex);
    ASSERT_GT(kernel::testing::OpenFileObjects(), filesBefore);
    ASSERT_EQ(hxDaReleaseDASS(hDass()), HXNOERROR);
    control.reset();
    ASSERT_TRUE(kernel::testing::DrainDeferredCloses());
    EXPECT_EQ(kernel::testing::OpenFileObjects(), filesBefore);  // the board's file is closed
}

}  // namespace
}  // namespace controltest
