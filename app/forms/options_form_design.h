// The options dialog's description.
#pragma once

#include "ui/design.h"

namespace larkspur {

ui::FormDesign OptionsFormDesign();
// Where the selected page sits, and where the others are kept out of sight (twips).
int OptionsPageLeftShown();
int OptionsPageLeftHidden();

}  // namespace larkspur
