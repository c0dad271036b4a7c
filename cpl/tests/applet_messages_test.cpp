// The applet module in the host: what it answers to each of the host's messages and how it
// describes itself.
#include <gtest/gtest.h>

#include <cstring>

#include "applet_fixture.h"
#include "ui/icons.h"

namespace mqhxcpl::testing {
namespace {

using AppletMessagesTest = AppletTest;

constexpr int kAppletIconSize = 32;

TEST_F(AppletMessagesTest, TheHostFindsOneAppletDescribedByItsNewInquiry) {
    const std::vector<cplhost::Exchange>& log = host_.Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].message, static_cast<UINT>(CPL_INIT));
    EXPECT_EQ(log[0].answer, 1);
    EXPECT_EQ(log[1].message, static_cast<UINT>(CPL_GETCOUNT));
    EXPECT_EQ(log[1].answer, 1);
    EXPECT_EQ(log[2].message, static_cast<UINT>(CPL_INQUIRE));
    EXPECT_EQ(log[2].answer, 0);
    EXPECT_EQ(log[3].message, static_cast<UINT>(CPL_NEWINQUIRE));
    EXPECT_EQ(log[3].answer, 0);

    ASSERT_EQ(host_.Applets().size(), 1u);
    const cplhost::AppletInfo& applet = host_.Applets()[0];
    EXPECT_TRUE(applet.dynamic);
    EXPECT_EQ(applet.name, "Halcyon Control Panel");
    EXPECT_EQ(applet.info, "Configures your MQ Halcyon Data Aquisition device settings");
    EXPECT_EQ(applet.helpFile, "MQHXCPL.HLP");
    EXPECT_EQ(applet.flags, 0u);
    EXPECT_EQ(applet.helpContext, 0u);
    EXPECT_EQ(applet.lData, 0);
    const ui::Picture icon = ui::IconPicture(applet.icon);
    EXPECT_EQ(icon.Width(), kAppletIconSize);
    EXPECT_EQ(icon.Height(), kAppletIconSize);
    icon.SavePng(PicturePath("mqhxcpl_applet_icon"));
    window_.Image().SavePng(PicturePath("mqhxcpl_control_panel"));
}

TEST_F(AppletMessagesTest, EachMessageHasItsAnswerAndTheInquiryFillsNothing) {
    CPLINFO untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    CPLINFO record = untouched;
    EXPECT_EQ(host_.Send(CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&record)), 0);
    EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0);

    struct Case {
        UINT message;
        LONG answer;
    };
    const UINT kUnknownMessage = 9;
    const UINT kLargeMessage = 0x1234;
    for (const Case& c :
         {Case{CPL_INIT, 1}, Case{CPL_GETCOUNT, 1}, Case{CPL_SELECT, 1}, Case{CPL_STOP, 1},
          Case{CPL_EXIT, 0}, Case{kUnknownMessage, 1}, Case{kLargeMessage, 1}})
        EXPECT_EQ(host_.Send(c.message, 0, 0), c.answer) << "message " << c.message;
}

TEST_F(AppletMessagesTest, UnloadStopsTheAppletExitsAndTheModuleGivesBackItsIcon) {
    const std::uint32_t icon = host_.Applets().at(0).icon;
    host_.ClearLog();
    host_.Unload();
    ASSERT_EQ(host_.Log().size(), 2u);
    EXPECT_EQ(host_.Log()[0].message, static_cast<UINT>(CPL_STOP));
    EXPECT_EQ(host_.Log()[0].answer, 1);
    EXPECT_EQ(host_.Log()[1].message, static_cast<UINT>(CPL_EXIT));
    EXPECT_EQ(host_.Log()[1].answer, 0);
    EXPECT_TRUE(ui::IconPicture(icon).Empty());
}

}  // namespace
}  // namespace mqhxcpl::testing
