#include "ops/copy_thread_link.h"

#include "core/message_codes.h"
#include "core/records.h"
#include "hxda/api_status.h"

namespace hxda {

ApiStatus commandCopyThread(SubsystemRecord& subsystem, std::uint32_t command) {
    if (!subsystem.copyThread)
        return HXGENERALFAILURE;
    subsystem.copyThreadCommand = command;
    return subsystem.copyThread->command(command);
}

ApiStatus postCopyThread(SubsystemRecord& subsystem, std::uint32_t command) {
    if (!subsystem.copyThread)
        return HXGENERALFAILURE;
    subsystem.copyThreadCommand = command;
    return subsystem.copyThread->post(command);
}

void recoverFromRefusedStart(SubsystemRecord& subsystem) {
    if (subsystem.copyThread)
        // The driver's refusal is what the caller hears; the abort's own status adds nothing.
        static_cast<void>(subsystem.copyThread->command(HXDRV_ABORT));
}

}  // namespace hxda
