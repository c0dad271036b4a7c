// The control's About box (dialog 100), shown modally on the container's forms runtime.
#pragma once

namespace mqacq32 {

// Shows the box and returns once the user closes it; false when the process has no forms
// runtime to show it on.
bool ShowAboutBox();

}  // namespace mqacq32
