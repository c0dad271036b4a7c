// Connection points: how an object calls back the sinks that a container hands it (events and
// property-change notifications), and how a container finds the object's event interface.
//
// Rules kept from the platform:
// - Advise asks the sink for the point's interface (for an event dispatch interface, the sink may
//   answer IDispatch instead), keeps one reference and answers a cookie that is never 0;
//   CONNECT_E_CANNOTCONNECT when the sink has neither. Unadvise with an unknown cookie gives
//   CONNECT_E_NOCONNECTION.
// - FindConnectionPoint with an interface the object does not call gives CONNECT_E_NOCONNECTION.
// - Sinks are called synchronously on the thread that raises the event, each in the order it
//   was advised; a sink may unadvise (itself or another) while it is being called.
#pragma once

#include "com/base.h"
#include "com/dispatch.h"

#define CONNECT_E_NOCONNECTION MQ_HRESULT(0x80040200u)
#define CONNECT_E_ADVISELIMIT MQ_HRESULT(0x80040201u)
#define CONNECT_E_CANNOTCONNECT MQ_HRESULT(0x80040202u)

struct IConnectionPointContainer;

struct IConnectionPoint : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;

  protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

  protected:
    ~IConnectionPointContainer() = default;
};

// Told by an object when one of its properties has changed (OnChanged) or is about to change
// (OnRequestEdit: S_OK allows it).
struct IPropertyNotifySink : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispID) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID dispID) = 0;

  protected:
    ~IPropertyNotifySink() = default;
};

// The description of the object's class (TKIND_COCLASS), and the event interface directly.
struct IProvideClassInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) = 0;

  protected:
    ~IProvideClassInfo() = default;
};

#define GUIDKIND_DEFAULT_SOURCE_DISP_IID 1u

struct IProvideClassInfo2 : IProvideClassInfo {
    // E_INVALIDARG for another kind.
    virtual HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) = 0;

  protected:
    ~IProvideClassInfo2() = default;
};

inline constexpr IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPropertyNotifySink = {
    0x9BFBBC02, 0xEFF1, 0x101A, {0x84, 0xED, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IProvideClassInfo = {
    0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IProvideClassInfo2 = {
    0xA6BC3AC0, 0xDBAA, 0x11CE, {0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
