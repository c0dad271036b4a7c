// Small helpers of the exported functions: fill a message record, call the engine, take the
// result. A getter writes its output only on success (and never through a null pointer).
#pragma once

#include <cstdint>

#include "core/engine.h"
#include "core/message_layouts.h"
#include "hxda/api_status.h"

namespace hxda {

inline ApiStatus sendWord(HDASS hDass, std::uint32_t code, std::uint32_t value) {
    MessageRecord message;
    message.set(SettingWords::kValue, value);
    return engineCall(hDass, code, message);
}

inline ApiStatus sendNothing(HDASS hDass, std::uint32_t code) {
    MessageRecord message;
    return engineCall(hDass, code, message);
}

template <typename Out>
ApiStatus receiveWord(HDASS hDass, std::uint32_t code, Out* out) {
    MessageRecord message;
    const ApiStatus status = engineCall(hDass, code, message);
    if (status == HXNOERROR && out)
        *out = static_cast<Out>(message.get(SettingWords::kValue));
    return status;
}

inline ApiStatus sendEntryWord(HDASS hDass, std::uint32_t code, std::uint32_t entry,
                               std::uint32_t value) {
    MessageRecord message;
    message.set(EntryWords::kEntry, entry);
    message.set(EntryWords::kValue, value);
    return engineCall(hDass, code, message);
}

inline ApiStatus receiveEntryWord(HDASS hDass, std::uint32_t code, std::uint32_t entry, UINT* out) {
    MessageRecord message;
    message.set(EntryWords::kEntry, entry);
    const ApiStatus status = engineCall(hDass, code, message);
    if (status == HXNOERROR && out)
        *out = message.get(EntryWords::kValue);
    return status;
}

}  // namespace hxda
