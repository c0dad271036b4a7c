#include "settings/procedure_address.h"

#include "win32/module.h"

namespace hxda {

// Code lives in the program or a loaded library; an address anywhere else (heap, stack, a stray
// value) is no procedure.
bool isProcedureAddress(const void* address) {
    if (address == nullptr)
        return false;
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCSTR>(address), &module) != FALSE;
}

}  // namespace hxda
