// Automation: IDispatch, its call records, its errors, and the member table that describes an
// automation interface (the reduced ITypeInfo that property browsers and containers read here).
//
// Invoke rules kept from the platform:
// - riid must be IID_NULL (else DISP_E_UNKNOWNINTERFACE); an unknown DISPID gives
//   DISP_E_MEMBERNOTFOUND.
// - rgvarg holds the arguments in reverse order: the last argument first. Named arguments come
//   first in rgvarg, their DISPIDs in rgdispidNamedArgs. A property put passes its value as the
//   one named argument DISPID_PROPERTYPUT; for an indexed property rgvarg[0] is the value and
//   rgvarg[1] the index.
// - Arguments are converted to the declared types as VariantChangeType converts; a failed
//   conversion gives its status (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW) with *puArgErr the rgvarg
//   position of the argument. A wrong argument count gives DISP_E_BADPARAMCOUNT; a put without
//   its DISPID_PROPERTYPUT argument DISP_E_PARAMNOTOPTIONAL; an unknown named argument
//   DISP_E_PARAMNOTFOUND.
// - A member that raises an error answers DISP_E_EXCEPTION and fills *pExcepInfo (when given):
//   wCode 0, scode the error's code, bstrDescription and bstrSource owned by the caller, who frees
//   them.
// - pVarResult may be null; the caller clears a result it receives.
#pragma once

#include "com/base.h"
#include "com/bstr.h"
#include "com/variant.h"

using DISPID = LONG;
using MEMBERID = DISPID;

#define DISPID_UNKNOWN (-1)
#define DISPID_VALUE 0
#define DISPID_PROPERTYPUT (-3)
#define DISPID_NEWENUM (-4)
#define DISPID_EVALUATE (-5)
#define DISPID_CONSTRUCTOR (-6)
#define DISPID_DESTRUCTOR (-7)
// Stock members of controls.
#define DISPID_HWND (-515)
#define DISPID_CAPTION (-518)
#define DISPID_ABOUTBOX (-552)

#define DISPATCH_METHOD 0x1u
#define DISPATCH_PROPERTYGET 0x2u
#define DISPATCH_PROPERTYPUT 0x4u
#define DISPATCH_PROPERTYPUTREF 0x8u

#define DISP_E_UNKNOWNINTERFACE MQ_HRESULT(0x80020001u)
#define DISP_E_MEMBERNOTFOUND MQ_HRESULT(0x80020003u)
#define DISP_E_PARAMNOTFOUND MQ_HRESULT(0x80020004u)
#define DISP_E_UNKNOWNNAME MQ_HRESULT(0x80020006u)
#define DISP_E_NONAMEDARGS MQ_HRESULT(0x80020007u)
#define DISP_E_EXCEPTION MQ_HRESULT(0x80020009u)
#define DISP_E_BADINDEX MQ_HRESULT(0x8002000Bu)
#define DISP_E_BADPARAMCOUNT MQ_HRESULT(0x8002000Eu)
#define DISP_E_PARAMNOTOPTIONAL MQ_HRESULT(0x8002000Fu)
#define TYPE_E_ELEMENTNOTFOUND MQ_HRESULT(0x8002802Bu)

// Error codes of the forms runtime (facility control): numbered errors 380, 383 and 394.
#define CTL_E_INVALIDPROPERTYVALUE MQ_HRESULT(0x800A017Cu)
#define CTL_E_SETNOTSUPPORTED MQ_HRESULT(0x800A017Fu)
#define CTL_E_GETNOTSUPPORTED MQ_HRESULT(0x800A0182u)

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
    SCODE scode;
};
using LPEXCEPINFO = EXCEPINFO*;

// Frees the texts of an EXCEPINFO that a call filled, and zeroes it.
void ClearExcepInfo(EXCEPINFO* info);

// What kind of access a member of a member table offers (combinable for properties).
enum INVOKEKIND : DWORD {
    INVOKE_FUNC = DISPATCH_METHOD,
    INVOKE_PROPERTYGET = DISPATCH_PROPERTYGET,
    INVOKE_PROPERTYPUT = DISPATCH_PROPERTYPUT,
};

enum TYPEKIND : DWORD {
    TKIND_DISPATCH = 4,
    TKIND_COCLASS = 5,
};

// Flags of the interfaces a class lists.
#define IMPLTYPEFLAG_FDEFAULT 0x1
#define IMPLTYPEFLAG_FSOURCE 0x2

// One member of an automation interface, as its member table describes it. Texts and arrays stay
// valid as long as the ITypeInfo that answered them.
struct MEMBERDESC {
    DISPID memid;
    LPCOLESTR name;
    DWORD invokeKinds;          // INVOKEKIND bits: a property has get and/or put
    VARTYPE type;               // a method's result (VT_EMPTY: none), or the property's type
    UINT cParams;               // method arguments, or a property's index arguments
    const VARTYPE* paramTypes;  // cParams types, in declaration order
    const LPCOLESTR* paramNames;
};

struct ITypeInfo;

// The description of an interface or of a class, from a table compiled into its module.
//
// For an interface: its members in table order. For a class (TKIND_COCLASS): no members, and the
// interfaces it implements, the default dispatch interface first and then its event interface
// (IMPLTYPEFLAG_FSOURCE).
struct ITypeInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetKind(TYPEKIND* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetGuid(GUID* guid) = 0;
    // The name, caller-owned.
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMemberCount(UINT* count) = 0;
    // TYPE_E_ELEMENTNOTFOUND past the end.
    virtual HRESULT STDMETHODCALLTYPE GetMember(UINT index, MEMBERDESC* member) = 0;
    // As IDispatch::GetIDsOfNames, without regard to case.
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                                    DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImplTypeCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetImplType(UINT index, INT* implTypeFlags,
                                                  ITypeInfo** typeInfo) = 0;

  protected:
    ~ITypeInfo() = default;
};

struct IDispatch : IUnknown {
    // 1 when GetTypeInfo can answer, else 0.
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    // The first name is a member's (compared without regard to case); the following ones name its
    // parameters, which are numbered 0, 1, ... in declaration order. An unknown name gives
    // DISP_E_UNKNOWNNAME with DISPID_UNKNOWN in its place.
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                    LCID lcid, DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid,
                                             WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                             UINT* puArgErr) = 0;

  protected:
    ~IDispatch() = default;
};
using LPDISPATCH = IDispatch*;

inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ITypeInfo = {
    0x5c12045d, 0xb813, 0x49f8, {0xaa, 0x7b, 0xa2, 0x56, 0x44, 0xb8, 0xb6, 0x18}};
