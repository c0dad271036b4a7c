#include "ops/copy_thread_link.h"

#include <atomic>

#include "core/message_codes.h"
#include "core/records.h"
#include "hxda/api_status.h"
#include "win32/timing.h"

namespace hxda {
namespace {

constexpr std::uint32_t kDefaultAcknowledgeTimeoutMs = 20000;
std::atomic<std::uint32_t> acknowledgeTimeout{kDefaultAcknowledgeTimeoutMs};

// On the tick count, the time every wait of the platform counts in.
thread_local bool callUnderWay = false;
thread_local ULONGLONG callDeadlineMs = 0;

}  // namespace

std::uint32_t acknowledgeTimeoutMs() {
    return acknowledgeTimeout.load();
}

void setAcknowledgeTimeoutMs(std::uint32_t timeoutMs) {
    acknowledgeTimeout.store(timeoutMs == 0 ? kDefaultAcknowledgeTimeoutMs : timeoutMs);
}

CallDeadline::CallDeadline() : outermost_(!callUnderWay) {
    if (!outermost_)
        return;
    callUnderWay = true;
    callDeadlineMs = GetTickCount64() + acknowledgeTimeoutMs();
}

CallDeadline::~CallDeadline() {
    if (outermost_)
        callUnderWay = false;
}

std::uint32_t CallDeadline::remainingMs() {
    if (!callUnderWay)
        return acknowledgeTimeoutMs();
    const ULONGLONG now = GetTickCount64();
    return now < callDeadlineMs ? static_cast<std::uint32_t>(callDeadlineMs - now) : 0;
}

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
