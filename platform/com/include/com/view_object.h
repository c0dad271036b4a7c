// An object's picture: the view-object interface through which a container has an embedded
// object draw itself on a device context of the drawing interface (gdi/gdi.h), and the advise
// sink through which the object tells its container that its picture changed.
//
// These are the members that containers and controls here use, not the platform's whole
// interfaces (their identifiers are our own).
//
// Rules kept from the platform:
// - Draw draws the aspect asked for into the bounds, in the logical units of the context; only
//   DVASPECT_CONTENT with lindex -1 is drawn (another aspect answers DV_E_DVASPECT, another lindex
//   DV_E_LINDEX), and null bounds answer E_INVALIDARG.
// - An object keeps one view sink: SetAdvise replaces the sink it had (releasing it) and null
//   drops it. ADVF_PRIMEFIRST sends a first OnViewChange at once; with ADVF_ONLYONCE the sink is
//   dropped after the first OnViewChange it gets. OnViewChange reaches the sink only for an
//   aspect it was advised for.
// - GetAdvise writes through each pointer that is not null: the aspects, the flags and the sink
//   with a reference for the caller (null when there is none).
// - OnViewChange is called on the object's thread, synchronously here; the container only marks
//   the picture for repainting and never calls back into the object from it.
#pragma once

#include "com/base.h"
#include "com/ole.h"
#include "gdi/gdi.h"

struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECTL = RECTL*;
using LPCRECTL = const RECTL*;

// Advise flags of SetAdvise.
#define ADVF_ONLYONCE 0x00000004u
#define ADVF_PRIMEFIRST 0x00000002u

#define DV_E_LINDEX MQ_HRESULT(0x80040068u)
#define DV_E_DVASPECT MQ_HRESULT(0x8004006Bu)

// The container's side: told when the object's picture changed.
struct IAdviseSink : IUnknown {
    virtual void STDMETHODCALLTYPE OnViewChange(DWORD dwAspect, LONG lindex) = 0;

  protected:
    ~IAdviseSink() = default;
};

// The object's side: draws its picture and keeps the container's view sink.
struct IViewObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Draw(DWORD dwDrawAspect, LONG lindex, HDC hdcDraw,
                                           LPCRECTL lprcBounds) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD advf,
                                                IAdviseSink* pAdvSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* pAspects, DWORD* pAdvf,
                                                IAdviseSink** ppAdvSink) = 0;

  protected:
    ~IViewObject() = default;
};

inline constexpr IID IID_IAdviseSink = {
    0x6f0e2a41, 0x93c7, 0x4d5b, {0x9e, 0x12, 0x3b, 0x7a, 0xc4, 0x58, 0x0d, 0xe6}};
inline constexpr IID IID_IViewObject = {
    0x2b84d7c3, 0x1e5a, 0x4f60, {0xb7, 0x3d, 0x92, 0x0c, 0x6e, 0x41, 0xa8, 0x5f}};
