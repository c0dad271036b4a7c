// The plot control: what DrawBuffer copies, the encodings, interleaved traces, appended values,
// AutoRedraw, and a known buffer's picture checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hxmem32.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "ui/surface.h"
#include "uilang/runtime_error.h"

namespace mqplot32 {
namespace {

template <class T>
HBUF MakeBuffer(const std::vector<T>& samples, std::uint32_t bits = 0) {
    HBUF buffer = 0;
    EXPECT_EQ(
        hxDmCallocBuffer(0, 0, static_cast<std::uint32_t>(samples.size()), sizeof(T), &buffer), 0u);
    EXPECT_EQ(hxDmCopyToBuffer(buffer, samples.data(), static_cast<std::uint32_t>(samples.size())),
              0u);
    if (bits != 0) {
        EXPECT_EQ(hxDmSetDataBits(buffer, bits), 0u);
    }
    return buffer;
}

// The polylines of a recorded drawing, in trace order.
std::vector<std::vector<ui::Point>> Traces(PlotControl& plot, int width, int height) {
    ui::RecordingSurface surface(width, height);
    plot.Draw(surface);
    std::vector<std::vector<ui::Point>> traces;
    ui::Colour pen = 0;
    for (const ui::DrawCall& call : surface.Calls()) {
        if (call.kind == ui::DrawCall::Kind::SetPen)
            pen = call.colour;
        if (call.kind == ui::DrawCall::Kind::Polyline && pen != kGridColour)
            traces.push_back(call.points);
    }
    return traces;
}

bool Freed(HBUF buffer) {
    std::uint32_t bytes = 0;
    return hxDmGetBufferSize(buffer, &bytes) == HXINVALIDHBUF;
}

class PlotControlTest : public ::testing::Test {
  protected:
    PlotControl plot_;
};

TEST_F(PlotControlTest, ABufferFreedRightAfterTheAssignmentStillDraws) {
    std::vector<std::uint16_t> codes = {0, 1000, 2000, 3000};
    HBUF buffer = MakeBuffer(codes);
    plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
    ASSERT_EQ(hxDmFreeBuffer(buffer), 0u);
    EXPECT_TRUE(Freed(buffer));
    EXPECT_EQ(plot_.DrawBuffer(), static_cast<std::int32_t>(buffer));
    EXPECT_EQ(plot_.Take().samples, (std::vector<double>{0, 1000, 2000, 3000}));
    plot_.SetXSpan(4);
    plot_.SetYMinimum(0);
    plot_.SetYMaximum(3000);
    auto traces = Traces(plot_, 200, 100);
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0].size(), 4u);  // one point a column
    plot_.SetDrawBuffer(0);           // clears
    EXPECT_TRUE(plot_.Take().samples.empty());
    EXPECT_TRUE(Traces(plot_, 200, 100).empty());
}

TEST_F(PlotControlTest, ABadHandleIsRaisedWithTheBufferManagersStatusAndText) {
    HBUF buffer = MakeBuffer(std::vector<std::uint16_t>{1, 2});
    hxDmFreeBuffer(buffer);
    try {
        plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
        FAIL() << "a freed handle was drawn";
    } catch (const uilang::RuntimeError& error) {
        EXPECT_EQ(error.Number(), static_cast<std::int32_t>(0x80040000u + HXINVALIDHBUF));
        EXPECT_EQ(error.Source(), "MQPlot32");
        EXPECT_FALSE(error.Description().empty());
    }
    EXPECT_EQ(plot_.DrawBuffer(), 0);
}

TEST_F(PlotControlTest, EachEncodingDecodesTheCopiedSamples) {
    struct Case {
        std::int16_t encoding;
        std::uint32_t bits;
        std::vector<std::uint16_t> words;
        std::vector<double> values;
    };
    const Case cases[] = {
        {kEncodingOffsetBinary, 0, {0, 0x8000, 0xFFFF}, {0, 32768, 65535}},
        {kEncodingOffsetBinary, 12, {0xF123, 0x0FFF}, {0x123, 0xFFF}},  // masked to the data bits
        {kEncodingTwosComplement, 16, {0xFFFF, 0x8000, 0x7FFF}, {-1, -32768, 32767}},
    };
    for (const Case& c : cases) {
        plot_.SetDataEncoding(c.encoding);
        HBUF buffer = MakeBuffer(c.words, c.bits);
        plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
        hxDmFreeBuffer(buffer);
        EXPECT_EQ(plot_.Take().samples, c.values) << "encoding " << c.encoding;
        EXPECT_EQ(plot_.Take().bufferEncoding, c.encoding);
    }
    plot_.SetDataEncoding(kEncodingSingles);
    HBUF floats = MakeBuffer(std::vector<float>{-1.5f, 60.25f});
    plot_.SetDrawBuffer(static_cast<std::int32_t>(floats));
    EXPECT_EQ(plot_.Take().samples, (std::vector<double>{-1.5, 60.25}));
    plot_.SetDataEncoding(kEncodingTwosComplement);
    HBUF longs = MakeBuffer(std::vector<std::int32_t>{-100000, 7});
    plot_.SetDrawBuffer(static_cast<std::int32_t>(longs));
    EXPECT_EQ(plot_.Take().samples, (std::vector<double>{-100000, 7}));
    EXPECT_EQ(plot_.Take().dataWidth, 4);
}

TEST_F(PlotControlTest, WithoutValidSamplesTheWholeBufferIsCopied) {
    HBUF buffer = 0;
    ASSERT_EQ(hxDmCallocBuffer(0, 0, 6, 2, &buffer), 0u);
    plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
    EXPECT_EQ(plot_.Take().samples.size(), 6u);
}

TEST_F(PlotControlTest, InterleavedSamplesMakeOneTracePerChannel) {
    // Channel 0 at 0, channel 1 at 100, five points each.
    std::vector<std::uint16_t> codes;
    for (int i = 0; i < 5; ++i) {
        codes.push_back(0);
        codes.push_back(100);
    }
    plot_.SetTraceCount(2);
    plot_.SetTraceColor(0, ui::kRed);
    plot_.SetTraceColor(1, ui::kBlue);
    plot_.SetXSpan(5);
    plot_.SetYMinimum(0);
    plot_.SetYMaximum(100);
    HBUF buffer = MakeBuffer(codes);
    plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
    auto traces = Traces(plot_, kPlotLeft + 100 + kPlotRight, 120);
    ASSERT_EQ(traces.size(), 2u);
    int bottom = traces[0].front().y;
    int top = traces[1].front().y;
    EXPECT_GT(bottom, top);
    for (const ui::Point& p : traces[0])
        EXPECT_EQ(p.y, bottom);
    for (const ui::Point& p : traces[1])
        EXPECT_EQ(p.y, top);
    // Five points across the whole width: the first at the left edge, the last at the right.
    EXPECT_EQ(traces[1].front().x, kPlotLeft);
    EXPECT_EQ(traces[1].back().x, kPlotLeft + 100 - 1);
}

TEST_F(PlotControlTest, AutoRedrawFalseKeepsThePictureUntilItIsTrueAgain) {
    int repaints = 0;
    plot_.invalidate = [&] { ++repaints; };
    plot_.SetAutoRedraw(false);
    int before = repaints;
    plot_.SetYMaximum(4095);
    HBUF buffer = MakeBuffer(std::vector<std::uint16_t>{7, 8});
    plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
    EXPECT_EQ(repaints, before);
    EXPECT_TRUE(plot_.Shown().samples.empty());
    EXPECT_EQ(plot_.Take().samples.size(), 2u);
    plot_.SetAutoRedraw(true);
    EXPECT_EQ(repaints, before + 1);
    EXPECT_EQ(plot_.Shown().samples, (std::vector<double>{7, 8}));
    EXPECT_EQ(plot_.Shown().yMaximum, 4095.0f);
}

TEST_F(PlotControlTest, AppendedValuesGoToTheLastColouredTraceOrToEachInTurn) {
    plot_.SetDataEncoding(kEncodingAppendedValues);
    plot_.SetTraceCount(3);
    plot_.SetHistoryLength(3);
    plot_.SetTraceColor(1, ui::kBlue);
    for (float v : {1.0f, 2.0f, 3.0f, 4.0f})
        plot_.AppendValue(v);
    auto histories = plot_.Take().histories;
    EXPECT_TRUE(histories[0].empty());
    EXPECT_EQ(histories[1], (std::vector<float>{2, 3, 4}));  // the oldest dropped first

    plot_.SetMember39(true);
    plot_.SetTraceColor(0, ui::kRed);  // the turn starts at trace 0
    for (float v : {10.0f, 20.0f, 30.0f, 11.0f})
        plot_.AppendValue(v);
    histories = plot_.Take().histories;
    EXPECT_EQ(histories[0], (std::vector<float>{10, 11}));
    EXPECT_EQ(histories[1], (std::vector<float>{3, 4, 20}));
    EXPECT_EQ(histories[2], (std::vector<float>{30}));
    EXPECT_FLOAT_EQ(plot_.AppendValueLast(), 11.0f);
    plot_.SetHistoryLength(1);
    EXPECT_EQ(plot_.Take().histories[1], (std::vector<float>{20}));

    // Member 33 true starts afresh: no trace keeps a point, and the turn is back at trace 0.
    plot_.SetHistoryLength(3);
    plot_.SetMember33(true);
    for (const auto& history : plot_.Take().histories)
        EXPECT_TRUE(history.empty());
    plot_.AppendValue(5.0f);
    EXPECT_EQ(plot_.Take().histories[0], (std::vector<float>{5}));
}

TEST_F(PlotControlTest, MembersHoldTheirValues) {
    plot_.SetXStart(100000);  // beyond 16 bits
    EXPECT_EQ(plot_.XStart(), 100000);
    plot_.SetMember2(true);
    plot_.SetMember33(true);
    EXPECT_TRUE(plot_.Member2());
    EXPECT_TRUE(plot_.Member33());
    EXPECT_THROW(plot_.SetTraceCount(0), uilang::RuntimeError);
    EXPECT_THROW(plot_.SetHistoryLength(0), uilang::RuntimeError);
    EXPECT_THROW(plot_.SetTraceColor(-1, 0), uilang::RuntimeError);
    bool clicked = false;
    plot_.onClickEvent = [&] { clicked = true; };
    plot_.OnClick();
    EXPECT_TRUE(clicked);
}

// A known buffer drawn into a picture: the trace's colour lies exactly where its samples put it.
TEST_F(PlotControlTest, AKnownBuffersPictureMatchesPixelByPixel) {
    // A plot area of 100 by 60 pixels: x from L, y 4..63.
    constexpr int L = kPlotLeft;
    constexpr int kWidth = L + 100 + kPlotRight;
    constexpr int kHeight = kPlotTop + 60 + kPlotBottom;
    std::vector<std::uint16_t> codes(100, 50);  // half scale, one point a pixel column
    for (std::size_t i = 50; i < codes.size(); ++i)
        codes[i] = 100;  // full scale from point 50 on
    plot_.SetXSpan(100);
    plot_.SetYMinimum(0);
    plot_.SetYMaximum(100);
    plot_.SetXGridStep(0);
    plot_.SetYGridStep(0);
    plot_.SetXLabelStep(0);
    plot_.SetYLabelStep(0);
    plot_.SetTraceColor(0, ui::kRed);
    HBUF buffer = MakeBuffer(codes);
    plot_.SetDrawBuffer(static_cast<std::int32_t>(buffer));
    hxDmFreeBuffer(buffer);

    ui::Picture picture(kWidth, kHeight, ui::kWhite);
    plot_.Draw(*picture.Paint());
    picture.SavePng(std::string(MQ_TEST_PICTURES) + "/plot_known_buffer.png");
    // Half scale is y = 4 + round(0.5 * 59) = 34 (the half rounds up), full scale y = 4. The
    // step from point 49 (x L + 49) to point 50 (x L + 50) runs between the two columns.
    int stepPixels = 0;
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            bool level =
                (y == 34 && x >= L && x <= L + 49) || (y == 4 && x >= L + 50 && x <= L + 99);
            bool step = (x == L + 49 || x == L + 50) && y >= 4 && y <= 34;
            ui::Colour pixel = picture.Pixel(x, y);
            if (level) {
                EXPECT_EQ(pixel, ui::kRed) << x << "," << y;
            } else if (step) {
                stepPixels += pixel == ui::kRed;
                EXPECT_TRUE(pixel == ui::kRed || pixel == kBackground) << x << "," << y;
            } else {
                EXPECT_EQ(pixel, kBackground) << x << "," << y;
            }
        }
    }
    EXPECT_GE(stepPixels, 29);  // the rise is drawn without a gap
}

}  // namespace
}  // namespace mqplot32
