// The acquisition control's About box, shown modally on the container's forms runtime.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "modules/acq_members.h"

namespace larkspur::testing {
namespace {

constexpr std::int32_t kAboutBox = -552;  // the stock AboutBox method

using ControlAboutTest = AppTest;

TEST_F(ControlAboutTest, TheStockAboutBoxIsAModalDialogOfTheControl) {
    ui::FormDesign desc;
    desc.name = "frmHost";
    ui::ControlDesign acq;
    acq.kind = ui::Kind::Hosted;
    acq.name = "mqAcq";
    acq.progId = acq::kProgId;
    acq.visible = false;
    desc.controls = {acq};
    ui::Form host(desc);
    host.Show();
    bool answered = false;
    user_.AnswerModal([&](ui::Form& box) {
        answered = true;
        EXPECT_EQ(box.Caption(), "About MQAcq32");
        EXPECT_EQ(box.Get<ui::Label>("lblName").Caption(), "MQAcq32 ActiveX Control, Version 2.6");
        EXPECT_TRUE(box.Visible());
        box.Image().SavePng(PicturePath("control_about_box"));
        user_.Click(box.Get<ui::CommandButton>("cmdOK"));
    });
    host.Get<ui::HostedControl>("mqAcq").Members().Call(kAboutBox, {});
    EXPECT_TRUE(answered);
    EXPECT_TRUE(runtime_->MessageBoxes().empty());
}

}  // namespace
}  // namespace larkspur::testing
