// The panels this program has.
#include "forms/freq_form.h"
#include "forms/pulse_form.h"
#include "forms/scope_form.h"
#include "forms/wave_form.h"
#include "modules/panels.h"

namespace larkspur {

void RegisterPanels() {
    RegisterPanel("Scope", [] {
        auto scope = Scope();
        scope->Show();
    });
    RegisterPanel("Wave", [] { Wave()->Show(); });
    RegisterPanel("Pulse", [] { Pulse()->Show(); });
    RegisterPanel("Measure", [] { Freq()->Show(); });
}

}  // namespace larkspur
