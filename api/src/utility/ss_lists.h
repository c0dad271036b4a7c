// Simultaneous-start lists: subsystems gathered to be prestarted and then started together.
#pragma once

#include <cstdint>
#include <vector>

#include "core/handle_table.h"
#include "hxdaapi32.h"

namespace hxda {

struct SimultaneousStartList {
    HSSLIST self = 0;
    std::vector<HDASS> members;  // in the order they were put
};

using SimultaneousStartListTable =
    HandleTable<SimultaneousStartList, 256, HandleKind::SimultaneousStartList>;
SimultaneousStartListTable& simultaneousStartLists();

}  // namespace hxda
