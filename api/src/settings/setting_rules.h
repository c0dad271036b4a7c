// The rules every Set of the settings half follows unless it says otherwise:
//   1. a value out of range gets the setting's own status (tested by the caller);
//   2. without the capability behind the value, the stored value is accepted and any other
//      value refused with HXNOTSUPPORTED;
//   3. with the capability, a Set while the subsystem is running (state above HXSTATE_READY)
//      gives HXSUBSYSRUNNING;
//   4. a value equal to the stored one changes nothing; a new value is stored and the subsystem
//      needs configuring again (HXSTATE_NEEDSCONFIG).
#pragma once

#include <cstdint>

#include "core/message_layouts.h"
#include "core/message_record.h"
#include "core/records.h"
#include "hxda/api_status.h"
#include "ops/subsystem_state.h"

namespace hxda {

// The copy thread writes the state too (when a transfer ends): both sides use atomic accesses.
inline bool isRunning(SubsystemRecord& subsystem) {
    return loadState(subsystem) > HXSTATE_READY;
}

inline void needsConfiguration(SubsystemRecord& subsystem) {
    storeState(subsystem, HXSTATE_NEEDSCONFIG);
}

// Rules 3 and 4 for a field holding an already validated value.
template <typename Field>
ApiStatus storeSetting(SubsystemRecord& subsystem, Field& field, std::uint32_t value) {
    if (isRunning(subsystem))
        return HXSUBSYSRUNNING;
    if (static_cast<std::uint32_t>(field) == value)
        return HXNOERROR;
    field = static_cast<Field>(value);
    needsConfiguration(subsystem);
    return HXNOERROR;
}

// Rules 2 to 4. The comparison is made on the full value, so a value that a narrow field would
// truncate never passes as the stored one.
template <typename Field>
ApiStatus storeIfCapable(SubsystemRecord& subsystem, bool capable, Field& field,
                         std::uint32_t value) {
    if (!capable)
        return static_cast<std::uint32_t>(field) == value ? ApiStatus(HXNOERROR)
                                                          : ApiStatus(HXNOTSUPPORTED);
    return storeSetting(subsystem, field, value);
}

// A Get's one-word answer.
inline ApiStatus answerWord(MessageRecord& message, std::uint32_t value) {
    message.set(SettingWords::kValue, value);
    return HXNOERROR;
}

}  // namespace hxda
