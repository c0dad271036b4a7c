#include "graph_record.h"

#include <cstdint>

namespace plot32 {

HDC ContextOf(const GraphRecord& record) {
    return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(record.dc));
}

HLOCAL BlockOf(HGRAPH graph) {
    return reinterpret_cast<HLOCAL>(static_cast<std::uintptr_t>(static_cast<DWORD>(graph)));
}

}  // namespace plot32
