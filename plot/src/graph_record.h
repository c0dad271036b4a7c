// The record of an open graph, one block of the local heap, and the lookup of a handle.
#pragma once

#include <optional>
#include <type_traits>

#include "plot32.h"
#include "win32/local_heap.h"

namespace plot32 {

struct GraphRecord {
    DWORD dc;         // the caller's device context (a 32-bit token)
    DWORD spare;      // zero
    double xMin;      // data x at the y axis
    double xScale;    // logical units per data unit along x
    double yMin;      // data y at the x axis
    double yScale;    // logical units per data unit along y
    LONG charWidth;   // average character width of the context's font
    LONG lineHeight;  // character height plus external leading
    LONG savedDc;     // SaveDC's answer when the graph was opened
};

HDC ContextOf(const GraphRecord& record);
HLOCAL BlockOf(HGRAPH graph);

// Runs `use` on the record of a live graph (a block of the local heap of the record's size) and
// answers its result; nothing for a bad handle, whose block is never touched.
template <class Use>
auto WithRecord(HGRAPH graph, Use&& use) -> std::optional<std::invoke_result_t<Use, GraphRecord&>> {
    const HLOCAL block = BlockOf(graph);
    if (LocalSize(block) != sizeof(GraphRecord))
        return std::nullopt;
    auto* record = static_cast<GraphRecord*>(LocalLock(block));
    if (!record)
        return std::nullopt;
    auto result = use(*record);
    LocalUnlock(block);
    return result;
}

}  // namespace plot32
