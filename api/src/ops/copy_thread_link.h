// What the request engine needs of a subsystem's copy thread: synchronous commands (acknowledged),
// posted commands, and the count of reads in process. The copy thread itself implements this;
// a subsystem without continuous transfers has none.
#pragma once

#include <cstdint>

#include "hxda/api_status.h"

namespace hxda {

struct SubsystemRecord;

class CopyThreadLink {
  public:
    virtual ~CopyThreadLink() = default;

    // Writes `command` (an HXDRV_ code) into the command slot, signals the thread and waits for
    // its acknowledgement; returns the acknowledge result.
    virtual ApiStatus command(std::uint32_t command) = 0;
    // Writes `command` into the command slot and signals the thread without waiting.
    virtual ApiStatus post(std::uint32_t command) = 0;
    // Reads handed to the driver and not yet completed.
    virtual std::uint32_t inProcessCount() const = 0;
};

// Synchronous and posted commands of the subsystem's copy thread; HXGENERALFAILURE when it
// has none.
ApiStatus commandCopyThread(SubsystemRecord& subsystem, std::uint32_t command);
ApiStatus postCopyThread(SubsystemRecord& subsystem, std::uint32_t command);

// Called when the driver refuses a start or prestart after the copy thread has queued its reads:
// the copy thread's abort cancels those reads, so their buffers return to the done list instead of
// staying in the driver with nothing left to collect them.
void recoverFromRefusedStart(SubsystemRecord& subsystem);

}  // namespace hxda
