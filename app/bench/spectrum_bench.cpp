// larkspur_spectrum_bench [iterations]: the spectrum panel's processing chain for one done buffer,
// through the application's wrappers, as its BufferDone handler runs it: the 16-bit copy out of
// the acquisition buffer and into the raw work buffer, volts, the window, the real FFT and dB.
// For each length and a few windows it prints the median, 99th percentile and maximum time per
// buffer, and the buffers per second one core could analyse.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "modules/hxdadefs.h"
#include "modules/hxdspdefs.h"
#include "modules/hxmemdefs.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace larkspur;

constexpr int kDefaultIterations = 2000;
constexpr std::int32_t kAcquisitionSamples = 250000;  // half a second at the MQ5120's top clock
constexpr std::int32_t kRawSamples = 4096;
constexpr std::int32_t kFlags = 2;
constexpr std::int32_t kNarrowBytes = 2;
constexpr std::int32_t kLengths[] = {256, 512, 1024, 2048};
constexpr std::int32_t kWindows[] = {0, 3, 5};
constexpr const char* kWindowNames[] = {"Rectangle", "", "", "Blackman", "", "BH 92"};
constexpr hxdadefs::Scale kScale{16, 0, -10.0f, 10.0f};
constexpr double kMidCode = 32768;
constexpr double kAmplitudeCodes = 16000;
constexpr double kCyclesPerBuffer = 12345.5;

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(values.size() * fraction))];
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultIterations;
    std::vector<std::int16_t> sine(kAcquisitionSamples);
    for (std::int32_t n = 0; n < kAcquisitionSamples; ++n)
        sine[n] = static_cast<std::int16_t>(static_cast<std::uint16_t>(std::lround(
            kMidCode + kAmplitudeCodes * std::sin(2 * std::numbers::pi * kCyclesPerBuffer * n /
                                                  kAcquisitionSamples))));
    hxmemdefs::Handle done = hxmemdefs::AllocBuffer(kFlags, kAcquisitionSamples);
    hxmemdefs::CopyToBuffer(done, sine.data(), kAcquisitionSamples);
    hxmemdefs::Handle raw = hxmemdefs::CallocBuffer(kFlags, 0, kRawSamples, kNarrowBytes);

    std::printf("%-6s %-10s %10s %10s %10s %12s\n", "N", "window", "median us", "p99 us", "max us",
                "buffers/s");
    for (std::int32_t n : kLengths) {
        hxmemdefs::Handle spectrum = hxmemdefs::CallocBuffer(kFlags, 0, 2 * n, kNarrowBytes);
        std::vector<std::int16_t> copy(2049);
        for (std::int32_t window : kWindows) {
            std::vector<double> us;
            us.reserve(static_cast<std::size_t>(iterations));
            for (int i = 0; i < iterations; ++i) {
                const Clock::time_point began = Clock::now();
                hxmemdefs::CopyFromBuffer(done, copy.data(), n);
                hxmemdefs::CopyToBuffer(raw, copy.data(), n);
                hxdspdefs::InputToVolts(kScale, raw, spectrum);
                hxdspdefs::Window(spectrum, spectrum, n, window, 2, 0);
                hxdspdefs::RealFFT(spectrum, spectrum, 0, static_cast<std::int16_t>(n));
                hxdspdefs::MagToDB(spectrum, spectrum);
                us.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - began).count());
            }
            const double median = Percentile(us, 0.5);
            std::printf("%-6d %-10s %10.1f %10.1f %10.1f %12.0f\n", n, kWindowNames[window], median,
                        Percentile(us, 0.99), *std::max_element(us.begin(), us.end()),
                        1e6 / median);
        }
        hxmemdefs::FreeBuffer(spectrum);
    }
    hxmemdefs::FreeBuffer(raw);
    hxmemdefs::FreeBuffer(done);
    return 0;
}
