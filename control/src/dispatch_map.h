// The member tables of the control's dispatch interface and of its event interface.
#pragma once

#include "com/server/dispatch_table.h"

namespace mqacq32 {

const com::server::DispatchTable& ControlTable();
const com::server::DispatchTable& EventTable();

// Source of the control's raised errors (EXCEPINFO::bstrSource).
inline constexpr const char* kErrorSource = "MQAcq32";

}  // namespace mqacq32
