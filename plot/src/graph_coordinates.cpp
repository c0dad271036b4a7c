// Conversions between data points and the context's device points.
#include "data_mapping.h"
#include "graph_record.h"

using namespace plot32;

BOOL WINAPI GraphToClient(HGRAPH graph, double x, double y, LPPOINT point) {
    if (!point)
        return FALSE;
    const auto converted = WithRecord(graph, [&](GraphRecord& record) {
        POINT device{LogicalX(record, x), LogicalY(record, y)};
        const BOOL ok = LPtoDP(ContextOf(record), &device, 1);
        *point = device;
        return ok;
    });
    return converted.value_or(FALSE);
}

void WINAPI ClientToGraph(HGRAPH graph, int deviceX, int deviceY, double* x, double* y) {
    WithRecord(graph, [&](GraphRecord& record) {
        POINT logical{deviceX, deviceY};
        DPtoLP(ContextOf(record), &logical, 1);
        if (x)
            *x = logical.x / record.xScale + record.xMin;
        if (y)
            *y = logical.y / record.yScale + record.yMin;
        return true;
    });
}
