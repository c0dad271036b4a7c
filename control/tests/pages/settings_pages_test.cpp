// The Hardware, Clocks and Data I/O pages on the simulated machine's boards: what each shows of
// the open subsystem, what it disables without one, and what Apply writes.
#include <algorithm>

#include "page_fixture.h"

namespace controltest {
namespace {

namespace pg = mqacq32::pages;
namespace d = mqacq32::dispid;

// Dialog ids of the pages' controls.
constexpr int kSubsystemCombo = 206;  // Device
constexpr int kRangeCombo = 206;      // Hardware
constexpr int kChannelTypeCombo = 207;
constexpr int kEncodingCombo = 208;
constexpr int kResolutionEdit = 210;
constexpr int kDmaEdit = 211;
constexpr int kDividerEdit = 212;  // Clocks
constexpr int kFrequencyEdit = 214;
constexpr int kClockSourceCombo = 215;
constexpr int kDataFlowCombo = 211;  // Data I/O
constexpr int kWrapModeCombo = 212;

constexpr int kMq5204DaIndex = 1;  // a D/A without a clock of its own
constexpr double kTypedFrequency = 2500.0;

using SettingsPagesTest = PageTest;

struct Disabled {
    const char* page;
    int tab;  // 1-based
    std::vector<int> combos;
    std::vector<int> edits;
};

TEST_F(SettingsPagesTest, WithoutABoardEverySubsystemControlIsDisabledAndEmpty) {
    const std::vector<Disabled> pages = {
        {"Device", 1, {kSubsystemCombo}, {}},
        {"Hardware",
         2,
         {kChannelTypeCombo, kEncodingCombo, kRangeCombo},
         {kResolutionEdit, kDmaEdit}},
        {"Clocks", 3, {kClockSourceCombo}, {kFrequencyEdit, kDividerEdit}},
        {"Data I/O", 4, {kDataFlowCombo, kWrapModeCombo}, {}},
    };
    ShowPages({pg::kDevicePage.clsid, pg::kHardwarePage.clsid, pg::kClocksPage.clsid,
               pg::kDataIoPage.clsid},
              [&](ui::PropertyFrameDialog& dialog, ui::Form&) {
                  for (const Disabled& c : pages) {
                      SCOPED_TRACE(c.page);
                      EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), c.tab));
                      ASSERT_NE(dialog.ShownPage(), nullptr);
                      ui::Form& page = *dialog.ShownPage();
                      EXPECT_EQ(page.Caption(), c.page);
                      for (int id : c.combos) {
                          EXPECT_FALSE(Combo(page, id).Enabled()) << id;
                          EXPECT_EQ(Combo(page, id).ListCount(), 0) << id;
                      }
                      for (int id : c.edits)
                          EXPECT_FALSE(Edit(page, id).Enabled()) << id;
                  }
                  EXPECT_FALSE(dialog.ApplyButton().Enabled());
              });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(SettingsPagesTest, HardwareShowsTheSubsystemsOptionsAndWritesTheChosenOne) {
    open(kMq5120, kAdIndex);
    site.userMode = true;
    const SHORT ranges = static_cast<SHORT>(control->getLong(d::numRanges));
    site.userMode = false;
    const LONG channelType = control->getLong(d::ChannelType);
    ShowPage(pg::kHardwarePage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_EQ(Items(Combo(page, kChannelTypeCombo)),
                  (std::vector<std::string>{"0 - Single Ended", "1 - Differential"}));
        EXPECT_EQ(Items(Combo(page, kEncodingCombo)),
                  (std::vector<std::string>{"0 - Binary", "1 - 2s Complement --N/A--"}));
        EXPECT_EQ(Combo(page, kChannelTypeCombo).ListIndex(), channelType);
        EXPECT_TRUE(Combo(page, kRangeCombo).Enabled());
        EXPECT_EQ(Combo(page, kRangeCombo).ListCount(), ranges);
        EXPECT_FALSE(Edit(page, kResolutionEdit).Enabled()) << "no software resolution";
        EXPECT_FALSE(Edit(page, kDmaEdit).Enabled()) << "no DMA channels";
        SavePicture(dialog, "page_hardware");

        EXPECT_TRUE(user_.Choose(Combo(page, kChannelTypeCombo), 1 - channelType));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_EQ(control->getLong(d::ChannelType), 1 - channelType);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(SettingsPagesTest, ClocksWritesTheFrequencyOfAnInternalClock) {
    open(kMq5120, kAdIndex);
    ASSERT_NE(control->getDouble(d::Frequency), kTypedFrequency);
    control->notify.changed.clear();
    ShowPage(pg::kClocksPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_EQ(Items(Combo(page, kClockSourceCombo)),
                  (std::vector<std::string>{"0 - Internal", "1 - External"}));
        EXPECT_TRUE(Edit(page, kFrequencyEdit).Enabled());
        EXPECT_TRUE(Edit(page, kDividerEdit).Enabled());
        SavePicture(dialog, "page_clocks");
        EXPECT_TRUE(user_.Type(Edit(page, kFrequencyEdit), "2500"));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_DOUBLE_EQ(control->getDouble(d::Frequency), kTypedFrequency);
    EXPECT_EQ(
        std::count(control->notify.changed.begin(), control->notify.changed.end(), d::ClockDivider),
        0)
        << "the divider the user left alone is not written";
}

// The MQ5204's D/A has no clock of its own: nothing on the page can reach its frequency.
TEST_F(SettingsPagesTest, ClocksNeverWritesTheFrequencyOfASubsystemWithoutAnInternalClock) {
    open(kMq5204, kMq5204DaIndex);
    control->notify.changed.clear();
    ShowPage(pg::kClocksPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_FALSE(Edit(page, kFrequencyEdit).Enabled());
        EXPECT_FALSE(user_.Type(Edit(page, kFrequencyEdit), "2500"));
        EXPECT_FALSE(Combo(page, kClockSourceCombo).Enabled());
        EXPECT_EQ(Combo(page, kClockSourceCombo).ListCount(), 0) << "no clock is available";
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_EQ(
        std::count(control->notify.changed.begin(), control->notify.changed.end(), d::Frequency),
        0);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(SettingsPagesTest, DataIoListsEveryFlowAndWritesTheValueOfTheChosenOne) {
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::DataFlow, Variant::Short(0)).ok());
    ShowPage(pg::kDataIoPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        ui::ComboBox& flows = Combo(page, kDataFlowCombo);
        EXPECT_EQ(Items(flows), (std::vector<std::string>{"0 - Continuous", "1 - Single Value",
                                                          "4 - Continuous Pre-Trigger --N/A--",
                                                          "5 - Continuous About Trigger --N/A--"}));
        EXPECT_EQ(flows.Text(), "0 - Continuous");
        EXPECT_TRUE(Combo(page, kWrapModeCombo).Enabled());
        SavePicture(dialog, "page_data_io");
        EXPECT_TRUE(user_.Choose(flows, 1));
        EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
    });
    EXPECT_EQ(control->getLong(d::DataFlow), 1);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

// A flow the board refuses: the control's error is shown and the page stays open and dirty.
TEST_F(SettingsPagesTest, ARefusedFlowKeepsThePageOpenWithTheControlsError) {
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::DataFlow, Variant::Short(0)).ok());
    ShowPage(pg::kDataIoPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Choose(Combo(page, kDataFlowCombo), 3));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_TRUE(dialog.Loaded());
        EXPECT_TRUE(dialog.ApplyButton().Enabled());
    });
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text, LibraryText(HXNOTSUPPORTED));
    site.userMode = true;
    EXPECT_EQ(control->getLong(d::LastError), static_cast<LONG>(HXNOTSUPPORTED));
    EXPECT_EQ(control->getLong(d::DataFlow), 0);
}

}  // namespace
}  // namespace controltest
