// larkspur_scope_bench [seconds] [--default-machine]: the oscilloscope offscreen through the
// scripted user, as a user runs it, on a machine of its own (an MQ5120 with sines on inputs 0 and
// 1) or on the default one. Cases: the top time base (1 MHz asked for, the board's 500 kHz taken)
// with one and with two channels, and the widest frame (0.1 s per division, 10,000 points). Each
// case prints the buffers filled and drawn, frames per second, overruns and the library's own
// aborts, the UI thread's time per buffer (take, draw, requeue) as median and maximum, the delay
// from the copy thread's post to the handler, and the process's CPU time per second. Then the
// plot's own rate for the largest frame.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "forms/scope_form.h"
#include "hxmem32.h"
#include "modules/acq_members.h"
#include "modules/scripted_start.h"
#include "modules/startup.h"
#include "mqplot32.h"
#include "mqplot32/plot_control.h"
#include "ui/runtime.h"
#include "ui/testing.h"
#include "win32/messages.h"
#include "win32/timing.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kDefaultSeconds = 60;
constexpr unsigned kBufferDoneMessage = WM_USER + 103;
constexpr std::int32_t kQueueDoneEvent = 2;
constexpr int kPlotWidth = 504;  // the scope panel's plot, in pixels
constexpr int kPlotHeight = 433;
constexpr auto kPlotRun = 2s;
constexpr int kWidestFrame = 10000;

struct Case {
    const char* name;
    int timeBase;  // index of the Sec/Div list
    int channels;
};

constexpr Case kCases[] = {
    {"top time base (.00001 s/div), 1 channel", 4, 1},
    {"top time base (.00001 s/div), 2 channels", 4, 2},
    {"widest frame (.1 s/div), 1 channel", 0, 1},
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Max(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double Percentile99(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * 99 / 100)];
}

// The channel list of the panel made one or two rows long, as a user does it.
void SetChannels(ui::testing::ScriptedUser& user, larkspur::ScopeForm& scope, int channels) {
    auto& grid = scope.Get<ui::Grid>("grdScope");
    if (channels == 2 && grid.Rows() == 1) {
        user.Choose(scope.Get<ui::ComboBox>("cboChan"), "1");
        user.Click(scope.Get<ui::CommandButton>("cmdAdd"));
    } else if (channels == 1 && grid.Rows() == 2) {
        grid.SetRow(1);
        user.Click(scope.Get<ui::CommandButton>("cmdDelete"));
    }
}

struct Measures {
    int filled = 0;  // BufferDone handled
    int drawn = 0;
    int gaps = 0;  // filled buffers never drawn, by their fill stamps
    int overruns = 0;
    int selfAborts = 0;
    std::vector<double> uiMs;
    std::vector<double> postDelayMs;
    double cpuPerSecond = 0;
    double uiCpuPerSecond = 0;  // the UI thread's share
    double seconds = 0;
};

Measures RunCase(ui::Runtime& runtime, ui::testing::ScriptedUser& user, larkspur::ScopeForm& scope,
                 const Case& c, int seconds) {
    Measures m;
    SetChannels(user, scope, c.channels);
    user.Choose(scope.Get<ui::ComboBox>("cboSec"), c.timeBase);
    Clock::time_point began;
    std::uint32_t lastStamp = 0;
    scope.hooks.before = [&] {
        ++m.filled;
        began = Clock::now();
    };
    scope.hooks.after = [&](bool drawn) {
        m.uiMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - began).count());
        if (!drawn)
            return;
        ++m.drawn;
        std::uint32_t stamp = 0;
        HBUF buffer =
            static_cast<HBUF>(uilang::ToLong(scope.Plot().Get(mqplot32::dispid::DrawBuffer)));
        if (hxDmGetBufferStamp(buffer, &stamp) == 0) {
            if (lastStamp != 0 && stamp > lastStamp + 1)
                m.gaps += static_cast<int>(stamp - lastStamp - 1);
            lastStamp = stamp;
        }
    };
    runtime.onServe = [&](std::uint32_t message, std::uint32_t posted) {
        if (message == kBufferDoneMessage)
            m.postDelayMs.push_back(static_cast<double>(GetTickCount() - posted));
    };
    auto& acq = scope.Get<ui::HostedControl>("mqAcqScope");
    auto forward = acq.onEvent;
    acq.onEvent = [&, forward](std::int32_t event, uilang::Arguments& arguments) {
        if (event == kQueueDoneEvent)
            ++m.selfAborts;
        forward(event, arguments);
    };
    std::size_t boxesBefore = runtime.MessageBoxes().size();

    double cpuBefore = CpuSeconds();
    double uiCpuBefore = ThreadCpuSeconds();
    auto start = Clock::now();
    user.Click(scope.Get<ui::CommandButton>("cmdStart"));
    user.PumpUntil([] { return false; }, std::chrono::seconds(seconds));
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.cpuPerSecond = (CpuSeconds() - cpuBefore) / m.seconds;
    m.uiCpuPerSecond = (ThreadCpuSeconds() - uiCpuBefore) / m.seconds;
    // The stop routine holds the thread for a second: what it delays is not measured.
    scope.hooks = {};
    runtime.onServe = nullptr;
    if (scope.Get<ui::CommandButton>("cmdStop").Enabled())
        user.Click(scope.Get<ui::CommandButton>("cmdStop"));

    for (std::size_t i = boxesBefore; i < runtime.MessageBoxes().size(); ++i)
        m.overruns += runtime.MessageBoxes()[i].text == larkspur::kOverrunText;
    acq.onEvent = forward;
    return m;
}

void Print(const Case& c, const Measures& m, double frequency) {
    std::printf("%s, %.0f Hz\n", c.name, frequency);
    std::printf("  buffers done %d, drawn %d, filled but never drawn %d; %.2f frames/s\n", m.filled,
                m.drawn, m.gaps, m.drawn / m.seconds);
    std::printf("  overruns %d, library's own aborts %d\n", m.overruns, m.selfAborts);
    std::printf("  UI time per buffer: median %.3f ms, max %.3f ms\n", Median(m.uiMs), Max(m.uiMs));
    std::printf("  post to handler: median %.0f ms, 99th percentile %.0f ms (1 ms ticks)\n",
                Median(m.postDelayMs), Percentile99(m.postDelayMs));
    std::printf("  process CPU: %.1f%% of one core, of which the UI thread %.1f%%\n",
                100 * m.cpuPerSecond, 100 * m.uiCpuPerSecond);
}

void PlotRate() {
    std::vector<std::uint16_t> codes(kWidestFrame);
    for (int i = 0; i < kWidestFrame; ++i)
        codes[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(32768 + 16000 * ((i / 100) % 2 ? 1 : -1));
    HBUF buffer = 0;
    hxDmCallocBuffer(0, 0, kWidestFrame, 2, &buffer);
    hxDmCopyToBuffer(buffer, codes.data(), kWidestFrame);
    mqplot32::PlotControl plot;
    plot.SetYMinimum(0);
    plot.SetYMaximum(65535);
    plot.SetXSpan(kWidestFrame);
    plot.SetXGridStep(kWidestFrame / 10);
    plot.SetXLabelStep(kWidestFrame / 10);
    plot.SetYGridStep(6553.5f);
    plot.SetYLabelStep(6553.5f);
    ui::Picture picture(kPlotWidth, kPlotHeight);
    int frames = 0;
    auto start = Clock::now();
    while (Clock::now() - start < kPlotRun) {
        plot.SetDrawBuffer(static_cast<std::int32_t>(buffer));
        plot.Draw(*picture.Paint());
        ++frames;
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("plot alone, %d points into %dx%d pixels (copy and draw): %.0f frames/s\n",
                kWidestFrame, kPlotWidth, kPlotHeight, frames / seconds);
    hxDmFreeBuffer(buffer);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = kDefaultSeconds;
    bool defaultMachine = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--default-machine") == 0)
            defaultMachine = true;
        else
            seconds = std::max(1, std::atoi(argv[i]));
    }
    std::filesystem::path own;
    if (!defaultMachine) {
        own =
            std::filesystem::temp_directory_path() / ("larkspur-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(own);
        std::ofstream(own / "boards.txt") << "MQ5120 4 1 AD0.0=sine:5:50 AD0.1=sine:2:120\n";
        setenv("MQ_MACHINE", own.c_str(), 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int status = 0;
    {
        ui::Runtime runtime(argc, argv);
        ui::testing::ScriptedUser user(runtime);
        auto main = larkspur::Start(runtime);
        auto scope = main ? larkspur::StartScopeOnFirstBoard(user, *main) : nullptr;
        if (!scope) {
            std::fprintf(stderr, "larkspur_scope_bench: the scope could not be started\n");
            status = 1;
        } else {
            user.Click(scope->Get<ui::CommandButton>("cmdStop"));
            std::printf("larkspur_scope_bench: %d s per case, %s\n", seconds,
                        defaultMachine ? "default machine" : "a machine of its own");
            for (const Case& c : kCases) {
                Measures m = RunCase(runtime, user, *scope, c, seconds);
                Print(c, m, uilang::ToDouble(scope->Acq().Get(larkspur::acq::dispid::Frequency)));
            }
            PlotRate();
            user.Close(*main);
        }
    }
    if (!own.empty())
        std::filesystem::remove_all(own);
    return status;
}
