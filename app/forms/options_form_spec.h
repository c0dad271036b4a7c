// The options dialog's description.
#pragma once

#include "ui/spec.h"

namespace larkspur {

ui::FormSpec OptionsFormSpec();
// Where the selected page sits, and where the others are kept out of sight (twips).
int OptionsPageLeftShown();
int OptionsPageLeftHidden();

}  // namespace larkspur
