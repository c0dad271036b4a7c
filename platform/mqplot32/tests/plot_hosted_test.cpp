// The plot hosted on a form by its class: late-bound members by dispatch identifier, painting
// with the form, and its click event.
#include <gtest/gtest.h>

#include <vector>

#include "gui_fixture.h"
#include "hxmem32.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "uilang/runtime_error.h"

namespace mqplot32 {
namespace {

class PlotHostedTest : public ui::testing::GuiTest {
  protected:
    PlotHostedTest() {
        RegisterPlotClass();
        ui::FormDesign desc;
        desc.name = "frmPlot";
        desc.width = 4500;   // 300 pixels
        desc.height = 3000;  // 200 pixels
        ui::ControlDesign plot;
        plot.kind = ui::Kind::Hosted;
        plot.name = "mqPlot";
        plot.progId = std::string(kProgId);
        plot.width = 4500;
        plot.height = 3000;
        desc.controls = {plot};
        form_ = std::make_unique<ui::Form>(desc);
        form_->Show();
    }
    ~PlotHostedTest() override { form_.reset(); }

    ui::HostedControl& Plot() { return form_->Get<ui::HostedControl>("mqPlot"); }

    std::unique_ptr<ui::Form> form_;
};

TEST_F(PlotHostedTest, MembersAnswerByDispatchIdentifierWithCoercion) {
    uilang::Automation& plot = Plot().Members();
    plot.Put(dispid::YMaximum, uilang::Value{std::int32_t{4095}});
    plot.Put(dispid::XSpan, uilang::Value{std::string("1000")});
    plot.Put(dispid::TraceColor, uilang::Value{std::int32_t{0xFF0000}}, {std::int16_t{1}});
    EXPECT_EQ(plot.Get(dispid::YMaximum), uilang::Value{4095.0f});  // reads back as single
    EXPECT_EQ(plot.Get(dispid::XSpan), uilang::Value{1000.0});
    EXPECT_EQ(plot.Get(dispid::TraceColor, {std::int16_t{1}}),
              uilang::Value{std::int32_t{0xFF0000}});
    try {
        plot.Get(99);
        FAIL() << "an unknown member answered";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), uilang::kErrMemberNotFound);
    }
    for (const Member& member : kMembers) {
        uilang::Arguments index;
        if (member.indexed)
            index.push_back(std::int16_t{0});
        EXPECT_NO_THROW(plot.Get(member.id, index)) << member.name;
    }
}

TEST_F(PlotHostedTest, TheFormPaintsThePlotAndAClickFiresItsEvent) {
    uilang::Automation& plot = Plot().Members();
    std::vector<std::uint16_t> codes(100);
    for (std::size_t i = 0; i < codes.size(); ++i)
        codes[i] = static_cast<std::uint16_t>(i % 50 < 25 ? 1000 : 3000);
    HBUF buffer = 0;
    ASSERT_EQ(hxDmCallocBuffer(0, 0, 100, 2, &buffer), 0u);
    hxDmCopyToBuffer(buffer, codes.data(), 100);
    plot.Put(dispid::YMinimum, uilang::Value{0.0});
    plot.Put(dispid::YMaximum, uilang::Value{4095.0});
    plot.Put(dispid::XSpan, uilang::Value{100.0});
    plot.Put(dispid::TraceColor, uilang::Value{std::int32_t{ui::kRed}}, {std::int16_t{0}});
    plot.Put(dispid::DrawBuffer, uilang::Value{static_cast<std::int32_t>(buffer)});
    hxDmFreeBuffer(buffer);
    ui::Picture picture = form_->Image();
    EXPECT_TRUE(picture.SavePng(PicturePath("plot_hosted")));
    int red = 0;
    for (int x = 0; x < picture.Width(); ++x)
        for (int y = 0; y < picture.Height(); ++y)
            red += picture.Pixel(x, y) == ui::kRed;
    EXPECT_GT(red, 200);  // the square wave is on the form

    std::vector<std::int32_t> events;
    Plot().onEvent = [&](std::int32_t id, uilang::Arguments&) { events.push_back(id); };
    EXPECT_TRUE(user_.Click(Plot()));
    EXPECT_EQ(events, std::vector<std::int32_t>{kClickEvent});
    try {
        plot.Put(dispid::DrawBuffer, uilang::Value{static_cast<std::int32_t>(buffer)});
        FAIL() << "a freed buffer was drawn";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80040000u + HXINVALIDHBUF));
    }
}

}  // namespace
}  // namespace mqplot32
