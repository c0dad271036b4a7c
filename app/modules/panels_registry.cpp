// The panels this program has.
#include "forms/chart_form.h"
#include "forms/digital_in_form.h"
#include "forms/digital_out_form.h"
#include "forms/freq_form.h"
#include "forms/pulse_form.h"
#include "forms/scope_form.h"
#include "forms/single_in_form.h"
#include "forms/single_out_form.h"
#include "forms/spectrum_form.h"
#include "forms/wave_form.h"
#include "modules/panels.h"

namespace larkspur {

void RegisterPanels() {
    RegisterPanel("Scope", [] {
        auto scope = Scope();
        scope->Show();
    });
    RegisterPanel("FFT", [] { Spectrum()->Show(); });
    RegisterPanel("SAin", [] { SingleIn()->Show(); });
    RegisterPanel("SAout", [] { SingleOut()->Show(); });
    RegisterPanel("Din", [] { DigitalIn()->Show(); });
    RegisterPanel("Dout", [] { DigitalOut()->Show(); });
    RegisterPanel("Wave", [] { Wave()->Show(); });
    RegisterPanel("Pulse", [] { Pulse()->Show(); });
    RegisterPanel("Measure", [] { Freq()->Show(); });
    RegisterPanel("Chart", [] { Chart()->Show(); });
}

}  // namespace larkspur
