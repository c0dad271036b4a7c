// Interlocked operations: they come with the base declarations that the kernel stand-in shares.
#pragma once

#include "base/base_types.h"
#include "win32/types.h"
