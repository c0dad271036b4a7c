// The request engine: every subsystem call but a few passes through here. It validates the handle,
// holds the subsystem's lock for the whole call and hands the message to the settings half
// (kFirstSettingsCode to kLastSettingsCode) or the operations half (kFirstOperationCode to
// kLastOperationCode).
#pragma once

#include <cstdint>
#include <memory>

#include "core/message_codes.h"
#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

// Status of the message, HXINVALIDSSHANDLE for a handle that is not a live subsystem handle.
ApiStatus engineCall(HDASS hDass, std::uint32_t code, MessageRecord& message);

// Testing hook: a tap sees every message that passed the handle test, under the lock, before
// dispatch; returning true answers the message with *status instead. Null: no tap.
using MessageTap = bool (*)(HDASS hDass, std::uint32_t code, MessageRecord& message,
                            std::uint32_t* status);
void setMessageTap(MessageTap tap);

// The live records behind handles, or null.
std::shared_ptr<SubsystemRecord> findSubsystem(HDASS hDass);
std::shared_ptr<DeviceRecord> findDevice(HDEV hDev);

// Holds a subsystem's lock for a scope.
class SubsystemLock {
  public:
    explicit SubsystemLock(SubsystemRecord& subsystem) : subsystem_(subsystem) {
        EnterCriticalSection(&subsystem_.lock);
    }
    ~SubsystemLock() { LeaveCriticalSection(&subsystem_.lock); }
    SubsystemLock(const SubsystemLock&) = delete;
    SubsystemLock& operator=(const SubsystemLock&) = delete;

  private:
    SubsystemRecord& subsystem_;
};

}  // namespace hxda
