#include "pen_dashes.h"

#include <cmath>
#include <cstdlib>

#include "gdi/gdi.h"

namespace gdi::detail {

namespace {

// Pixels on, off, on, off, ... of each dashed style.
constexpr int kDash[] = {18, 6};
constexpr int kDot[] = {3, 3};
constexpr int kDashDot[] = {9, 6, 3, 6};
constexpr int kDashDotDot[] = {9, 3, 3, 3, 3, 3};

std::span<const int> PatternOf(int style) {
    switch (style) {
        case PS_DASH:
            return kDash;
        case PS_DOT:
            return kDot;
        case PS_DASHDOT:
            return kDashDot;
        case PS_DASHDOTDOT:
            return kDashDotDot;
        default:
            return {};
    }
}

// The place in the pattern: which element, and how many of its pixels are left.
struct PatternPlace {
    std::size_t element = 0;
    int left = 0;
};

ui::Point PixelAlong(ui::Point from, ui::Point to, long step, long steps) {
    const auto along = [&](int a, int b) {
        return a + static_cast<int>(std::lround(static_cast<double>(b - a) * step / steps));
    };
    return {along(from.x, to.x), along(from.y, to.y)};
}

}  // namespace

bool IsDashed(int style) {
    return !PatternOf(style).empty();
}

std::vector<std::pair<ui::Point, ui::Point>> DashesAlong(std::span<const ui::Point> path,
                                                         int style) {
    const std::span<const int> pattern = PatternOf(style);
    std::vector<std::pair<ui::Point, ui::Point>> dashes;
    if (pattern.empty())
        return dashes;
    PatternPlace place{0, pattern[0]};
    for (std::size_t i = 1; i < path.size(); ++i) {
        const ui::Point from = path[i - 1];
        const ui::Point to = path[i];
        const long steps = std::max(std::labs(to.x - from.x), std::labs(to.y - from.y));
        for (long step = 0; step < steps;) {
            const long run = std::min<long>(place.left, steps - step);
            if (place.element % 2 == 0)
                dashes.emplace_back(PixelAlong(from, to, step, steps),
                                    PixelAlong(from, to, step + run - 1, steps));
            step += run;
            place.left -= static_cast<int>(run);
            if (place.left == 0) {
                place.element = (place.element + 1) % pattern.size();
                place.left = pattern[place.element];
            }
        }
    }
    return dashes;
}

}  // namespace gdi::detail
