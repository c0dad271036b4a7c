// A device context over a recording surface, and leak accounting, for the drawing stand-in's tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "gdi/surface_dc.h"

namespace gdi::testing {

inline constexpr int kSurfaceWidth = 640;
inline constexpr int kSurfaceHeight = 480;

class RecordedDc : public ::testing::Test {
  protected:
    RecordedDc() : objectsBefore_(LiveObjectCount()), dc_(CreateSurfaceDC(surface_)) {}
    ~RecordedDc() override {
        if (dc_) {
            EXPECT_TRUE(DeleteDC(dc_));
        }
        EXPECT_EQ(LiveObjectCount(), objectsBefore_) << "drawing objects left undeleted";
    }

    // The calls of one kind, in order.
    std::vector<ui::DrawCall> CallsOf(ui::DrawCall::Kind kind) const {
        std::vector<ui::DrawCall> calls;
        for (const auto& call : surface_.Calls()) {
            if (call.kind == kind)
                calls.push_back(call);
        }
        return calls;
    }

    // Sets the anisotropic mapping of a plot: origin at the device point, y upward, 1:1.
    void MapYUpward(POINT origin) {
        ASSERT_NE(SetMapMode(dc_, MM_ANISOTROPIC), 0);
        ASSERT_TRUE(SetViewportOrgEx(dc_, origin.x, origin.y, nullptr));
        ASSERT_TRUE(SetViewportExtEx(dc_, 1, -1, nullptr));
        ASSERT_TRUE(SetWindowExtEx(dc_, 1, 1, nullptr));
    }

    std::size_t objectsBefore_;
    ui::RecordingSurface surface_{kSurfaceWidth, kSurfaceHeight};
    HDC dc_;
};

}  // namespace gdi::testing
