// The running-object table of the process: a server that is running as an application registers
// its application object under its class, so that a client attaches to that instance instead of
// making another (the language's GetObject with a class name only).
//
// Rules kept from the platform: RegisterActiveObject with ACTIVEOBJECT_STRONG holds a reference
// until RevokeActiveObject; with ACTIVEOBJECT_WEAK it holds none, and the object must revoke
// itself before it goes. GetActiveObject answers the object with a reference for the caller, or
// MK_E_UNAVAILABLE when no object of the class is registered. A class registered twice keeps
// the first registration as the one GetActiveObject answers until it is revoked.
#pragma once

#include "com/base.h"

#define ACTIVEOBJECT_STRONG 0x0u
#define ACTIVEOBJECT_WEAK 0x1u
#define MK_E_UNAVAILABLE MQ_HRESULT(0x800401E3u)

extern "C" {

// E_INVALIDARG for a null object; *pdwRegister is the token to revoke with.
HRESULT WINAPI RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags,
                                    DWORD* pdwRegister);
// E_INVALIDARG for a token that is not registered.
HRESULT WINAPI RevokeActiveObject(DWORD dwRegister, void* pvReserved);
HRESULT WINAPI GetActiveObject(REFCLSID rclsid, void* pvReserved, IUnknown** ppunk);

}  // extern "C"
