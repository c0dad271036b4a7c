// The Lists page on the MQ5120's A/D (a channel-gain list with gains and inhibit flags, one
// filter, a synchronous digital-output list) and the MQ5204's (gains only).
#include <cstdio>

#include "page_fixture.h"

namespace controltest {
namespace {

namespace pg = mqacq32::pages;
namespace d = mqacq32::dispid;

constexpr int kBoardCombo = 205;
constexpr int kListSizeEdit = 221;
constexpr int kGainEntryEdit = 222;
constexpr int kInhibitCheck = 225;
constexpr int kGainSetButton = 226;
constexpr int kGainListBox = 234;
constexpr int kChannelCombo = 235;
constexpr int kGainCombo = 236;
constexpr int kFilterSetButton = 230;
constexpr int kFilterEntryEdit = 232;
constexpr int kFilterListBox = 233;
constexpr int kFilterCombo = 237;
constexpr int kDioValueEdit = 228;
constexpr int kDioSetButton = 238;
constexpr int kDioListBox = 239;
constexpr int kDioEntryEdit = 240;

constexpr LONG kListSize = 4;
constexpr LONG kDioHigh = 1;  // the A/D's largest synchronous digital-output value
constexpr int kMq5120AdChannels = 27;
constexpr int kMq5204AdChannels = 17;

class ListsPageTest : public PageTest {
  protected:
    // The MQ5120's A/D with a list of kListSize entries: entry 1 channel 3 at the second gain,
    // entry 2 inhibited, DIO entry 3 at kDioHigh.
    void SetUpList() {
        open(kMq5120, kAdIndex);
        ASSERT_TRUE(control->put(d::ListSize, Variant::Long(kListSize)).ok());
        ASSERT_TRUE(control->put(d::ChannelList, Variant::Short(3), {Variant::Short(1)}).ok());
        site.userMode = true;
        secondGain = control->getDouble(d::GainValues, {Variant::Short(1)});
        site.userMode = false;
        ASSERT_TRUE(
            control->put(d::GainList, Variant::Double(secondGain), {Variant::Short(1)}).ok());
        ASSERT_TRUE(control->put(d::InhibitList, Variant::Bool(true), {Variant::Short(2)}).ok());
        ASSERT_TRUE(control->put(d::SyncDIOUsage, Variant::Short(1)).ok());
        const Outcome dio = control->put(d::DIOList, Variant::Long(kDioHigh), {Variant::Short(3)});
        ASSERT_TRUE(dio.ok()) << dio.description;
    }
    static ui::ListBox& ListBox(ui::Form& page, int id) {
        return page.Get<ui::ListBox>(ui::DialogControlName(id));
    }
    static ui::CheckBox& Check(ui::Form& page, int id) {
        return page.Get<ui::CheckBox>(ui::DialogControlName(id));
    }
    static ui::CommandButton& Button(ui::Form& page, int id) {
        return page.Get<ui::CommandButton>(ui::DialogControlName(id));
    }
    static std::vector<std::string> Lines(ui::ListBox& list) {
        std::vector<std::string> lines;
        for (int i = 0; i < list.ListCount(); ++i)
            lines.push_back(list.List(i));
        return lines;
    }
    std::string GainText(double gain) const {
        char text[32];
        std::snprintf(text, sizeof(text), "%3.4lf", gain);
        return text;
    }

    double secondGain = 0.0;
};

TEST_F(ListsPageTest, ShowsEachListInItsFormat) {
    SetUpList();
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_EQ(Edit(page, kListSizeEdit).Text(), "4");
        EXPECT_EQ(
            Lines(ListBox(page, kGainListBox)),
            (std::vector<std::string>{
                "    0:ch     0,gain 1.0000, No Inhibit",
                "    1:ch     3,gain " + GainText(secondGain) + ", No Inhibit",
                "    2:ch     0,gain 1.0000, Inhibit", "    3:ch     0,gain 1.0000, No Inhibit"}));
        EXPECT_EQ(Lines(ListBox(page, kDioListBox)),
                  (std::vector<std::string>{"    0:     0", "    1:     0", "    2:     0",
                                            "    3:     1"}));
        EXPECT_EQ(Combo(page, kChannelCombo).ListCount(), kMq5120AdChannels);
        EXPECT_EQ(Combo(page, kChannelCombo).Text(), "0");
        EXPECT_EQ(Combo(page, kGainCombo).Text(), "1.0000");
        EXPECT_TRUE(Combo(page, kGainCombo).Enabled());
        EXPECT_TRUE(Check(page, kInhibitCheck).Enabled());
        // One filter: the filter group is read-only.
        for (int id : {kFilterCombo, kFilterEntryEdit, kFilterSetButton, kFilterListBox})
            EXPECT_FALSE(page.Find(ui::DialogControlName(id)).Enabled()) << id;
        EXPECT_EQ(ListBox(page, kFilterListBox).ListCount(), 0);
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        SavePicture(dialog, "page_lists");
    });
}

TEST_F(ListsPageTest, SetWritesTheEntryAndShowsWhatTheControlReadsBack) {
    SetUpList();
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Type(Edit(page, kGainEntryEdit), "2"));
        EXPECT_TRUE(user_.Type(Combo(page, kChannelCombo), "5"));
        EXPECT_TRUE(user_.Choose(Combo(page, kGainCombo), 1));
        EXPECT_FALSE(Check(page, kInhibitCheck).Value()) << "entry 0 is not inhibited";
        EXPECT_TRUE(user_.Click(Check(page, kInhibitCheck)));
        EXPECT_TRUE(user_.Click(Button(page, kGainSetButton)));
        ui::ListBox& gains = ListBox(page, kGainListBox);
        EXPECT_EQ(gains.List(2), "    2:ch     5,gain " + GainText(secondGain) + ", Inhibit");
        EXPECT_EQ(gains.ListIndex(), 2);
        EXPECT_EQ(gains.ListCount(), kListSize);

        EXPECT_TRUE(user_.Type(Edit(page, kDioEntryEdit), "1"));
        EXPECT_TRUE(user_.Type(Edit(page, kDioValueEdit), "1"));
        EXPECT_TRUE(user_.Click(Button(page, kDioSetButton)));
        EXPECT_EQ(ListBox(page, kDioListBox).List(1), "    1:     1");
        EXPECT_EQ(ListBox(page, kDioListBox).ListIndex(), 1);
        EXPECT_FALSE(dialog.ApplyButton().Enabled()) << "the editors make nothing dirty";
    });
    EXPECT_EQ(control->getLong(d::ChannelList, {Variant::Short(2)}), 5);
    EXPECT_DOUBLE_EQ(control->getDouble(d::GainList, {Variant::Short(2)}), secondGain);
    EXPECT_EQ(control->getLong(d::InhibitList, {Variant::Short(2)}) != 0, true);
    EXPECT_EQ(control->getLong(d::DIOList, {Variant::Short(1)}), kDioHigh);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

TEST_F(ListsPageTest, AnEntryBeyondTheListIsWrittenButNotShown) {
    constexpr SHORT kBeyond = 5;
    SetUpList();
    std::vector<std::string> gainsBefore;
    std::vector<std::string> dioBefore;
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog&, ui::Form& page) {
        gainsBefore = Lines(ListBox(page, kGainListBox));
        dioBefore = Lines(ListBox(page, kDioListBox));
        EXPECT_TRUE(user_.Type(Edit(page, kGainEntryEdit), std::to_string(kBeyond)));
        EXPECT_TRUE(user_.Type(Combo(page, kChannelCombo), "7"));
        EXPECT_TRUE(user_.Click(Button(page, kGainSetButton)));
        EXPECT_TRUE(user_.Type(Edit(page, kDioEntryEdit), std::to_string(kBeyond)));
        EXPECT_TRUE(user_.Type(Edit(page, kDioValueEdit), "1"));
        EXPECT_TRUE(user_.Click(Button(page, kDioSetButton)));
        EXPECT_EQ(Lines(ListBox(page, kGainListBox)), gainsBefore);
        EXPECT_EQ(Lines(ListBox(page, kDioListBox)), dioBefore);
    });
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
    EXPECT_EQ(control->getLong(d::ChannelList, {Variant::Short(kBeyond)}), 7);
    EXPECT_EQ(control->getLong(d::DIOList, {Variant::Short(kBeyond)}), kDioHigh);
}

TEST_F(ListsPageTest, OnlyTheListSizeEnablesApplyAndApplyRefillsTheLists) {
    constexpr LONG kNewSize = 6;
    SetUpList();
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_TRUE(user_.Type(Edit(page, kGainEntryEdit), "1"));
        EXPECT_TRUE(user_.Type(Combo(page, kChannelCombo), "2"));
        EXPECT_TRUE(user_.Choose(Combo(page, kGainCombo), 0));
        EXPECT_TRUE(user_.Click(Check(page, kInhibitCheck)));
        EXPECT_TRUE(user_.Type(Edit(page, kDioValueEdit), "3"));
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        EXPECT_TRUE(user_.Type(Edit(page, kListSizeEdit), std::to_string(kNewSize)));
        EXPECT_TRUE(dialog.ApplyButton().Enabled());
        EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
        EXPECT_EQ(ListBox(page, kGainListBox).ListCount(), kNewSize);
        EXPECT_EQ(ListBox(page, kDioListBox).ListCount(), kNewSize);
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
    });
    EXPECT_EQ(control->getLong(d::ListSize), kNewSize);
    EXPECT_EQ(control->getLong(d::ChannelList, {Variant::Short(1)}), 3) << "Apply writes no entry";
}

struct RefusedEntry {
    const char* name;
    const char* channel;
    bool libraryError;  // else the page's own validation
};

class ListsPageRefusalTest : public ListsPageTest,
                             public ::testing::WithParamInterface<RefusedEntry> {};

TEST_P(ListsPageRefusalTest, ARefusedEntryKeepsTheOldLine) {
    const RefusedEntry& c = GetParam();
    SetUpList();
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        const std::string before = ListBox(page, kGainListBox).List(1);
        EXPECT_TRUE(user_.Type(Edit(page, kGainEntryEdit), "1"));
        EXPECT_TRUE(user_.Type(Combo(page, kChannelCombo), c.channel));
        EXPECT_TRUE(user_.Click(Button(page, kGainSetButton)));
        EXPECT_EQ(ListBox(page, kGainListBox).List(1), before);
        EXPECT_TRUE(dialog.Loaded());
    });
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    if (c.libraryError) {
        site.userMode = true;
        const LONG status = control->getLong(d::LastError);
        EXPECT_NE(status, 0);
        EXPECT_EQ(runtime_->MessageBoxes()[0].text, LibraryText(static_cast<HXSTATUS>(status)));
    } else {
        EXPECT_EQ(runtime_->MessageBoxes()[0].text, "Please enter an integer.");
    }
    EXPECT_EQ(control->getLong(d::ChannelList, {Variant::Short(1)}), 3);
}

INSTANTIATE_TEST_SUITE_P(Cases, ListsPageRefusalTest,
                         ::testing::Values(RefusedEntry{"NoSuchChannel", "99", true},
                                           RefusedEntry{"NotANumber", "x1", false}),
                         [](const ::testing::TestParamInfo<RefusedEntry>& info) {
                             return info.param.name;
                         });

TEST_F(ListsPageTest, ARefusedDioValueKeepsTheOldLineAndShowsTheControlsError) {
    SetUpList();
    ShowPage(pg::kListsPage, [&](ui::PropertyFrameDialog&, ui::Form& page) {
        EXPECT_TRUE(user_.Type(Edit(page, kDioEntryEdit), "3"));
        EXPECT_TRUE(user_.Type(Edit(page, kDioValueEdit), std::to_string(kDioHigh + 1)));
        EXPECT_TRUE(user_.Click(Button(page, kDioSetButton)));
        EXPECT_EQ(ListBox(page, kDioListBox).List(3), "    3:     1");
    });
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    site.userMode = true;
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              LibraryText(static_cast<HXSTATUS>(control->getLong(d::LastError))));
    EXPECT_EQ(control->getLong(d::DIOList, {Variant::Short(3)}), kDioHigh);
}

TEST_F(ListsPageTest, AnotherBoardOnTheDevicePageRebuildsTheEditors) {
    SetUpList();
    ShowPages({pg::kDevicePage.clsid, pg::kListsPage.clsid}, [&](ui::PropertyFrameDialog& dialog,
                                                                 ui::Form&) {
        EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 2));
        ui::Form& lists = *dialog.ShownPage();
        EXPECT_EQ(Combo(lists, kChannelCombo).ListCount(), kMq5120AdChannels);
        EXPECT_TRUE(Check(lists, kInhibitCheck).Enabled());
        EXPECT_TRUE(ListBox(lists, kDioListBox).Enabled());

        EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 1));
        EXPECT_TRUE(user_.Choose(Combo(*dialog.ShownPage(), kBoardCombo), std::string(kMq5204)));
        EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
        EXPECT_TRUE(user_.ClickTab(dialog.Tabs(), 2));
        ASSERT_EQ(dialog.ShownPage(), &lists);
        EXPECT_EQ(Combo(lists, kChannelCombo).ListCount(), kMq5204AdChannels);
        EXPECT_FALSE(Check(lists, kInhibitCheck).Enabled());
        EXPECT_FALSE(ListBox(lists, kDioListBox).Enabled());
        EXPECT_EQ(ListBox(lists, kDioListBox).ListCount(), 0);
    });
    EXPECT_EQ(control->getText(d::Board), kMq5204);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

}  // namespace
}  // namespace controltest
