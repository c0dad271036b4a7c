// The Triggers page on the simulated machine's boards: the MQ5120's A/D has triggered scan with
// internal and extra retriggers, the MQ5204's triggered scan without extra retriggers, the
// MQ5310's A/D none. No simulated board has a pre-trigger or about-trigger data flow, nor a
// maximum multi-scan count of exactly 1 (a subsystem without multi-scan, maximum 0, takes that
// branch).
#include <optional>

#include "page_fixture.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using mqacq32::pages::kTriggersPage;
using Texts = std::vector<std::string>;

constexpr int kTriggerCombo = 208;
constexpr int kTriggeredScanCombo = 209;
constexpr int kPreTriggerCombo = 210;
constexpr int kRetriggerModeCombo = 211;
constexpr int kRetriggerCombo = 212;
constexpr int kRetriggerFreqEdit = 213;
constexpr int kMultiScanEdit = 214;

constexpr SHORT kScanOff = 0;
constexpr SHORT kScanOn = 1;
constexpr LONG kMultiScans = 5;
constexpr int kTriggersWithOneExtra = 8;  // seven sources and the MQ5120's extra trigger

const Texts kScanItems = {"Disable", "Enable"};
const Texts kAllRetriggerModes = {"0 - Internal retrigger", "1 - Scan per trigger",
                                  "2 - Extra retrigger"};
const Texts kNoExtraRetrigger = {"0 - Internal retrigger", "1 - Scan per trigger",
                                 "2 - Extra retrigger --N/A--"};

struct Expected {
    const char* name;
    const char* board;                   // null: no board open
    std::optional<SHORT> triggeredScan;  // put before the page opens
    Texts scanItems;
    bool scanEnabled;
    Texts modeItems;
    bool modeEnabled;
    int sourceCount;
    bool sourceEnabled;
    bool frequencyEnabled;
    const char* multiScanText;
    bool multiScanEnabled;
};

void PrintTo(const Expected& c, std::ostream* out) {
    *out << c.name;
}

class TriggersPageTest : public PageTest, public ::testing::WithParamInterface<Expected> {};

TEST_P(TriggersPageTest, OffersWhatTheSubsystemCanTrigger) {
    const Expected& c = GetParam();
    if (c.board != nullptr)
        open(c.board, kAdIndex);
    if (c.triggeredScan) {
        ASSERT_TRUE(control->put(d::TriggeredScan, Variant::Short(*c.triggeredScan)).ok());
    }
    if (c.multiScanEnabled) {
        ASSERT_TRUE(control->put(d::MultiScanCount, Variant::Long(kMultiScans)).ok());
    }
    ShowPage(kTriggersPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        ui::ComboBox& trigger = Combo(page, kTriggerCombo);
        EXPECT_EQ(trigger.Enabled(), c.board != nullptr);
        if (c.board == kMq5120) {
            ASSERT_EQ(trigger.ListCount(), kTriggersWithOneExtra);
            EXPECT_EQ(trigger.List(2), "2 - ThresholdPos");
            EXPECT_EQ(trigger.List(3), "3 - ThresholdNeg --N/A--");
            EXPECT_EQ(trigger.List(7), "7 - Extra Trigger 0");
        }
        EXPECT_FALSE(Combo(page, kPreTriggerCombo).Enabled());
        EXPECT_EQ(Combo(page, kPreTriggerCombo).ListCount(), 0);

        ui::ComboBox& scan = Combo(page, kTriggeredScanCombo);
        EXPECT_EQ(Items(scan), c.scanItems);
        EXPECT_EQ(scan.Enabled(), c.scanEnabled);
        if (c.triggeredScan) {
            EXPECT_EQ(scan.ListIndex(), *c.triggeredScan);
        }
        EXPECT_EQ(Items(Combo(page, kRetriggerModeCombo)), c.modeItems);
        EXPECT_EQ(Combo(page, kRetriggerModeCombo).Enabled(), c.modeEnabled);
        EXPECT_EQ(Combo(page, kRetriggerCombo).ListCount(), c.sourceCount);
        EXPECT_EQ(Combo(page, kRetriggerCombo).Enabled(), c.sourceEnabled);
        EXPECT_EQ(Edit(page, kRetriggerFreqEdit).Enabled(), c.frequencyEnabled);
        EXPECT_EQ(Edit(page, kMultiScanEdit).Text(), c.multiScanText);
        EXPECT_EQ(Edit(page, kMultiScanEdit).Enabled(), c.multiScanEnabled);
        EXPECT_FALSE(dialog.ApplyButton().Enabled()) << "filling is not the user's change";
        SavePicture(dialog, std::string("page_triggers_") + c.name);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Boards, TriggersPageTest,
    ::testing::Values(
        Expected{"Mq5120Retriggered", kMq5120, kScanOn, kScanItems, true, kAllRetriggerModes, true,
                 kTriggersWithOneExtra, true, true, "5", true},
        // Triggered scan off: the retrigger choices wait for it.
        Expected{"Mq5120ScanOff",
                 kMq5120,
                 kScanOff,
                 kScanItems,
                 true,
                 {},
                 false,
                 kTriggersWithOneExtra,
                 false,
                 false,
                 "5",
                 true},
        // No extra retrigger: its mode is marked and there is no retrigger source.
        Expected{"Mq5204Retriggered", kMq5204, kScanOn, kScanItems, true, kNoExtraRetrigger, true,
                 0, false, true, "5", true},
        // No triggered scan, and one scan per trigger.
        Expected{"Mq5310NoTriggeredScan",
                 kMq5310,
                 std::nullopt,
                 {},
                 false,
                 {},
                 false,
                 0,
                 false,
                 false,
                 "1",
                 false},
        Expected{
            "NoBoard", nullptr, std::nullopt, {}, false, {}, false, 0, false, false, "1", false}),
    [](const ::testing::TestParamInfo<Expected>& info) { return info.param.name; });

using TriggersPageWriteTest = PageTest;

// Text in the disabled edits (as code might leave there) is neither taken nor written.
TEST_F(TriggersPageWriteTest, WithoutTriggeredScanWritesOnlyTheTrigger) {
    open(kMq5310, kAdIndex);
    const double retriggerFreq = control->getDouble(d::RetriggerFreq);
    control->notify.changed.clear();
    ShowPage(kTriggersPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        Edit(page, kRetriggerFreqEdit).SetText("1000");
        Edit(page, kMultiScanEdit).SetText("x");
        EXPECT_TRUE(user_.Choose(Combo(page, kTriggerCombo), 1));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << runtime_->MessageBoxes()[0].text;
    EXPECT_EQ(control->notify.changed, std::vector<DISPID>{d::Trigger});
    EXPECT_EQ(control->getLong(d::Trigger), 1);
    EXPECT_EQ(control->getDouble(d::RetriggerFreq), retriggerFreq);
}

TEST_F(TriggersPageWriteTest, WithTriggeredScanWritesTheRetriggerSettingsTheUserChanged) {
    constexpr SHORT kExtraRetrigger = 2;
    constexpr SHORT kExternal = 1;
    constexpr LONG kScans = 3;
    constexpr double kRetriggerHz = 1000.0;
    open(kMq5120, kAdIndex);
    ASSERT_TRUE(control->put(d::TriggeredScan, Variant::Short(kScanOn)).ok());
    control->notify.changed.clear();
    ShowPage(kTriggersPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Choose(Combo(page, kRetriggerModeCombo), kExtraRetrigger));
        EXPECT_TRUE(user_.Choose(Combo(page, kRetriggerCombo), kExternal));
        EXPECT_TRUE(user_.Type(Edit(page, kRetriggerFreqEdit), "1000"));
        EXPECT_TRUE(user_.Type(Edit(page, kMultiScanEdit), "3"));
        EXPECT_TRUE(user_.Click(dialog.OkButton()));
        EXPECT_FALSE(dialog.Loaded());
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << runtime_->MessageBoxes()[0].text;
    EXPECT_EQ(control->notify.changed, (std::vector<DISPID>{d::RetriggerMode, d::RetriggerFreq,
                                                            d::Retrigger, d::MultiScanCount}));
    EXPECT_EQ(control->getLong(d::RetriggerMode), kExtraRetrigger);
    EXPECT_EQ(control->getLong(d::Retrigger), kExternal);
    EXPECT_EQ(control->getDouble(d::RetriggerFreq), kRetriggerHz);
    EXPECT_EQ(control->getLong(d::MultiScanCount), kScans);
}

}  // namespace
}  // namespace controltest
