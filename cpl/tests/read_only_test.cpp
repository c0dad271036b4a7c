// The applet run by a standard user, who cannot write the boards' registry keys: the list still
// shows every board, says once that the names are read only, and never offers "&Edit Name"; the
// advanced settings, which go to the boards, still open.
#include <gtest/gtest.h>

#include "applet_fixture.h"
#include "win32/debug.h"
#include "win32/registry.h"

namespace mqhxcpl::testing {
namespace {

constexpr char kReadOnlyText[] =
    "The name database is currently read only.\nPlease log in as Administrator if you need to "
    "edit board names.";

class ReadOnlyTest : public AppletTest {
  protected:
    ReadOnlyTest() { win32::testing::SetAdministrator(false); }
    ~ReadOnlyTest() override { win32::testing::SetAdministrator(true); }
};

TEST_F(ReadOnlyTest, AStandardUserSeesEveryBoardOneWarningAndNoRename) {
    win32::testing::ClearDebugOutput();
    Open([&](ui::Form& dialog) {
        EXPECT_EQ(List(dialog).ItemCount(), 4);
        ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
        EXPECT_EQ(runtime_->MessageBoxes()[0].text, kReadOnlyText);
        EXPECT_EQ(runtime_->MessageBoxes()[0].flags, ui::kMbExclamation);
        for (const char* board : {"MQ5120(00)", "MQ5310(00)"}) {
            ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, board)));
            EXPECT_FALSE(Button(dialog, "cmdEditName").Enabled()) << board;
        }
        EXPECT_FALSE(Button(dialog, "cmdAdvanced").Enabled());  // MQ5310: no dialog
        ASSERT_TRUE(user_.ClickListRow(List(dialog), RowOf(dialog, "Mq5200(00)")));
        bool opened = false;
        user_.AnswerModal([&](ui::Form& options) {
            opened = true;
            options.Unload();
        });
        ASSERT_TRUE(user_.Click(Button(dialog, "cmdAdvanced")));
        EXPECT_TRUE(opened);
    });
    const std::string debug = win32::testing::DebugOutput();
    EXPECT_NE(debug.find("Failed to Open Hive key.... trying read only...\n"), std::string::npos);
    EXPECT_EQ(debug.find("Failed to Open Hive key read only!\n"), std::string::npos);

    // Each opening starts afresh, and an administrator's opening is not read only.
    win32::testing::SetAdministrator(true);
    Open([&](ui::Form& dialog) {
        ASSERT_TRUE(user_.ClickListRow(List(dialog), 0));
        EXPECT_TRUE(Button(dialog, "cmdEditName").Enabled());
    });
    EXPECT_EQ(runtime_->MessageBoxes().size(), 1u);
}

}  // namespace
}  // namespace mqhxcpl::testing
