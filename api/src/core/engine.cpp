#include "core/engine.h"

#include <atomic>

#include "core/tables.h"
#include "hxda/api_status.h"
#include "ops/operations.h"
#include "settings/settings_half.h"

namespace hxda {
namespace {

std::atomic<MessageTap> messageTap{nullptr};

}  // namespace

void setMessageTap(MessageTap tap) {
    messageTap.store(tap);
}

std::shared_ptr<SubsystemRecord> findSubsystem(HDASS hDass) {
    return subsystemTable().find(hDass);
}

std::shared_ptr<DeviceRecord> findDevice(HDEV hDev) {
    return deviceTable().find(hDev);
}

ApiStatus engineCall(HDASS hDass, std::uint32_t code, MessageRecord& message) {
    const std::shared_ptr<SubsystemRecord> subsystem = findSubsystem(hDass);
    if (!subsystem)
        return HXINVALIDSSHANDLE;
    const CallDeadline deadline;
    OperationLock operation(*subsystem);
    if (!operation.acquired())
        return HXNOHWRESPONSE;  // another caller's command held the subsystem all that time
    SubsystemLock hold(*subsystem);
    if (subsystem->released)
        return HXINVALIDSSHANDLE;
    if (const MessageTap tap = messageTap.load()) {
        std::uint32_t status = HXNOERROR;
        if (tap(hDass, code, message, &status))
            return ApiStatus::FromCode(status);
    }
    if (code >= kFirstSettingsCode && code <= kLastSettingsCode)
        return settingsHalf(*subsystem, code, message);
    if (code >= kFirstOperationCode && code <= kLastOperationCode)
        return operationsHalf(*subsystem, code, message);
    return HXNOTSUPPORTED;
}

}  // namespace hxda
