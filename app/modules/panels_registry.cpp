// The panels this program has.
#include "forms/scope_form.h"
#include "modules/panels.h"

namespace larkspur {

void RegisterPanels() {
    RegisterPanel("Scope", [] {
        auto scope = Scope();
        scope->Show();
    });
}

}  // namespace larkspur
