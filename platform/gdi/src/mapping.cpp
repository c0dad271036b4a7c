// Mapping modes, origins and extents, and the conversions between logical and device points.
#include "mapping.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace gdi::detail {

namespace {

LONG Clamp(std::int64_t value) {
    constexpr std::int64_t kMin = std::numeric_limits<LONG>::min();
    constexpr std::int64_t kMax = std::numeric_limits<LONG>::max();
    return static_cast<LONG>(value < kMin ? kMin : value > kMax ? kMax : value);
}

// The scale of one axis: viewport extent over window extent (1 over 1 in MM_TEXT).
struct Axis {
    LONG viewport;
    LONG window;
};

Axis XAxis(const DcState& state) {
    return state.mapMode == MM_TEXT ? Axis{1, 1} : Axis{state.viewportExt.cx, state.windowExt.cx};
}

Axis YAxis(const DcState& state) {
    return state.mapMode == MM_TEXT ? Axis{1, 1} : Axis{state.viewportExt.cy, state.windowExt.cy};
}

}  // namespace

LONG MulDivRound(LONG a, LONG b, LONG c) {
    const std::int64_t product = static_cast<std::int64_t>(a) * b;
    const std::int64_t divisor = c;
    std::int64_t quotient = product / divisor;
    const std::int64_t remainder = product % divisor;
    if (std::llabs(remainder) * 2 >= std::llabs(divisor))
        quotient += (product < 0) == (divisor < 0) ? 1 : -1;
    return Clamp(quotient);
}

POINT ToDevice(const DcState& state, POINT logical) {
    const Axis x = XAxis(state);
    const Axis y = YAxis(state);
    return {Clamp(static_cast<std::int64_t>(state.viewportOrg.x) +
                  MulDivRound(Clamp(static_cast<std::int64_t>(logical.x) - state.windowOrg.x),
                              x.viewport, x.window)),
            Clamp(static_cast<std::int64_t>(state.viewportOrg.y) +
                  MulDivRound(Clamp(static_cast<std::int64_t>(logical.y) - state.windowOrg.y),
                              y.viewport, y.window))};
}

POINT ToLogical(const DcState& state, POINT device) {
    const Axis x = XAxis(state);
    const Axis y = YAxis(state);
    return {Clamp(static_cast<std::int64_t>(state.windowOrg.x) +
                  MulDivRound(Clamp(static_cast<std::int64_t>(device.x) - state.viewportOrg.x),
                              x.window, x.viewport)),
            Clamp(static_cast<std::int64_t>(state.windowOrg.y) +
                  MulDivRound(Clamp(static_cast<std::int64_t>(device.y) - state.viewportOrg.y),
                              y.window, y.viewport))};
}

int DeviceWidth(const DcState& state, int logicalWidth) {
    const Axis x = XAxis(state);
    return std::abs(MulDivRound(logicalWidth, x.viewport, x.window));
}

int LogicalWidth(const DcState& state, int deviceWidth) {
    const Axis x = XAxis(state);
    return std::abs(MulDivRound(deviceWidth, x.window, x.viewport));
}

int LogicalHeight(const DcState& state, int deviceHeight) {
    const Axis y = YAxis(state);
    return std::abs(MulDivRound(deviceHeight, y.window, y.viewport));
}

}  // namespace gdi::detail

using namespace gdi::detail;

namespace {

// Runs `change` on the context's state under the table's lock; FALSE for a bad handle.
template <class Change>
BOOL WithState(HDC hdc, Change&& change) {
    auto lock = Lock();
    Dc* dc = FindDc(hdc);
    if (!dc)
        return FALSE;
    return change(dc->state) ? TRUE : FALSE;
}

template <class T>
void Report(T* previous, const T& value) {
    if (previous)
        *previous = value;
}

BOOL SetOrigin(HDC hdc, POINT DcState::*origin, int x, int y, LPPOINT previous) {
    return WithState(hdc, [&](DcState& state) {
        Report(previous, state.*origin);
        state.*origin = {x, y};
        return true;
    });
}

BOOL SetExtent(HDC hdc, SIZE DcState::*extent, int x, int y, LPSIZE previous) {
    return WithState(hdc, [&](DcState& state) {
        Report(previous, state.*extent);
        if (state.mapMode == MM_TEXT)
            return true;  // ignored
        if (x == 0 || y == 0)
            return false;
        state.*extent = {x, y};
        return true;
    });
}

template <class T>
BOOL GetValue(HDC hdc, T DcState::*member, T* out) {
    if (!out)
        return FALSE;
    return WithState(hdc, [&](DcState& state) {
        *out = state.*member;
        return true;
    });
}

template <class Convert>
BOOL ConvertPoints(HDC hdc, LPPOINT points, int count, Convert convert) {
    if (count < 0 || (count > 0 && !points))
        return FALSE;
    return WithState(hdc, [&](DcState& state) {
        for (int i = 0; i < count; ++i)
            points[i] = convert(state, points[i]);
        return true;
    });
}

}  // namespace

int WINAPI SetMapMode(HDC hdc, int iMode) {
    if (iMode != MM_TEXT && iMode != MM_ANISOTROPIC)
        return 0;
    int previous = 0;
    WithState(hdc, [&](DcState& state) {
        previous = state.mapMode;
        state.mapMode = iMode;
        if (iMode == MM_TEXT)
            state.viewportExt = state.windowExt = {1, 1};
        return true;
    });
    return previous;
}

int WINAPI GetMapMode(HDC hdc) {
    int mode = 0;
    WithState(hdc, [&](DcState& state) {
        mode = state.mapMode;
        return true;
    });
    return mode;
}

BOOL WINAPI SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT lppt) {
    return SetOrigin(hdc, &DcState::viewportOrg, x, y, lppt);
}

BOOL WINAPI SetWindowOrgEx(HDC hdc, int x, int y, LPPOINT lppt) {
    return SetOrigin(hdc, &DcState::windowOrg, x, y, lppt);
}

BOOL WINAPI SetViewportExtEx(HDC hdc, int x, int y, LPSIZE lpsz) {
    return SetExtent(hdc, &DcState::viewportExt, x, y, lpsz);
}

BOOL WINAPI SetWindowExtEx(HDC hdc, int x, int y, LPSIZE lpsz) {
    return SetExtent(hdc, &DcState::windowExt, x, y, lpsz);
}

BOOL WINAPI GetViewportOrgEx(HDC hdc, LPPOINT lppt) {
    return GetValue(hdc, &DcState::viewportOrg, lppt);
}

BOOL WINAPI GetWindowOrgEx(HDC hdc, LPPOINT lppt) {
    return GetValue(hdc, &DcState::windowOrg, lppt);
}

BOOL WINAPI GetViewportExtEx(HDC hdc, LPSIZE lpsz) {
    return GetValue(hdc, &DcState::viewportExt, lpsz);
}

BOOL WINAPI GetWindowExtEx(HDC hdc, LPSIZE lpsz) {
    return GetValue(hdc, &DcState::windowExt, lpsz);
}

BOOL WINAPI LPtoDP(HDC hdc, LPPOINT lppt, int c) {
    return ConvertPoints(hdc, lppt, c, ToDevice);
}

BOOL WINAPI DPtoLP(HDC hdc, LPPOINT lppt, int c) {
    return ConvertPoints(hdc, lppt, c, ToLogical);
}
