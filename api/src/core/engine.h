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

// Holds a subsystem's operation lock for a scope, unless the caller is the subsystem's own copy
// thread (a notification procedure), which is served without it. A bounded hold gives up when
// the current call's deadline passes first (acquired() is then false).
class OperationLock {
  public:
    enum class Wait { Bounded, Unbounded };
    explicit OperationLock(SubsystemRecord& subsystem, Wait wait = Wait::Bounded)
        : subsystem_(subsystem),
          needed_(!subsystem.copyThread || !subsystem.copyThread->isCurrentThread()) {
        if (!needed_)
            return;
        if (wait == Wait::Unbounded) {
            subsystem_.operationLock.lock();
            held_ = true;
        } else {
            held_ = subsystem_.operationLock.lockWithin(CallDeadline::remainingMs());
        }
    }
    ~OperationLock() {
        if (held_)
            subsystem_.operationLock.unlock();
    }
    OperationLock(const OperationLock&) = delete;
    OperationLock& operator=(const OperationLock&) = delete;

    bool acquired() const { return held_ || !needed_; }

  private:
    SubsystemRecord& subsystem_;
    bool needed_;
    bool held_ = false;
};

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
