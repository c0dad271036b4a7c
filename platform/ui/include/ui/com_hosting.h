// Hosting controls of the component-model stand-in on forms: the form is their container. It
// makes the control by its class registered in the machine's registry, gives it a client site
// that answers the container's ambient user mode (run mode on the forms), advises an event sink
// that calls the form's handler by event DISPID (with by-reference arguments read and written
// back), and binds late by DISPID; a failed call is raised with the automation error's number,
// source and description.
#pragma once

#include <string>

#include "ui/view_object.h"
#include "uilang/automation.h"

namespace ui {

// The container's ambient user mode: a form runs its controls; a form designer's container holds
// them in design mode.
enum class UserMode { Run, Design };

// True when this build has the component-model stand-in.
bool ComHostingAvailable();
// Makes the ProgID a hosted-control class of the forms runtime, created through the component
// runtime.
void RegisterComControlClass(const std::string& progId);
// Makes the class's control hosted by a container in that user mode (for ControlDesign::create).
// The container paints the control through its view object whenever the form paints, inside the
// one-pixel border its window is created with, and repaints it when the control says its picture
// changed; a control invisible at run time is not painted in run mode. Raises 429 as
// CreateObject does.
ControlFactory ComControlFactory(const std::string& progId, UserMode mode);
// Registers a server module in the machine's registry through its own DllRegisterServer (the
// launcher and test fixtures do this for the controls they host). False when the module or its
// entry is missing or the registration fails.
bool RegisterServerModule(const std::string& moduleName);
// Removes the module's classes from the registry through its DllUnregisterServer.
bool UnregisterServerModule(const std::string& moduleName);

// A new object of the class registered under the ProgID, bound late by DISPID (the language's
// CreateObject). Raises 429 when the class is not registered or makes no object.
uilang::Object CreateObject(const std::string& progId);
// The instance of the class that runs already, from the running-object table (the language's
// GetObject with a class only). Raises 429 when none runs.
uilang::Object GetObject(const std::string& progId);

}  // namespace ui
