// Builds a form's controls from their descriptions. Private to the forms runtime.
#pragma once

#include <memory>
#include <vector>

#include "ui/forms.h"

namespace ui {

// Containers must come before the controls inside them.
std::vector<std::unique_ptr<Control>> BuildControls(Form& form,
                                                    const std::vector<ControlDesign>& descs);

}  // namespace ui
