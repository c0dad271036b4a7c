// The real FFT, computed in double precision by FFTW.
#include <fftw3.h>

#include <complex>
#include <memory>
#include <mutex>

#include "buffers.h"
#include "hxdsp32.h"

namespace {

constexpr std::uint32_t kMinLength = 2;

// FFTW's planner is not safe to call from two threads at once; executing a plan is.
std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

struct FftwFree {
    void operator()(void* memory) const { fftw_free(memory); }
};

struct PlanDestroy {
    void operator()(fftw_plan_s* plan) const {
        std::lock_guard<std::mutex> guard(PlannerLock());
        fftw_destroy_plan(plan);
    }
};

bool IsPowerOfTwo(std::uint32_t n) {
    return n != 0 && (n & (n - 1)) == 0;
}

std::uint32_t RealFft(HBUF input, HBUF output, uint32_t form, uint32_t length) {
    hxdsp32::InputView view;
    if (const std::uint32_t status = hxdsp32::ReadFloats(input, view); status != HXDSP_NOERROR)
        return status;
    if (const std::uint32_t status = hxdsp32::CheckOutput(output); status != HXDSP_NOERROR)
        return status;
    if (form != HXDSP_SPECTRUM_MAGNITUDE && form != HXDSP_SPECTRUM_PACKED)
        return HXDSP_BADSPECTRUMFORM;
    if (length < kMinLength || length > HXDSP_MAXFFTLENGTH || !IsPowerOfTwo(length))
        return HXDSP_BADLENGTH;
    if (length > view.valid)
        return HXDSP_TOOFEWSAMPLES;

    const std::uint32_t bins = length / 2 + 1;
    std::unique_ptr<double, FftwFree> time(
        static_cast<double*>(fftw_malloc(sizeof(double) * length)));
    std::unique_ptr<fftw_complex, FftwFree> frequency(
        static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * bins)));
    if (!time || !frequency)
        return HXDSP_NOMEMORY;
    std::unique_ptr<fftw_plan_s, PlanDestroy> plan;
    {
        std::lock_guard<std::mutex> guard(PlannerLock());
        plan.reset(fftw_plan_dft_r2c_1d(static_cast<int>(length), time.get(), frequency.get(),
                                        FFTW_ESTIMATE));
    }
    if (!plan)
        return HXDSP_NOMEMORY;

    const float* in = hxdsp32::Floats(view);
    for (std::uint32_t n = 0; n < length; ++n)
        time.get()[n] = in[n];
    fftw_execute(plan.get());

    const fftw_complex* x = frequency.get();
    std::vector<float> out;
    if (form == HXDSP_SPECTRUM_MAGNITUDE) {
        out.resize(length / 2);
        for (std::uint32_t k = 0; k < length / 2; ++k)
            out[k] = static_cast<float>(std::abs(std::complex<double>(x[k][0], x[k][1])));
    } else {
        out.resize(length);
        out[0] = static_cast<float>(x[0][0]);
        out[1] = static_cast<float>(x[length / 2][0]);
        for (std::uint32_t k = 1; k < length / 2; ++k) {
            out[2 * k] = static_cast<float>(x[k][0]);
            out[2 * k + 1] = static_cast<float>(x[k][1]);
        }
    }
    return hxdsp32::StoreFloats(output, out);
}

}  // namespace

extern "C" uint32_t HXDSPAPI hxDspRealFFT(HBUF input, HBUF output, uint32_t form, uint32_t length) {
    return hxdsp32::Guarded([&] { return RealFft(input, output, form, length); });
}
