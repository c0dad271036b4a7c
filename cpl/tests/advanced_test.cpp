// "&Advanced" runs the selected board's advanced-settings dialog from its extension library while
// the board list waits, disabled, and stays open afterwards; the dialogs' OK writes the board's
// settings, which the board then holds. A board the applet cannot open gives the library's text.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "applet_fixture.h"
#include "win32/module.h"

namespace mqhxcpl::testing {
namespace {

constexpr UINT kTerminationRegister = 0x4002;
constexpr UINT kInterruptMaskRegister = 0x4004;
constexpr UINT kMq5200Terminations = 2;
constexpr UINT kMq5200Power = 3;
constexpr UINT kRegisterSize = 1;
constexpr std::size_t kBlockSize = 128;

class AdvancedTest : public AppletTest {
  protected:
    // Selects the board and presses "&Advanced"; the script gets the board's dialog.
    void Advanced(ui::Form& list, const std::string& board,
                  const std::function<void(ui::Form&)>& script) {
        ASSERT_TRUE(user_.ClickListRow(List(list), RowOf(list, board)));
        bool ran = false;
        user_.AnswerModal([&](ui::Form& dialog) {
            ran = true;
            EXPECT_FALSE(list.Enabled()) << "the list must wait while the board's dialog runs";
            script(dialog);
        });
        ASSERT_TRUE(user_.Click(Button(list, "cmdAdvanced")));
        EXPECT_TRUE(ran) << board << ": no advanced-settings dialog";
        EXPECT_TRUE(list.Enabled());
        EXPECT_TRUE(list.Visible());
    }
    static ui::CheckBox& Box(ui::Form& form, const char* name, int index = -1) {
        return form.Get<ui::CheckBox>(name, index);
    }
    // Clicks the box when it does not show the value.
    void Set(ui::Form& form, const char* name, bool value, int index = -1) {
        ui::CheckBox& box = Box(form, name, index);
        if (box.Value() != value) {
            ASSERT_TRUE(user_.Click(box));
        }
        EXPECT_EQ(box.Value(), value);
    }

    // A register as the board holds it, read through a device of the test's own.
    static UINT Register(const std::string& board, UINT number) {
        HDEV device = 0;
        UINT value = 0xDEAD;
        EXPECT_EQ(hxDaInitialize(board.c_str(), &device), HXNOERROR);
        EXPECT_EQ(hxDiagReadReg(device, number, &value, kRegisterSize), HXNOERROR);
        hxDaTerminate(device);
        return value;
    }
};

TEST_F(AdvancedTest, Mq5120OptionsAreReadFromTheBoardAndWrittenBackOnOk) {
    Open([&](ui::Form& list) {
        Advanced(list, "MQ5120(00)", [&](ui::Form& dialog) {
            EXPECT_EQ(dialog.Caption(), "Configurable Board Options");
            EXPECT_TRUE(Box(dialog, "chkUsb2").Value());  // the board is on a high-speed port
            EXPECT_FALSE(Box(dialog, "chkUsb2").Enabled());
            EXPECT_TRUE(Box(dialog, "chkTermination").Enabled());
            Set(dialog, "chkTermination", true);
            for (int bit = 0; bit < 8; ++bit)
                Set(dialog, "chkBit", bit == 0 || bit == 3, bit);
            dialog.Image().SavePng(PicturePath("mqhxcpl_mq5120_options"));
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdOK")));
        });
        // Opened again, the dialog shows what the board now holds.
        Advanced(list, "MQ5120(00)", [&](ui::Form& dialog) {
            EXPECT_TRUE(Box(dialog, "chkTermination").Value());
            for (int bit = 0; bit < 8; ++bit)
                EXPECT_EQ(Box(dialog, "chkBit", bit).Value(), bit == 0 || bit == 3) << bit;
            EXPECT_EQ(Register("MQ5120(00)", kTerminationRegister) & 0xFFu, 0xFFu);
            Set(dialog, "chkTermination", false);
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdOK")));
        });
    });
    EXPECT_EQ(Register("MQ5120(00)", kInterruptMaskRegister), 0x09u);
    EXPECT_EQ(Register("MQ5120(00)", kTerminationRegister) & 0xFFu, 0u);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(AdvancedTest, Mq5200TerminationsAndPowerGoToRegistersTwoAndThreeAndCancelWritesNothing) {
    Open([&](ui::Form& list) {
        Advanced(list, "Mq5200(00)", [&](ui::Form& dialog) {
            EXPECT_EQ(dialog.Caption(), "MQ5200 Series Control Panel");
            for (int channel = 0; channel < 8; ++channel)
                Set(dialog, "chkChannel", channel == 1 || channel == 2, channel);
            Set(dialog, "chkPower", true);
            dialog.Image().SavePng(PicturePath("mqhxcpl_mq5200_options"));
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdOK")));
        });
        Advanced(list, "Mq5200(00)", [&](ui::Form& dialog) {
            EXPECT_TRUE(Box(dialog, "chkChannel", 1).Value());
            EXPECT_TRUE(Box(dialog, "chkPower").Value());
            ASSERT_TRUE(user_.Click(Box(dialog, "chkPower")));
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdCancel")));
        });
    });
    EXPECT_EQ(Register("Mq5200(00)", kMq5200Terminations), 0x06u);
    EXPECT_EQ(Register("Mq5200(00)", kMq5200Power), 1u);
}

TEST_F(AdvancedTest, Mq5130SettingsAreTheHardwareBlocksFirstWordsTheBoardsIdentityUntouched) {
    HDEV device = 0;
    ASSERT_EQ(hxDaInitialize("Mq5130(00)", &device), HXNOERROR);
    WORD a = 0, b = 0, c = 0;
    UINT serial = 0;
    std::array<BYTE, kBlockSize> block{};
    block.fill(0xEE);  // stored bytes past the dialog's words
    ASSERT_EQ(hxDaGetHardwareInfo(device, nullptr, &a, &b, &c, &serial, nullptr, nullptr),
              HXNOERROR);
    ASSERT_EQ(hxDaSetHardwareInfo(device, a, b, c, serial, 0, block.data()), HXNOERROR);
    hxDaTerminate(device);

    Open([&](ui::Form& list) {
        Advanced(list, "Mq5130(00)", [&](ui::Form& dialog) {
            EXPECT_EQ(dialog.Caption(), "MQ5130 Series Control Panel");
            for (int bit = 0; bit < 8; ++bit)  // 0xEEEEEEEE: bits 1-3, 5-7 of both banks
                EXPECT_EQ(Box(dialog, "chkBank10", bit).Value(), bit % 4 != 0) << bit;
            EXPECT_TRUE(Box(dialog, "chkDebounce").Value());
            for (int bit = 0; bit < 8; ++bit) {
                Set(dialog, "chkBank10", bit == 0, bit);
                Set(dialog, "chkBank11", bit == 7, bit);
            }
            Set(dialog, "chkPower", false);
            dialog.Image().SavePng(PicturePath("mqhxcpl_mq5130_options"));
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdOK")));
        });
    });

    ASSERT_EQ(hxDaInitialize("Mq5130(00)", &device), HXNOERROR);
    WORD a2 = 0, b2 = 0, c2 = 0;
    UINT serial2 = 0;
    ASSERT_EQ(hxDaGetHardwareInfo(device, nullptr, &a2, &b2, &c2, &serial2, nullptr, block.data()),
              HXNOERROR);
    hxDaTerminate(device);
    std::uint32_t words[3];
    std::memcpy(words, block.data(), sizeof words);
    EXPECT_EQ(words[0], 0x8001u);  // bank 10 bit 0, bank 11 bit 7
    EXPECT_EQ(words[1], 1u);       // debounce
    EXPECT_EQ(words[2], 0u);       // power
    EXPECT_TRUE(
        std::all_of(block.begin() + sizeof words, block.end(), [](BYTE v) { return v == 0; }));
    EXPECT_EQ(std::make_tuple(a2, b2, c2, serial2), std::make_tuple(a, b, c, serial));
}

// The machine's MQ5120 driver runs without the family's extension library, so the process holds
// that library only while the applet asks it for its dialog or runs the dialog.
TEST_F(AdvancedTest, AnExtensionIsLoadedOnlyWhileItIsAskedOrItsDialogRuns) {
    Open([&](ui::Form& list) {
        ASSERT_TRUE(user_.ClickListRow(List(list), RowOf(list, "MQ5120(00)")));
        EXPECT_EQ(GetModuleHandleA("MQ5120.dll"), nullptr);
        Advanced(list, "MQ5120(00)", [&](ui::Form& dialog) {
            EXPECT_NE(GetModuleHandleA("MQ5120.dll"), nullptr);
            ASSERT_TRUE(user_.Click(Button(dialog, "cmdCancel")));
        });
        EXPECT_EQ(GetModuleHandleA("MQ5120.dll"), nullptr);
    });
}

TEST_F(AdvancedTest, AnExtensionWithoutADialogSinceTheSelectionSaysTheBoardHasNone) {
    Open([&](ui::Form& list) {
        // The row's driver changes after the selection enabled "&Advanced": to a family without
        // a dialog, then to one whose library is not there.
        for (const char* driver : {"MQ5310", "Mq9999"}) {
            const int row = RowOf(list, "MQ5120(00)");
            List(list).SetItemText(row, kColumnDriver, "MQ5120");
            ASSERT_TRUE(user_.ClickListRow(List(list), RowOf(list, "Mq5200(00)")));
            ASSERT_TRUE(user_.ClickListRow(List(list), row));
            List(list).SetItemText(row, kColumnDriver, driver);
            const std::size_t before = runtime_->MessageBoxes().size();
            ASSERT_TRUE(user_.Click(Button(list, "cmdAdvanced"))) << driver;
            const auto boxes = BoxesSince(before);
            ASSERT_EQ(boxes.size(), 1u) << driver;
            EXPECT_EQ(boxes[0].text, kNoAdvancedSettingsText);
            EXPECT_TRUE(list.Visible());
        }
    });
}

TEST_F(AdvancedTest, ABoardPulledOutAfterTheListingGivesTheLibrarysTextAndNoDialog) {
    Open([&](ui::Form& list) {
        ASSERT_TRUE(user_.ClickListRow(List(list), RowOf(list, "MQ5120(00)")));
        ASSERT_TRUE(sim::testing::InjectFault("MQ5120", 1, 0, 0, sim::testing::Fault::kRemoval));
        ASSERT_TRUE(user_.Click(Button(list, "cmdAdvanced")));
        EXPECT_TRUE(list.Visible());
        EXPECT_TRUE(list.Enabled());
    });
    HDEV device = 0;
    const HXSTATUS status = hxDaInitialize("MQ5120(00)", &device);
    ASSERT_NE(status, HXNOERROR);
    char expected[256] = "";
    hxDaGetErrorString(status, expected, sizeof expected);
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, expected);
}

}  // namespace
}  // namespace mqhxcpl::testing
