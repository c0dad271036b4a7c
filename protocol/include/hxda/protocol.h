// The protocol between the API library and a board driver: request records, the configuration
// block, request codes, the events a driver reports, 32.32 fixed point. Usable in user mode and in
// the kernel.
#pragma once

#include "hxda/configuration_block.h"
#include "hxda/driver_events.h"
#include "hxda/driver_request.h"
#include "hxda/fixed_point.h"
#include "hxda/request_codes.h"
