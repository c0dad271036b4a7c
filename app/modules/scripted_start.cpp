#include "modules/scripted_start.h"

#include <cstdio>

#include "mqplot32.h"
#include "uilang/automation.h"

namespace larkspur {

std::shared_ptr<ScopeForm> StartScopeOnFirstBoard(ui::testing::ScriptedUser& user, MainForm& main) {
    if (!user.ClickMenu(main, "mnuAcqScope")) {
        std::fprintf(stderr, "larkspur: the Scope menu item did not open the panel\n");
        return nullptr;
    }
    auto scope = ScopeIfLoaded();
    if (!scope)
        return nullptr;
    auto& boards = scope->Get<ui::ComboBox>("cboBoard");
    if (!user.Choose(boards, 0)) {
        std::fprintf(stderr, "larkspur: no board to choose in the Scope panel\n");
        return nullptr;
    }
    if (!user.Click(scope->Get<ui::CommandButton>("cmdStart"))) {
        std::fprintf(stderr, "larkspur: the Scope panel could not be set up on %s\n",
                     boards.Text().c_str());
        return nullptr;
    }
    return scope;
}

bool ScopeHasDrawn(ScopeForm& scope) {
    return uilang::ToLong(scope.Plot().Get(mqplot32::dispid::DrawBuffer)) != 0;
}

}  // namespace larkspur
