// The first steps of a user, scripted: open the oscilloscope from the main window's menu, choose
// the first board and start it in continuous mode.
#pragma once

#include <memory>

#include "forms/main_form.h"
#include "forms/scope_form.h"
#include "ui/testing.h"

namespace larkspur {

// The running scope panel, or nullptr (with the reason on stderr) when a step failed.
std::shared_ptr<ScopeForm> StartScopeOnFirstBoard(ui::testing::ScriptedUser& user, MainForm& main);

// True once the panel's plot has drawn a buffer.
bool ScopeHasDrawn(ScopeForm& scope);

}  // namespace larkspur
