// Windows: cosine sums over the first `count` values.
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

#include "buffers.h"
#include "hxdsp32.h"

namespace {

using Terms = std::array<double, 4>;

// a0, a1, a2, a3 of each window code.
constexpr std::array<Terms, 6> kTerms = {{
    {1.0, 0.0, 0.0, 0.0},
    {0.5, 0.5, 0.0, 0.0},
    {0.54, 0.46, 0.0, 0.0},
    {0.42, 0.5, 0.08, 0.0},
    {0.42323, 0.49755, 0.07922, 0.0},
    {0.35875, 0.48829, 0.14128, 0.01168},
}};

std::vector<double> Coefficients(const Terms& a, std::uint32_t count, std::uint32_t form) {
    const std::uint32_t denominator = form == HXDSP_FORM_SYMMETRIC ? count - 1 : count;
    // A symmetric window of one value has no period: it is that value, 1.
    if (denominator == 0)
        return std::vector<double>(count, 1.0);
    std::vector<double> w(count);
    for (std::uint32_t n = 0; n < count; ++n) {
        const double x = 2 * std::numbers::pi * n / denominator;
        w[n] = a[0] - a[1] * std::cos(x) + a[2] * std::cos(2 * x) - a[3] * std::cos(3 * x);
    }
    return w;
}

void Scale(std::vector<double>& w, std::uint32_t scaling) {
    double divisor = 1.0;
    if (scaling == HXDSP_SCALE_AMPLITUDE)
        divisor = std::accumulate(w.begin(), w.end(), 0.0) / static_cast<double>(w.size());
    else if (scaling == HXDSP_SCALE_ENERGY)
        divisor = std::sqrt(std::inner_product(w.begin(), w.end(), w.begin(), 0.0) /
                            static_cast<double>(w.size()));
    if (divisor > 0)
        for (double& value : w)
            value /= divisor;
}

std::uint32_t WindowValues(HBUF input, HBUF output, uint32_t count, uint32_t window,
                           uint32_t scaling, uint32_t form) {
    hxdsp32::InputView view;
    if (const std::uint32_t status = hxdsp32::ReadFloats(input, view); status != HXDSP_NOERROR)
        return status;
    if (const std::uint32_t status = hxdsp32::CheckOutput(output); status != HXDSP_NOERROR)
        return status;
    if (count == 0)
        return HXDSP_BADLENGTH;
    if (count > view.valid)
        return HXDSP_TOOFEWSAMPLES;
    if (window >= kTerms.size())
        return HXDSP_BADWINDOW;
    if (scaling > HXDSP_SCALE_AMPLITUDE || form > HXDSP_FORM_SYMMETRIC)
        return HXDSP_BADWINDOWOPTION;

    std::vector<double> w = Coefficients(kTerms[window], count, form);
    Scale(w, scaling);
    const float* in = hxdsp32::Floats(view);
    std::vector<float> out(count);
    for (std::uint32_t n = 0; n < count; ++n)
        out[n] = static_cast<float>(in[n] * w[n]);
    return hxdsp32::StoreFloats(output, out);
}

}  // namespace

extern "C" uint32_t HXDSPAPI hxDspWindow(HBUF input, HBUF output, uint32_t count, uint32_t window,
                                         uint32_t scaling, uint32_t form) {
    return hxdsp32::Guarded(
        [&] { return WindowValues(input, output, count, window, scaling, form); });
}
