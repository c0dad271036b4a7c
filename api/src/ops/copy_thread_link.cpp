#include "ops/copy_thread_link.h"

#include "core/message_codes.h"
#include "core/records.h"

namespace hxda {

std::uint32_t commandCopyThread(SubsystemRecord& subsystem, std::uint32_t command) {
    if (!subsystem.copyThread)
        return HXGENERALFAILURE;
    subsystem.copyThreadCommand = command;
    return subsystem.copyThread->command(command);
}

std::uint32_t postCopyThread(SubsystemRecord& subsystem, std::uint32_t command) {
    if (!subsystem.copyThread)
        return HXGENERALFAILURE;
    subsystem.copyThreadCommand = command;
    return subsystem.copyThread->post(command);
}

void recoverFromRefusedStart(SubsystemRecord& subsystem) {
    if (subsystem.copyThread)
        subsystem.copyThread->command(HXDRV_ABORT);
}

}  // namespace hxda
