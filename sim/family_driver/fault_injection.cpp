// Faults a test raises in a running transfer of a board, found by its physical device.
#include "board_device.h"
#include "sim/family_driver.h"

namespace sim {

bool InjectFault(PDEVICE_OBJECT physicalDevice, std::uint32_t type, std::uint32_t element,
                 InjectedFault fault) {
    if (physicalDevice == nullptr || physicalDevice->AttachedDevice == nullptr)
        return false;
    BoardDevice* device = BoardOf(physicalDevice->AttachedDevice);
    if (device == nullptr)
        return false;
    std::shared_ptr<SubsystemStream> stream;
    {
        std::lock_guard lock(device->mutex);
        auto slot = device->slots.find({type, element});
        if (slot == device->slots.end())
            return false;
        stream = slot->second.stream;
    }
    if (!stream)
        return false;
    return stream->Inject(fault == InjectedFault::kOverrun ? StreamFault::kOverrun
                                                           : StreamFault::kTrigger);
}

}  // namespace sim
