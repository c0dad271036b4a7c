// The panels this program has.
#include "modules/panels.h"

namespace larkspur {

void RegisterPanels() {}

}  // namespace larkspur
