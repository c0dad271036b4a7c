#include "ops/copy_thread_link.h"

#include <atomic>

#include "core/message_codes.h"
#include "core/records.h"

namespace hxda {
namespace {

constexpr std::uint32_t kDefaultAcknowledgeTimeoutMs = 20000;
std::atomic<std::uint32_t> acknowledgeTimeout{kDefaultAcknowledgeTimeoutMs};

}  // namespace

std::uint32_t acknowledgeTimeoutMs() {
    return acknowledgeTimeout.load();
}

void setAcknowledgeTimeoutMs(std::uint32_t timeoutMs) {
    acknowledgeTimeout.store(timeoutMs == 0 ? kDefaultAcknowledgeTimeoutMs : timeoutMs);
}

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
