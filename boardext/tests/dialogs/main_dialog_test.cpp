// The families' MainDLG called as the applet calls it, with a device of the caller's own: the
// dialogs' refusals when the board cannot be read, the interrupt mask of an MQ5120 without analog
// inputs, and a power setting that cannot be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extension_module.h"
#include "gui_fixture.h"
#include "hxdaapi32.h"
#include "sim/machine_testing.h"
#include "win32/debug.h"

namespace boardext::testing {
namespace {

constexpr UINT kInterruptMaskRegister = 0x4004;
constexpr UINT kTerminationRegister = 0x4002;
constexpr UINT kMq5200Terminations = 2;
constexpr UINT kMq5200Power = 3;
constexpr UINT kRegisterSize = 1;
constexpr UINT kStoredMask = 0x5A;

class MainDialogTest : public ui::testing::GuiTest {
  protected:
    MainDialogTest()
        : simMachine_({"MQ5120 1 5", "MQ5120 4 6", "Mq5200 0x5202 7", "Mq5130 0x5130 8"}) {}

    // Runs the family's MainDLG for the board; the script gets the dialog when one opens.
    BOOL RunMainDialog(const std::string& family, HDEV device, const std::string& board,
                       const std::function<void(ui::Form&)>& script = nullptr) {
        ExtensionModule module(family);
        auto mainDialog = module.Entry<MainDlgProc>(kMainDialogName);
        EXPECT_NE(mainDialog, nullptr);
        if (mainDialog == nullptr)
            return FALSE;
        opened_ = false;
        if (script) {
            user_.AnswerModal([&](ui::Form& dialog) {
                opened_ = true;
                script(dialog);
            });
        }
        return mainDialog(board.c_str(), device);
    }
    static HDEV Open(const std::string& board) {
        HDEV device = 0;
        EXPECT_EQ(hxDaInitialize(board.c_str(), &device), HXNOERROR) << board;
        return device;
    }
    static ui::CheckBox& Box(ui::Form& dialog, const char* name, int index = -1) {
        return dialog.Get<ui::CheckBox>(name, index);
    }
    void Ok(ui::Form& dialog) { ASSERT_TRUE(user_.Click(dialog.Get<ui::CommandButton>("cmdOK"))); }

    sim::testing::ScopedSimulatedMachine simMachine_;
    bool opened_ = false;
};

TEST_F(MainDialogTest, AnMq5120WithoutAnalogInputsShowsAndKeepsItsStoredInterruptMask) {
    HDEV device = Open("MQ5120(00)");  // type 1: no analog inputs
    ASSERT_EQ(hxDiagWriteReg(device, kInterruptMaskRegister, kStoredMask, kRegisterSize),
              HXNOERROR);
    win32::testing::ClearDebugOutput();
    EXPECT_EQ(
        RunMainDialog(
            "Mq5120", device, "MQ5120(00)",
            [&](ui::Form& dialog) {
                EXPECT_FALSE(Box(dialog, "chkTermination").Enabled());
                EXPECT_FALSE(Box(dialog, "chkTermination").Value());
                for (int bit = 0; bit < 8; ++bit)
                    EXPECT_EQ(Box(dialog, "chkBit", bit).Value(), ((kStoredMask >> bit) & 1u) != 0)
                        << bit;
                Ok(dialog);
            }),
        TRUE);
    EXPECT_TRUE(opened_);
    EXPECT_EQ(win32::testing::DebugOutput(), "Entering MainDLG....\nAbout to call DoModal()....\n");
    UINT mask = 0;
    ASSERT_EQ(hxDiagReadReg(device, kInterruptMaskRegister, &mask, kRegisterSize), HXNOERROR);
    EXPECT_EQ(mask, kStoredMask);
    UINT termination = 0xFF;
    ASSERT_EQ(hxDiagReadReg(device, kTerminationRegister, &termination, kRegisterSize), HXNOERROR);
    EXPECT_EQ(termination & 0xFFu, 0u);
    hxDaTerminate(device);

    // A board with analog inputs opened after it offers the termination again.
    device = Open("MQ5120(01)");
    RunMainDialog("Mq5120", device, "MQ5120(01)", [&](ui::Form& dialog) {
        EXPECT_TRUE(Box(dialog, "chkTermination").Enabled());
        dialog.Unload();
    });
    EXPECT_TRUE(opened_);
    hxDaTerminate(device);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(MainDialogTest, ABoardThatCannotBeReadGivesTheLibrarysTextAndTheInUseHintAndNoDialog) {
    struct Case {
        const char* family;
        const char* board;
        const char* firstTitle;
        const char* hint;
    };
    const Case cases[] = {
        {"Mq5120", "MQ5120(01)", "MQ-Halcyon WDM",
         "Device Selected may be in use. Quit all MQ5120 related applications and try again."},
        {"Mq5200", "Mq5200(00)", "MQ-Halcyon WDM",
         "Device Selected may be in use. Quit all MQ5200 related applications and try again."},
        {"Mq5130", "Mq5130(00)", "MQ-Halcyon Error",
         "Device Selected may be in use. Quit all MQ5130 related applications and try again."},
    };
    char expected[80] = "";
    hxDaGetErrorString(HXINVALIDDEVHANDLE, expected, sizeof expected);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        HDEV device = Open(c.board);
        hxDaTerminate(device);  // the handle is stale now
        const std::size_t before = runtime_->MessageBoxes().size();
        EXPECT_EQ(RunMainDialog(c.family, device, c.board), TRUE);
        const auto& boxes = runtime_->MessageBoxes();
        ASSERT_EQ(boxes.size(), before + 2);
        EXPECT_EQ(boxes[before].text, expected);
        EXPECT_EQ(boxes[before].title, c.firstTitle);
        EXPECT_EQ(boxes[before + 1].text, c.hint);
        EXPECT_EQ(boxes[before + 1].title, std::string("MQ-Halcyon WDM"));
    }
}

TEST_F(MainDialogTest, AnMq5200PowerSettingThatCannotBeReadStartsOffAndIsWrittenAsShown) {
    HDEV device = Open("Mq5200(00)");
    ASSERT_EQ(hxDiagWriteReg(device, kMq5200Power, 1, kRegisterSize), HXNOERROR);
    ASSERT_EQ(hxDiagWriteReg(device, kMq5200Terminations, 0x81, kRegisterSize), HXNOERROR);
    ASSERT_TRUE(sim::testing::InjectFault("Mq5200", 7, 0, kMq5200Power,
                                          sim::testing::Fault::kRegisterRead));
    UINT power = 0;
    ASSERT_NE(hxDiagReadReg(device, kMq5200Power, &power, kRegisterSize), HXNOERROR);

    RunMainDialog("Mq5200", device, "Mq5200(00)", [&](ui::Form& dialog) {
        EXPECT_TRUE(Box(dialog, "chkChannel", 0).Value());
        EXPECT_TRUE(Box(dialog, "chkChannel", 7).Value());
        EXPECT_FALSE(Box(dialog, "chkChannel", 1).Value());
        EXPECT_FALSE(Box(dialog, "chkPower").Value());
        Ok(dialog);
    });
    EXPECT_TRUE(opened_);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    UINT terminations = 0;
    ASSERT_EQ(hxDiagReadReg(device, kMq5200Terminations, &terminations, kRegisterSize), HXNOERROR);
    EXPECT_EQ(terminations, 0x81u);
    hxDaTerminate(device);
}

}  // namespace
}  // namespace boardext::testing
