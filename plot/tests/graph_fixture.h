// A graph opened on a device context over a recording surface, for the library's tests.
//
// The standard graph: the rectangle (0, 0)-(572, 480) of a fresh context, x from 0 to 10 and y
// from 0 to 10, both in steps of 1 with 0 decimals. With the fixed font (8 pixels wide, lines of
// 16 + 2) that puts the axes' crossing at device (32, 438) (four characters for the y labels) and
// makes the plot 500 units wide (50 a unit of x) and 418 high (41.8 a unit of y).
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "gdi/surface_dc.h"
#include "plot32.h"
#include "win32/local_heap.h"

namespace plot32::testing {

inline constexpr int kOriginX = 32;
inline constexpr int kOriginY = 438;
inline constexpr int kPlotWidth = 500;
inline constexpr int kPlotHeight = 418;
inline constexpr COLORREF kTextColour = RGB(0, 0, 128);
inline constexpr COLORREF kTitleColour = RGB(128, 0, 0);
inline constexpr COLORREF kAxisColour = RGB(0, 128, 0);

struct GraphSettings {
    RECT rect{0, 0, 572, 480};
    int grid = 0;
    const char* title = "Title";
    const char* xLabel = "Time";
    const char* yLabel = "Volts";
    double xMin = 0;
    double xMax = 10;
    double xStep = 1;
    int xDecimals = 0;
    double yMin = 0;
    double yMax = 10;
    double yStep = 1;
    int yDecimals = 0;
};

class RecordedGraph : public ::testing::Test {
  protected:
    RecordedGraph()
        : objectsBefore_(gdi::LiveObjectCount()),
          blocksBefore_(win32::LocalBlockCount()),
          dc_(gdi::CreateSurfaceDC(surface_)) {}
    ~RecordedGraph() override {
        if (graph_ != GRAPH_ERROR) {
            EXPECT_EQ(GraphClose(graph_), 0);
        }
        EXPECT_TRUE(DeleteDC(dc_));
        EXPECT_EQ(gdi::LiveObjectCount(), objectsBefore_) << "drawing objects left undeleted";
        EXPECT_EQ(win32::LocalBlockCount(), blocksBefore_) << "graph records left unfreed";
    }

    HGRAPH Open(const GraphSettings& s = {}) {
        graph_ = GraphOpen(dc_, &s.rect, s.grid, s.title, s.xLabel, s.yLabel, kTextColour,
                           kTitleColour, kAxisColour, s.xMin, s.xMax, s.xStep, s.xDecimals, s.yMin,
                           s.yMax, s.yStep, s.yDecimals);
        return graph_;
    }

    // Closes the graph now rather than at the end.
    LONG Close() {
        const LONG result = GraphClose(graph_);
        graph_ = GRAPH_ERROR;
        return result;
    }

    std::size_t Mark() const { return surface_.Calls().size(); }

    // The calls of one kind since the mark.
    std::vector<ui::DrawCall> CallsOf(ui::DrawCall::Kind kind, std::size_t since = 0) const {
        std::vector<ui::DrawCall> calls;
        const auto& all = surface_.Calls();
        for (std::size_t i = since; i < all.size(); ++i) {
            if (all[i].kind == kind)
                calls.push_back(all[i]);
        }
        return calls;
    }

    // The numbers drawn centred since the mark (the x tick labels) and right-aligned (the y tick
    // labels), in order.
    std::vector<std::string> NumbersAligned(ui::Align align, std::size_t since = 0) const {
        std::vector<std::string> texts;
        for (const auto& call : CallsOf(ui::DrawCall::Kind::Text, since)) {
            const bool number =
                !call.text.empty() &&
                (std::isdigit(static_cast<unsigned char>(call.text[0])) || call.text[0] == '-');
            if (number && call.align == align)
                texts.push_back(call.text);
        }
        return texts;
    }
    std::vector<std::string> XTickLabels() const { return NumbersAligned(ui::Align::Centre); }
    std::vector<std::string> YTickLabels() const { return NumbersAligned(ui::Align::Right); }

    std::size_t objectsBefore_;
    std::size_t blocksBefore_;
    ui::RecordingSurface surface_{640, 480};
    HDC dc_;
    HGRAPH graph_ = GRAPH_ERROR;
};

}  // namespace plot32::testing
