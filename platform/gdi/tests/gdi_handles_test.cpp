// Handles of the drawing interface: tokens of one kind each, refused when deleted or foreign, and
// objects that cannot be deleted while a context selects them.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "gdi_test_support.h"

namespace gdi::testing {
namespace {

using Handles = RecordedDc;

// Every call that takes a context, each answering whether it succeeded.
const std::pair<const char*, std::function<bool(HDC)>> kContextCalls[] = {
    {"SaveDC", [](HDC dc) { return SaveDC(dc) != 0; }},
    {"RestoreDC", [](HDC dc) { return RestoreDC(dc, -1) != FALSE; }},
    {"SetMapMode", [](HDC dc) { return SetMapMode(dc, MM_ANISOTROPIC) != 0; }},
    {"SetViewportOrgEx", [](HDC dc) { return SetViewportOrgEx(dc, 1, 1, nullptr) != FALSE; }},
    {"SetWindowExtEx", [](HDC dc) { return SetWindowExtEx(dc, 1, 1, nullptr) != FALSE; }},
    {"LPtoDP",
     [](HDC dc) {
         POINT point{};
         return LPtoDP(dc, &point, 1) != FALSE;
     }},
    {"SelectObject", [](HDC dc) { return SelectObject(dc, GetStockObject(NULL_PEN)) != nullptr; }},
    {"MoveToEx", [](HDC dc) { return MoveToEx(dc, 1, 1, nullptr) != FALSE; }},
    {"LineTo", [](HDC dc) { return LineTo(dc, 1, 1) != FALSE; }},
    {"Polyline",
     [](HDC dc) {
         const POINT points[] = {{0, 0}, {1, 1}};
         return Polyline(dc, points, 2) != FALSE;
     }},
    {"Rectangle", [](HDC dc) { return Rectangle(dc, 0, 0, 4, 4) != FALSE; }},
    {"SetTextColor", [](HDC dc) { return SetTextColor(dc, 0) != CLR_INVALID; }},
    {"SetBkMode", [](HDC dc) { return SetBkMode(dc, TRANSPARENT) != 0; }},
    {"GetTextMetricsA",
     [](HDC dc) {
         TEXTMETRICA metrics{};
         return GetTextMetricsA(dc, &metrics) != FALSE;
     }},
    {"DrawTextA",
     [](HDC dc) {
         RECT rect{0, 0, 100, 20};
         return DrawTextA(dc, "x", -1, &rect, DT_NOCLIP) != 0;
     }},
    {"DeleteDC", [](HDC dc) { return DeleteDC(dc) != FALSE; }},
};

TEST_F(Handles, ADeletedContextIsRefusedByEveryCall) {
    ui::RecordingSurface other(kSurfaceWidth, kSurfaceHeight);
    HDC gone = CreateSurfaceDC(other);
    ASSERT_NE(gone, nullptr);
    for (const auto& [name, call] : kContextCalls) {
        SCOPED_TRACE(name);
        if (std::string(name) != "DeleteDC") {
            EXPECT_TRUE(call(gone));  // the call works on a live context
        }
    }
    ASSERT_TRUE(DeleteDC(gone));
    HDC later = CreateSurfaceDC(other);  // a new context does not bring the old token back
    EXPECT_NE(later, gone);
    const std::size_t recorded = other.Calls().size();
    for (const auto& [name, call] : kContextCalls) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(call(gone));
    }
    EXPECT_EQ(other.Calls().size(), recorded);  // nothing drawn through the dead context
    EXPECT_TRUE(DeleteDC(later));
}

TEST_F(Handles, AHandleOfAnotherKindOrNoneIsRefused) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    ASSERT_NE(pen, nullptr);
    int notAnObject = 0;
    const HDC foreign[] = {reinterpret_cast<HDC>(pen), nullptr,
                           reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x1234)),
                           reinterpret_cast<HDC>(&notAnObject)};
    for (HDC dc : foreign) {
        SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(dc));
        EXPECT_EQ(SaveDC(dc), 0);
        EXPECT_FALSE(LineTo(dc, 1, 1));
        EXPECT_FALSE(DeleteDC(dc));
    }
    EXPECT_EQ(SelectObject(dc_, reinterpret_cast<HGDIOBJ>(dc_)), nullptr);  // a context
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(dc_)));
    EXPECT_EQ(CreatePen(PS_INSIDEFRAME + 1, 1, 0), nullptr);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(pen));  // already deleted
    EXPECT_EQ(SelectObject(dc_, pen), nullptr);
}

TEST_F(Handles, SelectedObjectsCannotBeDeletedAndStockObjectsStay) {
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(0, 0, 255));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    HGDIOBJ oldPen = SelectObject(dc_, pen);
    EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc_, brush);
    EXPECT_EQ(oldBrush, GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(DeleteObject(pen));
    EXPECT_FALSE(DeleteObject(brush));

    EXPECT_EQ(SelectObject(dc_, oldBrush), brush);
    EXPECT_TRUE(DeleteObject(brush));  // no longer selected

    // A saved state that selects the pen keeps it from deletion too.
    ASSERT_EQ(SaveDC(dc_), 1);
    EXPECT_EQ(SelectObject(dc_, oldPen), pen);
    EXPECT_FALSE(DeleteObject(pen));
    ASSERT_TRUE(RestoreDC(dc_, 1));
    EXPECT_EQ(SelectObject(dc_, oldPen), pen);  // the saved pen is back
    EXPECT_TRUE(DeleteObject(pen));

    EXPECT_TRUE(DeleteObject(GetStockObject(NULL_PEN)));  // succeeds and does nothing
    EXPECT_NE(SelectObject(dc_, GetStockObject(NULL_PEN)), nullptr);
    EXPECT_EQ(GetStockObject(BLACK_PEN), GetStockObject(BLACK_PEN));
    constexpr int kNoSuchStockObject = 99;
    EXPECT_EQ(GetStockObject(kNoSuchStockObject), nullptr);
}

TEST_F(Handles, ContextsOnSeveralThreadsDrawEachOnItsOwnSurface) {
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<ui::RecordingSurface> surfaces;
    for (int t = 0; t < kThreads; ++t)
        surfaces.emplace_back(kSurfaceWidth, kSurfaceHeight);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &surfaces] {
            HDC dc = CreateSurfaceDC(surfaces[static_cast<std::size_t>(t)]);
            for (int i = 0; i < kLines; ++i) {
                HPEN pen = CreatePen(PS_SOLID, 1, RGB(t, i % 256, 0));
                HGDIOBJ old = SelectObject(dc, pen);
                MoveToEx(dc, 0, t, nullptr);
                LineTo(dc, i, t);
                SelectObject(dc, old);
                DeleteObject(pen);
            }
            DeleteDC(dc);
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        std::size_t lines = 0;
        for (const auto& call : surfaces[static_cast<std::size_t>(t)].Calls()) {
            if (call.kind == ui::DrawCall::Kind::Line) {
                ++lines;
                EXPECT_EQ(call.points[0].y, t);
            }
        }
        EXPECT_EQ(lines, static_cast<std::size_t>(kLines)) << t;
    }
}

}  // namespace
}  // namespace gdi::testing
