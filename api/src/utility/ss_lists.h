// Simultaneous-start lists: subsystems gathered to be prestarted and then started together.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "core/handle_table.h"
#include "hxdaapi32.h"

namespace hxda {

// A list may be shared by threads: its members are read and changed under its mutex, and the
// calls that start or enumerate them work on a copy taken under it.
struct SimultaneousStartList {
    HSSLIST self = 0;
    std::mutex mutex;
    std::vector<HDASS> members;  // in the order they were put; under mutex
};

using SimultaneousStartListTable =
    HandleTable<SimultaneousStartList, 256, HandleKind::SimultaneousStartList>;
SimultaneousStartListTable& simultaneousStartLists();

}  // namespace hxda
