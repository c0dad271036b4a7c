#include "driver/driver_requests.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

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
    // The device's file is not closed under a request by a terminate on another thread.
    std::lock_guard guard(device.lifetime);
    if (device.closed)
        return HXINVALIDDEVHANDLE;
    std::uint32_t returned = 0;
    std::uint32_t lastError = 0;
    if (!device.deviceFile || !device.deviceFile->control(code, &request, sizeof request, &request,
                                                          sizeof request, &returned, &lastError))
        return HXGENERALFAILURE;
    return ApiStatus::FromCode(request.status);
}

// The copy thread writes the block's state word without the subsystem's lock (see
// ops/subsystem_state.h), so the driver is handed a copy in which that word was read atomically,
// and its answer comes back around the state word, which the caller sets afterwards.
ApiStatus sendConfiguration(SubsystemRecord& subsystem) {
    ConfigurationBlock& block = subsystem.block();
    block.subsystemType = subsystem.type;
    block.element = subsystem.element;
    const std::size_t bytes =
        configurationBlockBytes(capability(subsystem.personality, HXSSC_LISTSIZE));
    constexpr std::size_t kStateOffset = offsetof(ConfigurationBlock, state);
    constexpr std::size_t kAfterState = kStateOffset + sizeof block.state;
    auto* const original = reinterpret_cast<std::byte*>(&block);
    std::vector<std::uint64_t> words((bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
    auto* const copy = reinterpret_cast<std::byte*>(words.data());
    std::memcpy(copy, original, kStateOffset);
    const std::int32_t state = std::atomic_ref<std::int32_t>(block.state).load();
    std::memcpy(copy + kStateOffset, &state, sizeof state);
    std::memcpy(copy + kAfterState, original + kAfterState, bytes - kAfterState);

    std::uint32_t returned = 0;
    std::uint32_t lastError = 0;
    const auto size = static_cast<std::uint32_t>(bytes);
    if (!subsystem.file ||
        !subsystem.file->control(IOCTL_HXDA_CONFIG, copy, size, copy, size, &returned, &lastError))
        return HXGENERALFAILURE;
    std::memcpy(original, copy, kStateOffset);
    std::memcpy(original + kAfterState, copy + kAfterState, bytes - kAfterState);
    return ApiStatus::FromCode(block.status);
}

}  // namespace hxda
