#include "core/tables.h"

namespace hxda {

DeviceTable& deviceTable() {
    static DeviceTable table;
    return table;
}

SubsystemTable& subsystemTable() {
    static SubsystemTable table;
    return table;
}

}  // namespace hxda
