#include "driver/driver_requests.h"

#include <cstring>

#include "core/capabilities.h"
#include "hxda/api_status.h"
#include "hxda/request_codes.h"

namespace hxda {

DriverRequest makeRequest() {
    DriverRequest request;
    std::memset(&request, 0, sizeof request);
    return request;
}

ApiStatus sendSubsystemRequest(SubsystemRecord& subsystem, std::uint32_t code,
                               DriverRequest& request) {
    request.subsystemType = subsystem.type;
    request.element = subsystem.element;
    std::uint32_t returned = 0;
    std::uint32_t lastError = 0;
    if (!subsystem.file || !subsystem.file->control(code, &request, sizeof request, &request,
                                                    sizeof request, &returned, &lastError))
        return ApiStatus::FromLastError(lastError);
    return ApiStatus::FromCode(request.status);
}

ApiStatus sendDeviceRequest(DeviceRecord& device, std::uint32_t code, DriverRequest& request) {
    std::uint32_t returned = 0;
    std::uint32_t lastError = 0;
    if (!device.deviceFile || !device.deviceFile->control(code, &request, sizeof request, &request,
                                                          sizeof request, &returned, &lastError))
        return HXGENERALFAILURE;
    return ApiStatus::FromCode(request.status);
}

ApiStatus sendConfiguration(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    block.subsystemType = subsystem.type;
    block.element = subsystem.element;
    const auto bytes = static_cast<std::uint32_t>(
        configurationBlockBytes(capability(subsystem.personality, HXSSC_LISTSIZE)));
    std::uint32_t returned = 0;
    std::uint32_t lastError = 0;
    if (!subsystem.file || !subsystem.file->control(IOCTL_HXDA_CONFIG, &block, bytes, &block, bytes,
                                                    &returned, &lastError))
        return HXGENERALFAILURE;
    return ApiStatus::FromCode(block.status);
}

}  // namespace hxda
