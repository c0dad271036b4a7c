// The control's picture as a container shows it: in a design-mode container the bordered window
// with the white fill, the design bitmap stretched to its corners and the Caption centred over
// it, redrawn when the Caption changes; in a run-mode container nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui_fixture.h"
#include "mqacq32/mqacq32.h"
#include "sim/machine_testing.h"
#include "ui/com_hosting.h"
#include "ui/forms.h"

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kControlLeft = 40;  // pixels, on the form
constexpr int kControlTop = 30;
constexpr int kControlWidth = 200;
constexpr int kControlHeight = 100;
constexpr int kBorder = 1;
constexpr int kFormWidth = 280;
constexpr int kFormHeight = 160;

// Colours of the design bitmap (32 by 24 pixels): its frame at the edge, a white margin inside,
// the board in the middle.
constexpr int kBitmapWidth = 32;
constexpr int kBitmapHeight = 24;
constexpr ui::Colour kFrame = 0x604030;  // RGB(48, 64, 96) as 0x00BBGGRR
constexpr ui::Colour kBoard = 0xD6E8D6;  // RGB(214, 232, 214)
constexpr ui::Colour kBackground = 0x808080;

constexpr int kFontWidth = 8;  // the drawing stand-in's fixed font
constexpr int kFontHeight = 16;
constexpr int kDarkest = 150;  // text pixels: red + green + blue below this; no bitmap colour is

bool Dark(ui::Colour c) {
    constexpr unsigned kByte = 0xFF;
    return static_cast<int>((c & kByte) + ((c >> 8) & kByte) + ((c >> 16) & kByte)) < kDarkest;
}

// The client pixel whose centre falls on the bitmap's pixel (bx, by) when stretched over a
// client area of the given size.
ui::Point OverBitmapPixel(int bx, int by, int width, int height) {
    return {(2 * bx + 1) * width / (2 * kBitmapWidth), (2 * by + 1) * height / (2 * kBitmapHeight)};
}

struct TextBand {
    int dark = 0;         // dark pixels inside the caption's cell
    int darkOutside = 0;  // and outside it
};

// The dark pixels of a control picture of the given size (border included) at (left, top) of
// `picture`, inside and outside the cell of a centred caption of `length` characters.
TextBand DarkPixels(const ui::Picture& picture, int left, int top, int width, int height,
                    std::size_t length) {
    constexpr int kSlack = 2;
    const int textWidth = static_cast<int>(length) * kFontWidth;
    const int cellLeft = left + (width - textWidth) / 2 - kSlack;
    const int cellRight = left + (width + textWidth) / 2 + kSlack;
    const int cellTop = top + (height - kFontHeight) / 2 - kSlack;
    const int cellBottom = top + (height + kFontHeight) / 2 + kSlack;
    TextBand band;
    for (int y = top + kBorder; y < top + height - kBorder; ++y) {
        for (int x = left + kBorder; x < left + width - kBorder; ++x) {
            if (!Dark(picture.Pixel(x, y)))
                continue;
            const bool inside = x >= cellLeft && x < cellRight && y >= cellTop && y < cellBottom;
            ++(inside ? band.dark : band.darkOutside);
        }
    }
    return band;
}

class DesignPictureTest : public ui::testing::GuiTest {
  protected:
    DesignPictureTest() : registered_(ui::RegisterServerModule(mqacq32::kModuleName)) {}
    ~DesignPictureTest() override {
        form_.reset();
        ui::UnregisterServerModule(mqacq32::kModuleName);
    }

    void ShowForm(ui::UserMode mode) {
        ui::FormDesign desc;
        desc.name = "frmDesign";
        desc.width = kFormWidth * kTwipsPerPixel;
        desc.height = kFormHeight * kTwipsPerPixel;
        ui::ControlDesign acq;
        acq.kind = ui::Kind::Hosted;
        acq.name = "mqAcq";
        acq.left = kControlLeft * kTwipsPerPixel;
        acq.top = kControlTop * kTwipsPerPixel;
        acq.width = kControlWidth * kTwipsPerPixel;
        acq.height = kControlHeight * kTwipsPerPixel;
        acq.create = ui::ComControlFactory(mqacq32::kProgId, mode);
        desc.controls = {acq};
        form_ = std::make_unique<ui::Form>(desc);
        form_->Show();
    }

    uilang::Automation& Acq() { return form_->Get<ui::HostedControl>("mqAcq").Members(); }
    ui::ViewObject& View() { return *form_->Get<ui::HostedControl>("mqAcq").Object(); }

    sim::testing::ScopedSimulatedMachine simMachine_{{"MQ5120 4 1"}};
    bool registered_;
    std::unique_ptr<ui::Form> form_;
};

TEST_F(DesignPictureTest, TheDesignModeFormShowsTheBorderedPictureWithTheCaption) {
    ASSERT_TRUE(registered_);
    ShowForm(ui::UserMode::Design);
    const ui::Picture picture = form_->Image();
    EXPECT_TRUE(picture.SavePng(PicturePath("control_design_picture")));
    const int right = kControlLeft + kControlWidth - 1;
    const int bottom = kControlTop + kControlHeight - 1;
    for (ui::Point edge : {ui::Point{kControlLeft, kControlTop}, ui::Point{right, bottom},
                           ui::Point{kControlLeft + kControlWidth / 2, kControlTop},
                           ui::Point{kControlLeft, kControlTop + kControlHeight / 2},
                           ui::Point{right, kControlTop + kControlHeight / 2},
                           ui::Point{kControlLeft + kControlWidth / 2, bottom}})
        EXPECT_EQ(picture.Pixel(edge.x, edge.y), ui::kBlack) << edge.x << "," << edge.y;
    // The bitmap's frame reaches every corner inside the border; its white margin and its board
    // lie where the stretch puts them.
    const int clientLeft = kControlLeft + kBorder;
    const int clientTop = kControlTop + kBorder;
    const int clientWidth = kControlWidth - 2 * kBorder;
    const int clientHeight = kControlHeight - 2 * kBorder;
    struct Expected {
        int bx, by;
        ui::Colour colour;
    };
    const Expected expected[] = {
        {0, 0, kFrame},
        {kBitmapWidth - 1, 0, kFrame},
        {0, kBitmapHeight - 1, kFrame},
        {kBitmapWidth - 1, kBitmapHeight - 1, kFrame},
        {1, 1, ui::kWhite},
        {kBitmapWidth - 2, kBitmapHeight - 2, ui::kWhite},
        {2, kBitmapHeight / 2, ui::kWhite},
        {kBitmapWidth / 2, 3, kBoard},
    };
    for (const Expected& e : expected) {
        const ui::Point at = OverBitmapPixel(e.bx, e.by, clientWidth, clientHeight);
        EXPECT_EQ(picture.Pixel(clientLeft + at.x, clientTop + at.y), e.colour)
            << "bitmap pixel " << e.bx << "," << e.by;
    }
    EXPECT_EQ(picture.Pixel(kControlLeft - 1, kControlTop - 1), picture.Pixel(0, 0))
        << "drawn outside the control's rectangle";
    const TextBand text = DarkPixels(picture, kControlLeft, kControlTop, kControlWidth,
                                     kControlHeight, std::string("MQAcq32").size());
    EXPECT_GT(text.dark, kFontHeight) << "no caption in the middle";
    EXPECT_EQ(text.darkOutside, 0);
}

TEST_F(DesignPictureTest, ACaptionPutAtDesignTimeRepaintsWithTheNewText) {
    ASSERT_TRUE(registered_);
    ShowForm(ui::UserMode::Design);
    int invalidated = 0;
    auto hostInvalidate = View().invalidate;
    View().invalidate = [&] {
        ++invalidated;
        hostInvalidate();
    };
    const ui::Picture before = form_->Image();
    const std::string caption = "Scope";
    Acq().Put(mqacq32::dispid::Caption, uilang::Value{caption});
    EXPECT_EQ(invalidated, 1);
    EXPECT_EQ(Acq().Get(mqacq32::dispid::Caption), uilang::Value{caption});
    user_.Pump();
    const ui::Picture after = form_->Image();
    EXPECT_TRUE(after.SavePng(PicturePath("control_design_picture_caption")));
    const TextBand text =
        DarkPixels(after, kControlLeft, kControlTop, kControlWidth, kControlHeight, caption.size());
    EXPECT_GT(text.dark, kFontHeight);
    EXPECT_EQ(text.darkOutside, 0) << "the old caption is still there";
    int changed = 0;
    for (int y = kControlTop; y < kControlTop + kControlHeight; ++y) {
        for (int x = kControlLeft; x < kControlLeft + kControlWidth; ++x)
            changed += before.Pixel(x, y) != after.Pixel(x, y) ? 1 : 0;
    }
    EXPECT_GT(changed, kFontHeight);
}

TEST_F(DesignPictureTest, InARunModeContainerTheControlIsNotDrawnAndAsksForNoRepaint) {
    ASSERT_TRUE(registered_);
    ShowForm(ui::UserMode::Run);
    int invalidated = 0;
    View().invalidate = [&] { ++invalidated; };
    const ui::Picture picture = form_->Image();
    EXPECT_TRUE(picture.SavePng(PicturePath("control_run_mode")));
    const ui::Colour background = picture.Pixel(0, 0);
    for (int y = kControlTop; y < kControlTop + kControlHeight; ++y) {
        for (int x = kControlLeft; x < kControlLeft + kControlWidth; ++x)
            ASSERT_EQ(picture.Pixel(x, y), background) << x << "," << y;
    }
    Acq().Put(mqacq32::dispid::Caption, uilang::Value{std::string("Scope")});
    EXPECT_EQ(invalidated, 0);
    // Asked directly, the run-mode host draws nothing for it either.
    ui::Picture direct(kControlWidth, kControlHeight, kBackground);
    {
        auto surface = direct.Paint();
        ui::RecordingSurface recording(kControlWidth, kControlHeight, surface.get());
        View().Draw(recording);
        EXPECT_TRUE(recording.Calls().empty());
    }
}

}  // namespace
