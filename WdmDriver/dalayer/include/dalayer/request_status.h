// Where an NTSTATUS becomes the API status of a request record: a request the board layer served
// through a transaction with the board (a command, a pipe's transfer) answers HXNOERROR when the
// transaction succeeded and HXGENERALFAILURE when it failed. The program learns no more than that;
// the failing path's trace line says which pipe and which NTSTATUS.
#pragma once

#include "hxda/api_status.h"
#include "kernel/wdm.h"

namespace dalayer {

inline hxda::ApiStatus TransactionStatus(NTSTATUS status) {
    return NT_SUCCESS(status) ? hxda::ApiStatus(HXNOERROR) : hxda::ApiStatus(HXGENERALFAILURE);
}

}  // namespace dalayer
