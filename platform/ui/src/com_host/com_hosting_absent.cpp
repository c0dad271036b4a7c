// A build without the component-model stand-in hosts no such control.
#include "ui/com_hosting.h"

namespace ui {

bool ComHostingAvailable() {
    return false;
}

void RegisterComControlClass(const std::string&) {}

bool RegisterServerModule(const std::string&) {
    return false;
}

}  // namespace ui
