#include "utility/ss_lists.h"

namespace hxda {

SimultaneousStartListTable& simultaneousStartLists() {
    static SimultaneousStartListTable table;
    return table;
}

}  // namespace hxda
