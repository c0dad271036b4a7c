#include <map>
#include <mutex>

#include "ui/view_object.h"
#include "uilang/runtime_error.h"

namespace ui {
namespace {

constexpr std::int32_t kErrCannotCreateObject = 429;

struct ClassTable {
    std::mutex mutex;
    std::map<std::string, ControlFactory> byProgId;
};

ClassTable& Classes() {
    static ClassTable table;
    return table;
}

}  // namespace

void RegisterControlClass(const std::string& progId, ControlFactory factory) {
    ClassTable& table = Classes();
    std::lock_guard lock(table.mutex);
    table.byProgId[progId] = std::move(factory);
}

void UnregisterControlClass(const std::string& progId) {
    ClassTable& table = Classes();
    std::lock_guard lock(table.mutex);
    table.byProgId.erase(progId);
}

std::shared_ptr<ViewObject> CreateControl(const std::string& progId) {
    ControlFactory factory;
    {
        ClassTable& table = Classes();
        std::lock_guard lock(table.mutex);
        auto it = table.byProgId.find(progId);
        if (it != table.byProgId.end())
            factory = it->second;
    }
    if (!factory)
        throw uilang::RuntimeError(kErrCannotCreateObject, progId,
                                   "ActiveX component can't create object");
    return factory();
}

}  // namespace ui
