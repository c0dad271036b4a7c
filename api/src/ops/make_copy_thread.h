// Making a subsystem's copy thread when the subsystem is opened.
#pragma once

#include <memory>

#include "core/records.h"
#include "ops/copy_thread_link.h"

namespace hxda {

// Starts the copy thread of `subsystem`, which must already hold its driver file, device,
// personality, configuration block and buffer lists. Sleeps the device's ThreadStartSleepTimeMSecs
// when that is nonzero. Null when the thread cannot be made (the subsystem's file is not a
// platform file, or an event or the thread cannot be created): opening then fails with
// HXGENERALFAILURE.
// The record must outlive the thread; resetting the returned pointer ends and joins the thread,
// and must happen before the subsystem's file is closed and its buffer lists are freed.
std::unique_ptr<CopyThreadLink> makeCopyThread(SubsystemRecord& subsystem);

}  // namespace hxda
