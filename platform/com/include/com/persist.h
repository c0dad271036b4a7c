// Persistence: how an object saves its state into a container's stream, storage or property bag
// and comes back from it, and the property bag itself.
//
// Rules kept from the platform:
// - A container either initialises a new object (InitNew) or loads it (Load), once, before using
//   it; Save writes the object's state and, with fClearDirty, clears its dirty flag, which
//   IsDirty answers (S_OK dirty, S_FALSE clean). GetSizeMax answers an upper bound of Save's bytes.
// - A property bag holds VARIANT values by name (compared without regard to case). Read with
//   pVar->vt VT_EMPTY answers the value as stored; with another type it converts as
//   VariantChangeType does, and a value that does not convert gives E_FAIL (and one AddError on
//   the error log, when one is given, with the conversion's status as scode). A name the bag does
//   not hold gives E_INVALIDARG. Write stores a copy (through a VT_BYREF, the value it points at),
//   replacing a value of the same name.
// - Read leaves *pVar untouched when it fails; on success the caller owns what *pVar holds.
#pragma once

#include "com/base.h"
#include "com/dispatch.h"
#include "com/storage.h"
#include "com/variant.h"

struct IPersist : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) = 0;

  protected:
    ~IPersist() = default;
};

struct IPersistStreamInit : IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IStream* pStm) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IStream* pStm, BOOL fClearDirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitNew() = 0;

  protected:
    ~IPersistStreamInit() = default;
};

// An object kept in a storage of the container's (here: one stream of it).
struct IPersistStorage : IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE InitNew(IStorage* pStg) = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IStorage* pStg) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IStorage* pStgSave, BOOL fSameAsLoad) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* pStgNew) = 0;
    virtual HRESULT STDMETHODCALLTYPE HandsOffStorage() = 0;

  protected:
    ~IPersistStorage() = default;
};

// Where a property bag's reader notes the properties it could not read.
struct IErrorLog : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR pszPropName, EXCEPINFO* pExcepInfo) = 0;

  protected:
    ~IErrorLog() = default;
};

struct IPropertyBag : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(LPCOLESTR pszPropName, VARIANT* pVar,
                                           IErrorLog* pErrorLog) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(LPCOLESTR pszPropName, VARIANT* pVar) = 0;

  protected:
    ~IPropertyBag() = default;
};

struct IPersistPropertyBag : IPersist {
    virtual HRESULT STDMETHODCALLTYPE InitNew() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IPropertyBag* pPropBag, BOOL fClearDirty,
                                           BOOL fSaveAllProperties) = 0;

  protected:
    ~IPersistPropertyBag() = default;
};

inline constexpr IID IID_IPersist = {
    0x0000010c, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistStreamInit = {
    0x7fd52380, 0x4e07, 0x101b, {0xae, 0x2d, 0x08, 0x00, 0x2b, 0x2e, 0xc7, 0x13}};
inline constexpr IID IID_IPersistStorage = {
    0x0000010a, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IErrorLog = {
    0x3127ca40, 0x446e, 0x11ce, {0x81, 0x35, 0x00, 0xaa, 0x00, 0x4b, 0xb8, 0x51}};
inline constexpr IID IID_IPropertyBag = {
    0x55272a00, 0x42cb, 0x11ce, {0x81, 0x35, 0x00, 0xaa, 0x00, 0x4b, 0xb8, 0x51}};
inline constexpr IID IID_IPersistPropertyBag = {
    0x37d84f60, 0x42cb, 0x11ce, {0x81, 0x35, 0x00, 0xaa, 0x00, 0x4b, 0xb8, 0x51}};

namespace com {

// A new, empty property bag held in memory, with one reference for the caller.
HRESULT CreateMemoryPropertyBag(IPropertyBag** bag);

}  // namespace com
