// The start routine: the splash window for 2,500 ms, then the main window, which may end the
// program at once when no board is installed.
#pragma once

#include <memory>

#include "forms/main_form.h"
#include "ui/runtime.h"

namespace larkspur {

inline constexpr std::uint32_t kSplashMilliseconds = 2500;

// Registers the classes of the controls the forms host: the plot, and the acquisition control
// (its module registered in the machine's registry through its own entry point).
void RegisterControlClasses();

// Shows the splash, makes, loads and shows the main window; nullptr when the program ended in
// the main window's load step.
std::unique_ptr<MainForm> Start(ui::Runtime& runtime);

}  // namespace larkspur
