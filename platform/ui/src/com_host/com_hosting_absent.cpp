// A build without the component-model stand-in hosts no such control.
#include "ui/com_hosting.h"
#include "uilang/runtime_error.h"

namespace ui {
namespace {

constexpr std::int32_t kErrCannotCreateObject = 429;

[[noreturn]] void CannotCreate(const std::string& progId) {
    throw uilang::RuntimeError(kErrCannotCreateObject, progId,
                               "ActiveX component can't create object");
}

}  // namespace

bool ComHostingAvailable() {
    return false;
}

void RegisterComControlClass(const std::string&) {}

ControlFactory ComControlFactory(const std::string& progId, UserMode) {
    return [progId]() -> std::shared_ptr<ViewObject> { CannotCreate(progId); };
}

bool RegisterServerModule(const std::string&) {
    return false;
}

bool UnregisterServerModule(const std::string&) {
    return false;
}

uilang::Object CreateObject(const std::string& progId) {
    CannotCreate(progId);
}

uilang::Object GetObject(const std::string& progId) {
    CannotCreate(progId);
}

}  // namespace ui
