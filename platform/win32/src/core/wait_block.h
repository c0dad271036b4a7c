// One blocked wait: what it waits for, and the result that ends it. A wait that cannot be
// satisfied at once registers its block with each of its objects and with its thread; whoever
// ends it (a signalled object, an APC for an alertable wait) sets the result under the wait lock
// and wakes that thread alone.
#pragma once

#include <memory>
#include <optional>
#include <span>

#include "core/object.h"
#include "simclock/condition.h"

namespace win32::detail {

struct WaitBlock {
    std::span<const std::shared_ptr<Object>> objects;
    bool waitAll = false;
    bool alertable = false;
    std::optional<DWORD> result;  // set once, under the wait lock
    simclock::ConditionVariable wake;
};

// Ends a blocked wait with result and wakes its thread; under the wait lock. False when the wait
// had ended already.
bool EndWait(WaitBlock& block, DWORD result);

}  // namespace win32::detail
