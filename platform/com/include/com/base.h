// The component model's base: status codes (HRESULT), interface and class identifiers, wide
// characters, IUnknown and IClassFactory.
//
// Rules kept from the platform:
// - Every interface derives from IUnknown. QueryInterface answers S_OK with an added reference, or
//   E_NOINTERFACE with *ppv set to null; IID_IUnknown always gives the same pointer for one object.
// - AddRef and Release return the new count (for diagnostics only); the last Release frees the
//   object.
// - A caller that gets an interface pointer as an output owns one reference to it.
// OLECHAR is 16 bits wide, as on the platform; component texts (BSTR) use it.
#pragma once

#include <cstdint>

#include "win32/types.h"

#define STDMETHODCALLTYPE WINAPI
#define STDAPICALLTYPE WINAPI

using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using LCID = DWORD;
using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPCLSID = CLSID*;

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define MAKE_HRESULT(severity, facility, code)                   \
    (static_cast<HRESULT>((static_cast<DWORD>(severity) << 31) | \
                          (static_cast<DWORD>(facility) << 16) | static_cast<DWORD>(code)))
#define HRESULT_CODE(hr) (static_cast<DWORD>(hr) & 0xFFFFu)
#define HRESULT_FACILITY(hr) ((static_cast<DWORD>(hr) >> 16) & 0x1FFFu)

#define FACILITY_NULL 0u
#define FACILITY_ITF 4u
#define FACILITY_WIN32 7u
#define FACILITY_DISPATCH 2u
#define FACILITY_CONTROL 10u

// A platform error code (GetLastError value) as a status.
constexpr HRESULT HRESULT_FROM_WIN32(DWORD error) {
    return error == 0
               ? 0
               : static_cast<HRESULT>((error & 0xFFFFu) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

#define MQ_HRESULT(value) (static_cast<HRESULT>(static_cast<DWORD>(value)))
#define S_OK MQ_HRESULT(0x00000000u)
#define S_FALSE MQ_HRESULT(0x00000001u)
#define E_NOTIMPL MQ_HRESULT(0x80004001u)
#define E_NOINTERFACE MQ_HRESULT(0x80004002u)
#define E_POINTER MQ_HRESULT(0x80004003u)
#define E_ABORT MQ_HRESULT(0x80004004u)
#define E_FAIL MQ_HRESULT(0x80004005u)
#define E_UNEXPECTED MQ_HRESULT(0x8000FFFFu)
#define E_ACCESSDENIED MQ_HRESULT(0x80070005u)
#define E_HANDLE MQ_HRESULT(0x80070006u)
#define E_OUTOFMEMORY MQ_HRESULT(0x8007000Eu)
#define E_INVALIDARG MQ_HRESULT(0x80070057u)
#define CLASS_E_NOAGGREGATION MQ_HRESULT(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE MQ_HRESULT(0x80040111u)
#define REGDB_E_CLASSNOTREG MQ_HRESULT(0x80040154u)
#define REGDB_E_READREGDB MQ_HRESULT(0x80040150u)
#define REGDB_E_WRITEREGDB MQ_HRESULT(0x80040151u)
#define CO_E_NOTINITIALIZED MQ_HRESULT(0x800401F0u)
#define CO_E_CLASSSTRING MQ_HRESULT(0x800401F3u)
#define CO_E_DLLNOTFOUND MQ_HRESULT(0x800401F8u)
#define CO_E_ERRORINDLL MQ_HRESULT(0x800401F9u)
#define RPC_E_CHANGED_MODE MQ_HRESULT(0x80010106u)
#define SELFREG_E_TYPELIB MQ_HRESULT(0x80040200u)
#define SELFREG_E_CLASS MQ_HRESULT(0x80040201u)
#define OLE_E_NOTRUNNING MQ_HRESULT(0x80040005u)
#define OLE_E_NOCONNECTION MQ_HRESULT(0x80040004u)

// Compares identifiers as the platform's IsEqualGUID does.
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
    return a == b;
}
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
#define IID_NULL GUID_NULL
#define CLSID_NULL GUID_NULL

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

  protected:
    ~IUnknown() = default;  // objects go through Release, never delete
};
using LPUNKNOWN = IUnknown*;

// Makes instances of one class. CreateInstance with an outer object answers CLASS_E_NOAGGREGATION
// (no class here aggregates); LockServer(TRUE) keeps the server module loaded until a matching
// LockServer(FALSE).
struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;

  protected:
    ~IClassFactory() = default;
};

inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What a server module exports (by plain name) for the runtime's class lookup.
using DllGetClassObjectProc = HRESULT(STDAPICALLTYPE*)(REFCLSID rclsid, REFIID riid, void** ppv);
using DllCanUnloadNowProc = HRESULT(STDAPICALLTYPE*)();
using DllRegisterServerProc = HRESULT(STDAPICALLTYPE*)();
