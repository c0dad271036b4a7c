// The main window's menus and toolbar open the waveform generator, the pulse generator and the
// frequency counter, one instance each (the two counter panels share counter 0), and the frame's
// close unloads each through its own unload step.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "forms/main_form.h"
#include "simclock/clock.h"

namespace larkspur::testing {
namespace {

using GeneratorPanelsTest = AppTest;

TEST_F(GeneratorPanelsTest, MenuAndToolbarOpenOneInstanceOfEachAndTheFrameClosesThem) {
    std::unique_ptr<MainForm> main;
    {
        simclock::testing::ManualClock clock;  // the splash's wait
        main = Start(*runtime_);
    }
    ASSERT_NE(main, nullptr);
    const struct {
        const char* menu;
        const char* key;
        std::function<std::shared_ptr<ui::Form>()> loaded;
        const char* caption;
    } panels[] = {
        {"mnuCtlWave", "Wave", [] { return WaveIfLoaded(); }, "Wave Generator - MQ5120(00)"},
        {"mnuCtlPulse", "Pulse", [] { return PulseIfLoaded(); }, "Pulse Generator - MQ5120(00)"},
        // Both counter panels take counter 0: the pulse generator has it.
        {"mnuAcqMeasure", "Measure", [] { return FreqIfLoaded(); }, "Frequency Counter"},
    };
    std::vector<std::shared_ptr<ui::Form>> opened;
    for (const auto& panel : panels) {
        SCOPED_TRACE(panel.key);
        ASSERT_TRUE(user_.ClickMenu(*main, panel.menu));
        std::shared_ptr<ui::Form> form = panel.loaded();
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->Visible());
        ASSERT_TRUE(user_.Choose(form->Get<ui::ComboBox>("cboBoard"), kMq5120));
        ASSERT_TRUE(user_.ClickToolbarButton(*main, panel.key));
        EXPECT_EQ(panel.loaded(), form);  // brought forward, nothing reset
        EXPECT_EQ(form->Caption(), panel.caption);
        opened.push_back(form);
    }
    ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
    EXPECT_EQ(runtime_->MessageBoxes()[0].text,
              "Counter/Timer Subsystem not available on MQ5120(00)");
    main->Image().SavePng(PicturePath("generator_panels_main"));
    user_.Close(*main);
    for (const auto& form : opened)
        EXPECT_FALSE(form->Loaded()) << form->Name();
    EXPECT_EQ(LiveBuffers(), 0u);
}

}  // namespace
}  // namespace larkspur::testing
