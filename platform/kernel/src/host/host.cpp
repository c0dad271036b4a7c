#include "host/host.h"

namespace kernel::host {

std::uintptr_t CurrentThreadToken() {
    thread_local char marker;
    return reinterpret_cast<std::uintptr_t>(&marker);
}

}  // namespace kernel::host
