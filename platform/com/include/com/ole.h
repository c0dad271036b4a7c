// Embedding a control in a container: the client site the container gives the control, the
// control's object and control interfaces, and the ambient properties.
//
// These are the members that containers and controls here use, not the platform's whole
// interfaces (their identifiers are our own, so nothing mistakes one for the other).
//
// Rules kept from the platform:
// - A control whose misc status has OLEMISC_SETCLIENTSITEFIRST gets its client site before it is
//   initialised or loaded (IPersist*::InitNew / Load).
// - Ambient properties are read with IDispatch::Invoke (DISPATCH_PROPERTYGET) on the client
//   site's IDispatch; a container that does not answer one leaves the control at its default
//   (for DISPID_AMBIENT_USERMODE: run mode, TRUE).
// - While the container has frozen events (FreezeEvents(TRUE) counted up, not yet counted down)
//   the control drops the events it would fire; property-change notifications still go out.
// - Extents are in HIMETRIC units (0.01 mm).
#pragma once

#include "com/base.h"
#include "com/dispatch.h"

// Ambient properties (read on the client site's IDispatch).
#define DISPID_AMBIENT_BACKCOLOR (-701)
#define DISPID_AMBIENT_DISPLAYNAME (-702)
#define DISPID_AMBIENT_LOCALEID (-705)
#define DISPID_AMBIENT_USERMODE (-709)
#define DISPID_AMBIENT_UIDEAD (-710)

// Misc status bits of a control class.
#define OLEMISC_RECOMPOSEONRESIZE 0x00000001u
#define OLEMISC_CANTLINKINSIDE 0x00000010u
#define OLEMISC_INSIDEOUT 0x00000080u
#define OLEMISC_ACTIVATEWHENVISIBLE 0x00000100u
#define OLEMISC_INVISIBLEATRUNTIME 0x00000400u
#define OLEMISC_SETCLIENTSITEFIRST 0x00020000u

#define DVASPECT_CONTENT 1u

struct SIZEL {
    LONG cx;
    LONG cy;
};

// The container's side of one embedded object.
struct IOleClientSite : IUnknown {
    // The container's window for the object (0 when it has none).
    virtual HRESULT STDMETHODCALLTYPE GetContainerWindow(HWND* window) = 0;
    // The object asks to be shown (design time) or to have its extent changed.
    virtual HRESULT STDMETHODCALLTYPE ShowObject() = 0;
    virtual HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() = 0;

  protected:
    ~IOleClientSite() = default;
};

// The embedded object.
struct IOleObject : IUnknown {
    // The site, with a reference the object keeps; null drops it.
    virtual HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* pClientSite) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** ppClientSite) = 0;
    // The container is done with the object: it drops its site and its sinks.
    virtual HRESULT STDMETHODCALLTYPE Close(DWORD dwSaveOption) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetExtent(DWORD dwDrawAspect, SIZEL* psizel) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* pClsid) = 0;

  protected:
    ~IOleObject() = default;
};

#define OLECLOSE_SAVEIFDIRTY 0u
#define OLECLOSE_NOSAVE 1u

struct IOleControl : IUnknown {
    // An ambient property changed (DISPID_UNKNOWN: several may have).
    virtual HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) = 0;
    // TRUE counts one freeze up, FALSE one down (never below 0).
    virtual HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) = 0;

  protected:
    ~IOleControl() = default;
};

inline constexpr IID IID_IOleClientSite = {
    0xc2a1214b, 0x61cd, 0x49a0, {0xa6, 0x35, 0xe4, 0x16, 0x17, 0x8d, 0xc4, 0xcb}};
inline constexpr IID IID_IOleObject = {
    0x37299ece, 0x005f, 0x4c75, {0x83, 0xf9, 0x5d, 0x39, 0xe2, 0x03, 0xc0, 0x56}};
inline constexpr IID IID_IOleControl = {
    0x181547e4, 0x7614, 0x4e95, {0x8d, 0x29, 0xba, 0x79, 0x9a, 0xb1, 0xe7, 0xc7}};
