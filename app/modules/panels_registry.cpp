// The panels this program has.
#include "forms/digital_in_form.h"
#include "forms/digital_out_form.h"
#include "forms/scope_form.h"
#include "forms/single_in_form.h"
#include "forms/single_out_form.h"
#include "modules/panels.h"

namespace larkspur {

void RegisterPanels() {
    RegisterPanel("Scope", [] {
        auto scope = Scope();
        scope->Show();
    });
    RegisterPanel("SAin", [] { SingleIn()->Show(); });
    RegisterPanel("SAout", [] { SingleOut()->Show(); });
    RegisterPanel("Din", [] { DigitalIn()->Show(); });
    RegisterPanel("Dout", [] { DigitalOut()->Show(); });
}

}  // namespace larkspur
