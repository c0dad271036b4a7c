// The board list on a machine with a board of every family: its columns, one row per board in the
// reverse order of the library's enumeration with the board's registry values, the images by
// serial number, and which buttons each selection enables.
#include <gtest/gtest.h>

#include <algorithm>

#include "applet_fixture.h"
#include "win32/debug.h"

namespace mqhxcpl::testing {
namespace {

using BoardListTest = AppletTest;

TEST_F(BoardListTest, ListsEveryBoardWithItsRegistryValuesNewestEnumeratedFirst) {
    std::vector<std::string> enumerated = EnumeratedBoards();
    ASSERT_EQ(enumerated.size(), kFamilyBoards.size());
    std::reverse(enumerated.begin(), enumerated.end());
    Open([&](ui::Form& dialog) {
        EXPECT_EQ(dialog.Caption(), "Data Acqusition Control Panel");
        EXPECT_TRUE(dialog.Visible());
        ui::ListView& list = List(dialog);
        const std::vector<std::string> titles = {"MQ-Halcyon Name", "Model#      ", "Driver      ",
                                                 "Instance#   ", "ID          "};
        ASSERT_EQ(list.ColumnCount(), 5);
        for (int column = 0; column < list.ColumnCount(); ++column)
            EXPECT_EQ(list.ColumnTitle(column), titles[static_cast<std::size_t>(column)]);
        // The trailing blanks are part of the titles, and so of the columns' widths.
        EXPECT_GT(list.ColumnWidth(1), list.StringWidth("Model#"));

        ASSERT_EQ(list.ItemCount(), 4);
        for (int row = 0; row < list.ItemCount(); ++row)
            EXPECT_EQ(list.ItemText(row, kColumnName), enumerated[static_cast<std::size_t>(row)]);
        struct Expected {
            const char* board;
            const char* model;
            const char* driver;
            const char* serial;
            int image;
        };
        for (const Expected& e : {
                 Expected{"MQ5120(00)", "MQ5120-16-04-16", "MQ5120", "1", kImageBoard},
                 Expected{"Mq5200(00)", "MQ5204", "Mq5200", "10", kImageBoard},
                 Expected{"Mq5130(00)", "MQ5130", "Mq5130", "N/A", kImageBoard},
                 Expected{"MQ5310(00)", "MQ5310-10V", "MQ5310", "11", kImageNumberedBoard},
             }) {
            const int row = RowOf(dialog, e.board);
            ASSERT_GE(row, 0) << e.board;
            EXPECT_EQ(list.ItemText(row, kColumnModel), e.model);
            EXPECT_EQ(list.ItemText(row, kColumnDriver), e.driver);
            EXPECT_EQ(list.ItemText(row, kColumnInstance), "0");
            EXPECT_EQ(list.ItemText(row, kColumnSerial), e.serial) << e.board;
            EXPECT_EQ(list.ItemImage(row), e.image) << e.board;
        }
        dialog.Image().SavePng(PicturePath("mqhxcpl_board_list"));
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(BoardListTest, ASelectionEnablesEditNameAndAdvancedOnlyWhereTheExtensionHasADialog) {
    Open([&](ui::Form& dialog) {
        ui::CommandButton& advanced = Button(dialog, "cmdAdvanced");
        ui::CommandButton& editName = Button(dialog, "cmdEditName");
        EXPECT_FALSE(advanced.Enabled());
        EXPECT_FALSE(editName.Enabled());
        struct Case {
            const char* board;
            bool advanced;
        };
        for (const Case& c : {Case{"MQ5120(00)", true}, Case{"Mq5200(00)", true},
                              Case{"Mq5130(00)", true}, Case{"MQ5310(00)", false}}) {
            ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, c.board)));
            EXPECT_EQ(advanced.Enabled(), c.advanced) << c.board;
            EXPECT_TRUE(editName.Enabled()) << c.board;
        }
        // The disabled button takes no click: no box, no dialog.
        EXPECT_FALSE(user_.Click(advanced));
        List(dialog).SetSelectedRow(-1);
        EXPECT_FALSE(advanced.Enabled());
        EXPECT_FALSE(editName.Enabled());
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(BoardListTest, EachOpeningBuildsAFreshListAndOnlyCloseEndsTheDialog) {
    int opened = 0;
    for (int round = 0; round < 2; ++round) {
        Open([&](ui::Form& dialog) {
            ++opened;
            EXPECT_EQ(List(dialog).ItemCount(), 4);
            EXPECT_EQ(List(dialog).SelectedRow(), -1);
        });
    }
    EXPECT_EQ(opened, 2);
}

TEST_F(BoardListTest, AMissingInstanceShowsZeroAndAMissingSerialNumberEndsTheListing) {
    const std::vector<std::string> enumerated = EnumeratedBoards();
    ASSERT_EQ(enumerated.size(), 4u);
    DeleteBoardValue(0, "DeviceInstanceNumber");
    DeleteBoardValue(2, "SerialNumber");
    win32::testing::ClearDebugOutput();
    Open([&](ui::Form& dialog) {
        ASSERT_EQ(List(dialog).ItemCount(), 2);  // the boards before the third
        EXPECT_EQ(RowOf(dialog, enumerated[2]), -1);
        EXPECT_EQ(RowOf(dialog, enumerated[3]), -1);
        const int first = RowOf(dialog, enumerated[0]);
        ASSERT_GE(first, 0);
        EXPECT_EQ(List(dialog).ItemText(first, kColumnInstance), "0");
        EXPECT_GE(RowOf(dialog, enumerated[1]), 0);
    });
    EXPECT_EQ(win32::testing::DebugOutput(),
              "Failed to Read Instance Number from Hive....\n"
              "Failed to Read Board Serial Number from Hive....\n");
}

class EmptyMachineTest : public AppletTest {
  protected:
    // A board list without boards.
    EmptyMachineTest() : AppletTest({"# no boards"}) {}
};

TEST_F(EmptyMachineTest, NoBoardsShowsTheLibrarysTextTitledAsTheEnumerationsError) {
    char expected[256] = "";
    hxDaGetErrorString(HXNOBOARDS, expected, sizeof expected);
    Open([&](ui::Form& dialog) { EXPECT_EQ(List(dialog).ItemCount(), 0); });
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].title, kEnumErrorTitle);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, expected);
}

class HighSerialTest : public AppletTest {
  protected:
    HighSerialTest() : AppletTest({"MQ5310 0 0x80000001"}) {}
};

TEST_F(HighSerialTest, ASerialNumberOfTwoToTheThirtyFirstOrMoreShowsAsItselfWithTheNumberedImage) {
    Open([&](ui::Form& dialog) {
        ASSERT_EQ(List(dialog).ItemCount(), 1);
        EXPECT_EQ(List(dialog).ItemText(0, kColumnSerial), "2147483649");
        EXPECT_EQ(List(dialog).ItemImage(0), kImageNumberedBoard);
    });
}

}  // namespace
}  // namespace mqhxcpl::testing
