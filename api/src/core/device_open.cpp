#include "core/device_open.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "core/engine.h"
#include "core/lifetime.h"
#include "core/tuning_values.h"
#include "discovery/board_enumeration.h"
#include "driver/file_channel.h"
#include "hxda/api_status.h"
#include "win32/module.h"

namespace hxda {
namespace {

// Board names longer than this cannot be looked up.
constexpr std::size_t kMaxBoardNameLength = 51;

using BoardInfoEntry = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, LPCSTR* modelName,
                                     const std::uint32_t** counts);
using PersonalityEntry = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, UINT subsystemType,
                                       UINT element, PersonalityRecord* record);

// The extension library of one open attempt; unloaded unless the device keeps it.
class ExtensionBinding {
  public:
    explicit ExtensionBinding(const std::string& driverName)
        : module_(LoadLibraryA((driverName + ".dll").c_str())) {}
    ~ExtensionBinding() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    ExtensionBinding(const ExtensionBinding&) = delete;
    ExtensionBinding& operator=(const ExtensionBinding&) = delete;

    HMODULE module() const { return module_; }
    HMODULE release() { return std::exchange(module_, nullptr); }

  private:
    HMODULE module_;
};

template <std::size_t N>
void copyText(char (&target)[N], const std::string& value) {
    std::snprintf(target, N, "%s", value.c_str());
}

}  // namespace

ApiStatus openDevice(const char* boardName, HDEV* hDev) {
    const DiscoveryPath path = discoveryPath();
    if (path == DiscoveryPath::Unsupported || std::strlen(boardName) > kMaxBoardNameLength)
        return HXDRIVERINITFAILED;
    std::string driverName;
    BoardLocation location;
    if (!findDriverName(path, boardName, &driverName) ||
        !findBoardLocation(path, boardName, &location))
        return HXDRIVERINITFAILED;
    ExtensionBinding extension(driverName);
    if (extension.module() == nullptr)
        return HXDRIVERINITFAILED;

    auto device = std::make_shared<DeviceRecord>();
    copyText(device->driverName, driverName);
    copyText(device->boardName, boardName);
    copyText(device->devicePath, location.devicePath);
    device->boardType = location.boardType;
    device->personalityEntry =
        reinterpret_cast<void*>(GetProcAddress(extension.module(), "_PersonalityProcEx@20"));
    const auto boardInfo =
        reinterpret_cast<BoardInfoEntry>(GetProcAddress(extension.module(), "_BoardInfoProcEx@16"));
    if (device->personalityEntry == nullptr || boardInfo == nullptr ||
        !boardInfo(device->boardType, device->boardName, &device->modelName,
                   &device->subsystemCounts) ||
        device->subsystemCounts == nullptr)
        return HXDRIVERINITFAILED;
    device->deviceFile = openDriverFile(device->devicePath);
    if (!device->deviceFile)
        return HXDRIVERINITFAILED;
    readTuningValues(*device);
    device->extensionModule = extension.module();
    const ApiStatus status = addDevice(device, hDev);
    if (status == HXNOERROR)
        extension.release();
    else
        device->extensionModule = nullptr;
    return status;
}

ApiStatus openSubsystem(HDEV hDev, std::uint32_t type, std::uint32_t element, HDASS* hDass) {
    const std::shared_ptr<DeviceRecord> device = findDevice(hDev);
    if (!device)
        return HXINVALIDDEVHANDLE;
    std::lock_guard guard(device->lifetime);
    if (device->closed)
        return HXINVALIDDEVHANDLE;
    if (type > HXSS_CT || device->subsystemCounts == nullptr ||
        element >= device->subsystemCounts[type])
        return HXINVALIDSUBSYS;
    SubsystemParts parts;
    parts.type = type;
    parts.element = element;
    parts.startCopyThread = true;
    parts.file = openDriverFile(subsystemFilePath(device->devicePath, type, element));
    if (!parts.file)
        return HXSUBSYSINUSE;
    // The entry's answer is not used: tables it does not set stay empty.
    reinterpret_cast<PersonalityEntry>(device->personalityEntry)(
        device->boardType, device->boardName, type, element, &parts.personality);
    return addSubsystem(device, std::move(parts), hDass);
}

void closeDevice(DeviceRecord& device) {
    device.deviceFile.reset();
    if (device.extensionModule != nullptr)
        FreeLibrary(std::exchange(device.extensionModule, nullptr));
    device.subsystemCounts = nullptr;
    device.modelName = nullptr;
}

}  // namespace hxda
