// Hosting controls of the component-model stand-in on forms: the form is their container. It
// makes the control by its class registered in the machine's registry, gives it a client site
// whose ambient user mode is run mode, advises an event sink that calls the form's handler by
// event DISPID (with by-reference arguments read and written back), and binds late by DISPID;
// a failed call is raised with the automation error's number, source and description.
#pragma once

#include <string>

#include "uilang/automation.h"

namespace ui {

// True when this build has the component-model stand-in.
bool ComHostingAvailable();
// Makes the ProgID a hosted-control class of the forms runtime, created through the component
// runtime.
void RegisterComControlClass(const std::string& progId);
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
