// The object namespace of the I/O manager: devices, symbolic links, device stacks.
#include <cstdlib>

#include "host/built_at_load.h"
#include "io/device_interfaces.h"
#include "io/io_manager.h"
#include "kernel/rules.h"
#include "kernel/testing.h"

namespace kernel::io {

IoManager& IoManager::Instance() {
    static IoManager manager;
    return manager;
}
[[maybe_unused]] const bool kBuiltAtLoad = ::kernel::host::BuildAtLoad(&IoManager::Instance);

namespace {
// Object names fold ASCII letters only, whatever the host's locale, as registry names do.
WCHAR Upper(WCHAR c) {
    return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - u'a' + u'A') : c;
}
}  // namespace

std::u16string CanonicalName(std::u16string_view name) {
    static const std::u16string_view kAliases[] = {u"\\DosDevices\\", u"\\GLOBAL??\\"};
    for (auto alias : kAliases) {
        if (name.size() >= alias.size()) {
            bool same = true;
            for (std::size_t i = 0; i < alias.size() && same; ++i)
                same = Upper(name[i]) == Upper(alias[i]);
            if (same)
                return u"\\??\\" + std::u16string(name.substr(alias.size()));
        }
    }
    return std::u16string(name);
}

std::u16string NameKey(std::u16string_view name) {
    std::u16string key = CanonicalName(name);
    for (auto& c : key)
        c = Upper(c);
    return key;
}

std::u16string ToWide(const UNICODE_STRING* name) {
    if (name == nullptr || name->Buffer == nullptr)
        return {};
    return std::u16string(name->Buffer, name->Length / sizeof(WCHAR));
}

namespace {
// True when key starts with prefix at a component boundary.
bool IsComponentPrefix(const std::u16string& key, const std::u16string& prefix) {
    if (prefix.empty() || key.size() < prefix.size())
        return false;
    if (key.compare(0, prefix.size(), prefix) != 0)
        return false;
    return key.size() == prefix.size() || key[prefix.size()] == u'\\' || prefix.back() == u'\\';
}
}  // namespace

PDEVICE_OBJECT IoManager::Resolve(std::u16string_view path, std::u16string* remainder) {
    const std::u16string canonical = CanonicalName(path);
    const std::u16string key = NameKey(path);
    std::size_t best = 0;
    PDEVICE_OBJECT found = nullptr;
    for (const auto& [name, device] : devices) {
        if (name.size() > best && IsComponentPrefix(key, name)) {
            best = name.size();
            found = device;
        }
    }
    for (const auto& [name, target] : links) {
        if (name.size() > best && IsComponentPrefix(key, name)) {
            auto it = devices.find(NameKey(target));
            if (it == devices.end())
                continue;  // a dangling link names nothing
            best = name.size();
            found = it->second;
        }
    }
    if (found != nullptr && remainder != nullptr)
        *remainder = canonical.substr(best);
    return found;
}

void IoManager::ReleaseDevice(PDEVICE_OBJECT device) {
    auto* record = static_cast<DeviceRecord*>(device->IoManagerPrivate);
    if (--record->references == 0) {
        --liveDevices;
        FreeDeviceObject(device);
    }
}

void FreeDeviceObject(PDEVICE_OBJECT device) {
    delete static_cast<DeviceRecord*>(device->IoManagerPrivate);
    std::free(device);
}

void IoManager::DeferClose(std::function<void()> send) {
    host::Guard guard(workerLock_);
    deferred_.push_back(std::move(send));
    if (!worker_.Running())
        worker_ = host::Thread([this] { WorkerLoop(); });
    workerChanged_.NotifyAll();
}

void IoManager::WorkerLoop() {
    host::Guard guard(workerLock_);
    for (;;) {
        while (deferred_.empty() && !stopping_)
            workerChanged_.Wait(guard);
        if (deferred_.empty())
            return;
        auto work = std::move(deferred_.front());
        deferred_.pop_front();
        ++running_;
        guard.unlock();
        work();
        guard.lock();
        --running_;
        workerChanged_.NotifyAll();
    }
}

bool IoManager::DrainDeferred(int timeoutMs) {
    host::Guard guard(workerLock_);
    auto deadline = host::Now() + std::chrono::milliseconds(timeoutMs);
    while (!deferred_.empty() || running_ > 0) {
        if (!workerChanged_.WaitUntil(guard, deadline) && (!deferred_.empty() || running_ > 0))
            return false;
    }
    return true;
}

IoManager::~IoManager() {
    {
        host::Guard guard(workerLock_);
        stopping_ = true;
        workerChanged_.NotifyAll();
    }
    worker_.Join();
}

}  // namespace kernel::io

using kernel::io::DeviceRecord;
using kernel::io::IoManager;

NTSTATUS IoCreateDevice(PDRIVER_OBJECT driver, ULONG extensionSize, PUNICODE_STRING name,
                        DEVICE_TYPE type, ULONG characteristics, BOOLEAN exclusive,
                        PDEVICE_OBJECT* device) {
    *device = nullptr;
    IoManager& io = IoManager::Instance();
    std::u16string key;
    if (name != nullptr && name->Length > 0) {
        key = kernel::io::NameKey(kernel::io::ToWide(name));
        if (key.empty() || key[0] != u'\\')
            return STATUS_OBJECT_NAME_INVALID;
    }
    constexpr std::size_t kExtensionOffset = (sizeof(DEVICE_OBJECT) + 15) & ~std::size_t{15};
    auto* object = static_cast<PDEVICE_OBJECT>(std::calloc(1, kExtensionOffset + extensionSize));
    if (object == nullptr)
        return STATUS_INSUFFICIENT_RESOURCES;
    object->Type = 3;
    object->Size = static_cast<USHORT>(sizeof(DEVICE_OBJECT) + extensionSize);
    object->ReferenceCount = 0;
    object->DriverObject = driver;
    object->Flags = DO_DEVICE_INITIALIZING | (exclusive ? DO_EXCLUSIVE : 0);
    object->Characteristics = characteristics;
    object->DeviceExtension =
        extensionSize > 0 ? reinterpret_cast<char*>(object) + kExtensionOffset : nullptr;
    object->DeviceType = type;
    object->StackSize = 1;
    InitializeListHead(&object->DeviceQueue.DeviceListHead);
    auto* record = new DeviceRecord{key, 1, false};
    object->IoManagerPrivate = record;

    kernel::host::Guard guard(io.lock);
    if (!key.empty()) {
        if (io.devices.count(key) != 0 || io.links.count(key) != 0) {
            guard.unlock();
            kernel::io::FreeDeviceObject(object);
            return STATUS_OBJECT_NAME_COLLISION;
        }
        io.devices[key] = object;
    }
    object->NextDevice = driver->DeviceObject;
    driver->DeviceObject = object;
    ++io.liveDevices;
    *device = object;
    return STATUS_SUCCESS;
}

void IoDeleteDevice(PDEVICE_OBJECT device) {
    kernel::io::ForgetPhysicalDevice(device);
    IoManager& io = IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    auto* record = static_cast<DeviceRecord*>(device->IoManagerPrivate);
    if (record == nullptr || record->deleted) {
        kernel::ReportRuleViolation("IoDeleteDevice of a device already deleted");
        return;
    }
    record->deleted = true;
    if (!record->key.empty())
        io.devices.erase(record->key);
    for (PDEVICE_OBJECT* link = &device->DriverObject->DeviceObject; *link != nullptr;
         link = &(*link)->NextDevice) {
        if (*link == device) {
            *link = device->NextDevice;
            break;
        }
    }
    device->NextDevice = nullptr;
    io.ReleaseDevice(device);
}

NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING linkName, PUNICODE_STRING deviceName) {
    IoManager& io = IoManager::Instance();
    const std::u16string key = kernel::io::NameKey(kernel::io::ToWide(linkName));
    if (key.empty() || key[0] != u'\\')
        return STATUS_OBJECT_NAME_INVALID;
    kernel::host::Guard guard(io.lock);
    if (io.links.count(key) != 0 || io.devices.count(key) != 0)
        return STATUS_OBJECT_NAME_COLLISION;
    io.links[key] = kernel::io::ToWide(deviceName);
    return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING linkName) {
    IoManager& io = IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    return io.links.erase(kernel::io::NameKey(kernel::io::ToWide(linkName))) != 0
               ? STATUS_SUCCESS
               : STATUS_OBJECT_NAME_NOT_FOUND;
}

PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT device) {
    IoManager& io = IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    while (device->AttachedDevice != nullptr)
        device = device->AttachedDevice;
    return device;
}

PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT device) {
    return IoGetAttachedDevice(device);
}

void ObDereferenceObject(PVOID) {}

PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT source, PDEVICE_OBJECT target) {
    IoManager& io = IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    PDEVICE_OBJECT top = target;
    while (top->AttachedDevice != nullptr)
        top = top->AttachedDevice;
    top->AttachedDevice = source;
    source->StackSize = static_cast<CCHAR>(top->StackSize + 1);
    source->AlignmentRequirement = top->AlignmentRequirement;
    return top;
}

void IoDetachDevice(PDEVICE_OBJECT target) {
    IoManager& io = IoManager::Instance();
    kernel::host::Guard guard(io.lock);
    target->AttachedDevice = nullptr;
}

PKDEVICE_QUEUE_ENTRY KeRemoveDeviceQueue(PKDEVICE_QUEUE) {
    return nullptr;
}

namespace kernel::testing {
std::size_t LiveDevices() {
    io::IoManager& io = io::IoManager::Instance();
    host::Guard guard(io.lock);
    return io.liveDevices;
}
bool DrainDeferredCloses(int timeoutMs) {
    return io::IoManager::Instance().DrainDeferred(timeoutMs);
}
}  // namespace kernel::testing
