// Whether a caller's procedure pointer can be called: it must lie inside a module of the process.
#pragma once

namespace hxda {

bool isProcedureAddress(const void* address);

}  // namespace hxda
