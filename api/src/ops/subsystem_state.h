// The subsystem state in the configuration block is written by callers (under the subsystem's
// lock) and by the copy thread (without it): both sides reach it through these atomic accesses.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/records.h"

namespace hxda {

inline std::int32_t loadState(SubsystemRecord& subsystem) {
    return std::atomic_ref<std::int32_t>(subsystem.block().state).load();
}

inline void storeState(SubsystemRecord& subsystem, std::int32_t state) {
    std::atomic_ref<std::int32_t>(subsystem.block().state).store(state);
}

// Moves the state from `expected` to `desired`; false (and no change) when the copy thread moved
// it meanwhile, for instance by ending the transfer.
inline bool moveState(SubsystemRecord& subsystem, std::int32_t expected, std::int32_t desired) {
    return std::atomic_ref<std::int32_t>(subsystem.block().state)
        .compare_exchange_strong(expected, desired);
}

}  // namespace hxda
