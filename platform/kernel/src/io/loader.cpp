// Driver loading: builds the DRIVER_OBJECT and runs DriverEntry.
#include <dlfcn.h>

#include <chrono>
#include <string>

#include "io/io_manager.h"
#include "kernel/loader.h"
#include "kernel/rules.h"

namespace kernel::io {
PDRIVER_DISPATCH InvalidDeviceRequestRoutine();
}

namespace kernel {
namespace {

// How long an unload waits for the driver's work items before it reports them.
constexpr auto kWorkItemsBound = std::chrono::seconds(30);

// Behind DRIVER_OBJECT::DriverSection.
struct LoadedDriver {
    DRIVER_OBJECT object{};
    DRIVER_EXTENSION extension{};
    std::u16string driverName;
    std::u16string serviceName;
    std::u16string registryPath;
    UNICODE_STRING registryString{};
    void* module = nullptr;
};

UNICODE_STRING View(std::u16string& text) {
    UNICODE_STRING view;
    view.Buffer = text.data();
    view.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    view.MaximumLength = static_cast<USHORT>(view.Length + sizeof(WCHAR));
    return view;
}

NTSTATUS Start(LoadedDriver* loaded, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver) {
    DRIVER_OBJECT& object = loaded->object;
    object.Type = 4;
    object.Size = sizeof(DRIVER_OBJECT);
    object.DriverSection = loaded;
    object.DriverExtension = &loaded->extension;
    object.DriverInit = entry;
    loaded->extension.DriverObject = &object;
    loaded->driverName = u"\\Driver\\" + loaded->serviceName;
    object.DriverName = View(loaded->driverName);
    loaded->extension.ServiceKeyName = View(loaded->serviceName);
    loaded->registryString = View(loaded->registryPath);
    for (auto& routine : object.MajorFunction)
        routine = io::InvalidDeviceRequestRoutine();

    const NTSTATUS status = entry(&object, &loaded->registryString);
    if (!NT_SUCCESS(status)) {
        if (object.DeviceObject != nullptr)
            ReportRuleViolation("DriverEntry failed and left devices behind");
        return status;
    }
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    for (PDEVICE_OBJECT device = object.DeviceObject; device != nullptr;
         device = device->NextDevice)
        device->Flags &= ~static_cast<ULONG>(DO_DEVICE_INITIALIZING);
    *driver = &object;
    return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS LoadDriver(std::u16string_view name, PDRIVER_INITIALIZE entry,
                    std::u16string_view registryPath, PDRIVER_OBJECT* driver) {
    *driver = nullptr;
    auto* loaded = new LoadedDriver;
    loaded->serviceName = name;
    loaded->registryPath = registryPath;
    const NTSTATUS status = Start(loaded, entry, driver);
    if (!NT_SUCCESS(status))
        delete loaded;
    return status;
}

NTSTATUS LoadDriverModule(const std::string& path, std::u16string_view name,
                          std::u16string_view registryPath, PDRIVER_OBJECT* driver) {
    *driver = nullptr;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return STATUS_DLL_NOT_FOUND;
    auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(dlsym(module, "DriverEntry"));
    if (entry == nullptr) {
        dlclose(module);
        return STATUS_PROCEDURE_NOT_FOUND;
    }
    auto* loaded = new LoadedDriver;
    loaded->serviceName = name;
    loaded->registryPath = registryPath;
    loaded->module = module;
    const NTSTATUS status = Start(loaded, entry, driver);
    if (!NT_SUCCESS(status)) {
        delete loaded;
        dlclose(module);
    }
    return status;
}

void UnloadDriver(PDRIVER_OBJECT driver) {
    auto* loaded = static_cast<LoadedDriver*>(driver->DriverSection);
    if (driver->DriverUnload != nullptr)
        driver->DriverUnload(driver);
    if (driver->DeviceObject != nullptr) {
        ReportRuleViolation("driver unloaded with devices left", "DriverUnload must delete them");
        while (driver->DeviceObject != nullptr)
            IoDeleteDevice(driver->DeviceObject);  // (recorded)
    }
    bool routinesReturned = true;
    {
        io::IoManager& io = io::IoManager::Instance();
        host::Guard guard(io.lock);
        for (const auto& [id, file] : io.files)
            if (file->device->DriverObject == driver || file->target->DriverObject == driver)
                ReportRuleViolation("driver unloaded with files still open on its devices");
        // The image stays until every work item of the driver's devices has returned.
        const auto deadline = host::Now() + kWorkItemsBound;
        while (io.workItemsOut.count(driver) != 0) {
            if (!io.workItemsChanged.WaitUntil(guard, deadline) &&
                io.workItemsOut.count(driver) != 0) {
                ReportRuleViolation("driver unloaded while a work item of its devices runs");
                routinesReturned = false;
                break;
            }
        }
    }
    void* module = loaded->module;
    delete loaded;
    if (module != nullptr && routinesReturned)
        dlclose(module);  // (recorded otherwise) left loaded: a routine may still run in it
}

}  // namespace kernel
