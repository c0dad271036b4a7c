// Larkspur on a simulated machine of its own: the runtime in scripted mode, the control classes
// registered, the shared settings and every form instance fresh; buffer and window counts to
// check that nothing is left behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/chart_form.h"
#include "forms/digital_in_form.h"
#include "forms/digital_out_form.h"
#include "forms/freq_form.h"
#include "forms/options_form.h"
#include "forms/pulse_form.h"
#include "forms/scope_form.h"
#include "forms/single_in_form.h"
#include "forms/single_out_form.h"
#include "forms/spectrum_form.h"
#include "forms/wave_form.h"
#include "gui_fixture.h"
#include "hxmem32.h"
#include "modules/app_info.h"
#include "modules/hxmemdefs.h"
#include "modules/panels.h"
#include "modules/shared_settings.h"
#include "modules/startup.h"
#include "sim/machine_testing.h"
#include "win32/messages.h"

namespace larkspur::testing {

inline constexpr const char* kSineBoard = "MQ5120 4 1 AD0.0=sine:5:50 AD0.1=const:2.5";
inline constexpr const char* kMq5120 = "MQ5120(00)";

class AppTest : public ui::testing::GuiTest {
  protected:
    explicit AppTest(std::vector<std::string> boards = {kSineBoard})
        : simMachine_(std::move(boards)) {
        SetAppInfo(*runtime_);
        RegisterControlClasses();
        RegisterPanels();
        ResetShared();
        windowsBefore_ = win32::testing::LiveWindowCount();
        hxmemdefs::ObserveAllocations([this](hxmemdefs::Handle h) { allocated_.push_back(h); });
    }
    ~AppTest() override {
        for (ui::Form* form : std::vector<ui::Form*>(runtime_->LoadedForms()))
            form->TeardownWithoutEvents();
        ResetScope();
        ResetChart();
        ResetWave();
        ResetPulse();
        ResetFreq();
        ResetOptions();
        ResetSingleIn();
        ResetSingleOut();
        ResetDigitalIn();
        ResetDigitalOut();
        ResetSpectrum();
        user_.Pump();
        hxmemdefs::ObserveAllocations(nullptr);
    }

    // Buffers the program allocated that are not freed yet (by the program or the library).
    std::size_t LiveBuffers() const {
        std::size_t live = 0;
        for (hxmemdefs::Handle h : allocated_) {
            std::uint32_t bytes = 0;
            live += hxDmGetBufferSize(static_cast<HBUF>(h), &bytes) != HXINVALIDHBUF;
        }
        return live;
    }
    std::size_t NewWindows() const { return win32::testing::LiveWindowCount() - windowsBefore_; }

    sim::testing::ScopedSimulatedMachine simMachine_;
    std::vector<hxmemdefs::Handle> allocated_;
    std::size_t windowsBefore_ = 0;
};

}  // namespace larkspur::testing
