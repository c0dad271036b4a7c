// Painting the plot: the background, grid lines and labels at their steps, and one polyline per
// trace over the points of the window.
#include <algorithm>
#include <cmath>

#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "uilang/conversions.h"

namespace mqplot32 {
namespace {

constexpr int kLeftMargin = kPlotLeft;
constexpr int kLabelHeight = 12;
constexpr int kMaxLines = 200;         // grid lines or labels per axis, whatever the step
constexpr double kMinGridSpacing = 3;  // pixels between grid lines; denser steps draw none
constexpr ui::Colour kDefaultTrace = 0x00FF00;

struct Window {
    ui::Rect area;
    double xStart;
    double xSpan;
    double yMinimum;
    double yMaximum;

    int X(double point) const {
        double span = std::max(1.0, xSpan - 1);
        return area.left +
               static_cast<int>(std::lround((point - xStart) * (area.width - 1) / span));
    }
    double PixelsPerPoint() const { return (area.width - 1) / std::max(1.0, xSpan - 1); }
    double PixelsPerUnit() const {
        double range = std::fabs(yMaximum - yMinimum);
        return range != 0 ? (area.height - 1) / range : 0;
    }
    int Y(double value) const {
        double range = yMaximum - yMinimum;
        double fraction = range != 0 ? (yMaximum - value) / range : 0.5;
        fraction = std::clamp(fraction, 0.0, 1.0);
        return area.top + static_cast<int>(std::lround(fraction * (area.height - 1)));
    }
};

// The multiples of step from `from` up to `to`, at most kMaxLines of them.
template <class F>
void ForEachStep(double from, double to, double step, F&& f) {
    step = std::fabs(step);
    if (step == 0 || !std::isfinite(step))
        return;
    for (int k = 0; k < kMaxLines; ++k) {
        double at = from + k * step;
        if (at > to + step * 1e-9)
            break;
        f(at);
    }
}

// A step whose lines would lie closer than `spacing` pixels is not drawn.
double Usable(double step, double pixelsPerUnit, double spacing) {
    return std::fabs(step) * pixelsPerUnit >= spacing ? step : 0;
}

void DrawGrid(ui::Surface& surface, const Window& w, float xStepGiven, float yStepGiven) {
    double xStep = Usable(xStepGiven, w.PixelsPerPoint(), kMinGridSpacing);
    double yStep = Usable(yStepGiven, w.PixelsPerUnit(), kMinGridSpacing);
    surface.SetPen(kGridColour, 1);
    ForEachStep(w.xStart, w.xStart + w.xSpan - 1, xStep, [&](double point) {
        int x = w.X(point);
        surface.Line({x, w.area.top}, {x, w.area.top + w.area.height - 1});
    });
    double low = std::min(w.yMinimum, w.yMaximum);
    double high = std::max(w.yMinimum, w.yMaximum);
    ForEachStep(low, high, yStep, [&](double value) {
        int y = w.Y(value);
        surface.Line({w.area.left, y}, {w.area.left + w.area.width - 1, y});
    });
}

void DrawLabels(ui::Surface& surface, const Window& w, float xStepGiven, float yStepGiven) {
    double xStep = Usable(xStepGiven, w.PixelsPerPoint(), kLeftMargin);
    double yStep = Usable(yStepGiven, w.PixelsPerUnit(), kLabelHeight);
    surface.SetPen(kLabelColour, 1);
    int labelTop = w.area.top + w.area.height + 1;
    ForEachStep(w.xStart, w.xStart + w.xSpan - 1, xStep, [&](double point) {
        int x = w.X(point);
        surface.Text({x - kLeftMargin / 2, labelTop, kLeftMargin, kLabelHeight},
                     uilang::CStr(static_cast<float>(point)), ui::Align::Centre);
    });
    double low = std::min(w.yMinimum, w.yMaximum);
    double high = std::max(w.yMinimum, w.yMaximum);
    ForEachStep(low, high, yStep, [&](double value) {
        int y = w.Y(value);
        surface.Text({0, y - kLabelHeight / 2, kLeftMargin - 2, kLabelHeight},
                     uilang::CStr(static_cast<float>(value)), ui::Align::Right);
    });
}

// One trace: the points of the window; where several points share a pixel column only their
// lowest and highest are kept, which draws the same line.
template <class PointValue>
void DrawTrace(ui::Surface& surface, const Window& w, long long count, PointValue&& value,
               ui::Colour colour) {
    long long first = std::max<long long>(0, static_cast<long long>(std::ceil(w.xStart)));
    long long last =
        std::min<long long>(count - 1, static_cast<long long>(std::floor(w.xStart + w.xSpan - 1)));
    if (last < first)
        return;
    std::vector<ui::Point> points;
    points.reserve(
        static_cast<std::size_t>(std::min<long long>(last - first + 1, 4 * w.area.width + 4)));
    int column = w.X(static_cast<double>(first));
    double low = value(first), high = low, lastValue = low;
    auto push = [&](ui::Point point) {
        if (points.empty() || !(points.back() == point))
            points.push_back(point);
    };
    auto flush = [&] {
        push({column, w.Y(low)});
        push({column, w.Y(high)});
        push({column, w.Y(lastValue)});
    };
    for (long long p = first + 1; p <= last; ++p) {
        double v = value(p);
        int x = w.X(static_cast<double>(p));
        if (x != column) {
            flush();
            column = x;
            low = high = v;
        } else {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        lastValue = v;
    }
    flush();
    surface.SetPen(colour, 1);
    if (points.size() == 1)
        surface.Line(points[0], points[0]);
    else
        surface.Polyline(points);
}

}  // namespace

void PlotControl::Draw(ui::Surface& surface) {
    const State& s = shown_;
    surface.FillRect({0, 0, surface.Width(), surface.Height()}, kBackground);
    Window w{{kPlotLeft, kPlotTop, std::max(2, surface.Width() - kPlotLeft - kPlotRight),
              std::max(2, surface.Height() - kPlotTop - kPlotBottom)},
             static_cast<double>(s.xStart),
             s.xSpan,
             s.yMinimum,
             s.yMaximum};
    DrawGrid(surface, w, s.xGridStep, s.yGridStep);
    DrawLabels(surface, w, s.xLabelStep, s.yLabelStep);
    int traces = std::max<int>(1, s.traceCount);
    for (int t = 0; t < traces; ++t) {
        ui::Colour colour = static_cast<std::size_t>(t) < s.traceColours.size()
                                ? s.traceColours[static_cast<std::size_t>(t)]
                                : kDefaultTrace;
        if (s.encoding == kEncodingAppendedValues) {
            if (static_cast<std::size_t>(t) >= histories_.size())
                continue;
            const auto& history = histories_[static_cast<std::size_t>(t)];
            DrawTrace(
                surface, w, static_cast<long long>(history.size()),
                [&](long long p) {
                    return static_cast<double>(history[static_cast<std::size_t>(p)]);
                },
                colour);
            continue;
        }
        long long count = (static_cast<long long>(s.count) - t + traces - 1) / traces;
        DrawTrace(
            surface, w, count,
            [&](long long p) { return SampleOf(s, static_cast<std::size_t>(p * traces + t)); },
            colour);
    }
}

}  // namespace mqplot32
