// VARIANT: the typed value that automation calls pass, and the conversions between its types.
//
// Rules kept from the platform:
// - VariantInit makes VT_EMPTY; VariantClear frees what the variant owns (a BSTR, a reference on
//   an interface) and makes VT_EMPTY. A VT_BYREF variant owns nothing: it points at the caller's
//   storage.
// - VariantCopy copies a BSTR and adds a reference to an interface; VariantCopyInd copies the
//   value a VT_BYREF variant points at.
// - VariantChangeType converts in place (destination may be the source) and reads through
//   VT_BYREF. Numbers convert to any numeric type that holds them (floating to integer rounds
//   half to even), else DISP_E_OVERFLOW; a BOOL is -1 (VARIANT_TRUE) or 0 and any nonzero number
//   becomes VARIANT_TRUE; VT_EMPTY converts to 0 and to ""; a BSTR converts to a number when it
//   reads as one (blanks around it allowed, "True"/"False" for VT_BOOL), else
//   DISP_E_TYPEMISMATCH; numbers convert to text in the shortest form that reads back the same
//   (whole numbers of up to 15 digits, 7 for VT_R4, written out; exponents as "1E+15"; a BOOL as
//   "-1"/"0", or "True"/"False" with VARIANT_ALPHABOOL). VT_NULL, interfaces and unknown types do
//   not convert (DISP_E_TYPEMISMATCH, DISP_E_BADVARTYPE for an unknown type). On failure the
//   destination is left as it was.
#pragma once

#include "com/base.h"
#include "com/bstr.h"

struct IDispatch;

using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

#define VARIANT_TRUE (static_cast<VARIANT_BOOL>(-1))
#define VARIANT_FALSE (static_cast<VARIANT_BOOL>(0))

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0x0FFF,
};

// Flags of VariantChangeType.
#define VARIANT_NOVALUEPROP 0x0001u
#define VARIANT_ALPHABOOL 0x0002u

#define DISP_E_BADVARTYPE MQ_HRESULT(0x80020008u)
#define DISP_E_OVERFLOW MQ_HRESULT(0x8002000Au)
#define DISP_E_TYPEMISMATCH MQ_HRESULT(0x80020005u)

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        ULONGLONG ullVal;
        LONG lVal;
        ULONG ulVal;
        INT intVal;
        UINT uintVal;
        SHORT iVal;
        USHORT uiVal;
        CHAR cVal;
        BYTE bVal;
        FLOAT fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SHORT* piVal;
        LONG* plVal;
        FLOAT* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

extern "C" {

void WINAPI VariantInit(VARIANT* pvarg);
// E_INVALIDARG for a null pointer; DISP_E_BADVARTYPE for a type it does not know.
HRESULT WINAPI VariantClear(VARIANT* pvarg);
HRESULT WINAPI VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);
HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANT* pvargSrc);
// `vt` may not carry VT_BYREF (DISP_E_BADVARTYPE).
HRESULT WINAPI VariantChangeType(VARIANT* pvargDest, const VARIANT* pvarSrc, USHORT wFlags,
                                 VARTYPE vt);

}  // extern "C"

namespace com {

// An owned VARIANT, cleared when it goes.
class Variant : public VARIANT {
  public:
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant& other) : Variant() { VariantCopy(this, &other); }
    Variant& operator=(const Variant& other) {
        if (this != &other)
            VariantCopy(this, &other);
        return *this;
    }

    static Variant Short(SHORT value) {
        Variant v;
        v.vt = VT_I2;
        v.iVal = value;
        return v;
    }
    static Variant Long(LONG value) {
        Variant v;
        v.vt = VT_I4;
        v.lVal = value;
        return v;
    }
    static Variant Single(FLOAT value) {
        Variant v;
        v.vt = VT_R4;
        v.fltVal = value;
        return v;
    }
    static Variant Double(double value) {
        Variant v;
        v.vt = VT_R8;
        v.dblVal = value;
        return v;
    }
    static Variant Bool(bool value) {
        Variant v;
        v.vt = VT_BOOL;
        v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant Text(std::string_view narrow) {
        Variant v;
        v.vt = VT_BSTR;
        v.bstrVal = AllocBstr(narrow);
        return v;
    }
};

}  // namespace com
