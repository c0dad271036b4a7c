// What a container's property browser asks a control about its properties: the text to show for
// a value, the list of predefined choices (text and cookie) and the value behind a cookie.
//
// Rules kept from the platform:
// - GetDisplayString answers S_OK with a caller-owned BSTR, or E_NOTIMPL (and a null BSTR) when
//   the control has no text of its own for the property: the browser shows the value itself.
// - GetPredefinedStrings answers S_OK with two arrays of the same length: texts and their
//   cookies, each array and each text allocated with CoTaskMemAlloc and owned by the caller
//   (FreePredefined frees them). A property without a list gives E_NOTIMPL with both arrays empty
//   (cElems 0, pElems null).
// - GetPredefinedValue answers the value behind a cookie of that list (caller-owned VARIANT);
//   E_NOTIMPL for a property without a list.
// - MapPropertyToPage answers the class of the property page that edits the property, or
//   PERPROP_E_NOPAGEAVAILABLE (with CLSID_NULL).
#pragma once

#include <string>
#include <string_view>

#include "com/base.h"
#include "com/bstr.h"
#include "com/dispatch.h"
#include "com/variant.h"

#define PERPROP_E_NOPAGEAVAILABLE MQ_HRESULT(0x80040200u)

struct CALPOLESTR {
    ULONG cElems;
    LPOLESTR* pElems;
};

struct CADWORD {
    ULONG cElems;
    DWORD* pElems;
};

struct IPerPropertyBrowsing : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID dispID, BSTR* pBstr) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID dispID, CLSID* pClsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID dispID, CALPOLESTR* pCaStringsOut,
                                                           CADWORD* pCaCookiesOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID dispID, DWORD dwCookie,
                                                         VARIANT* pVarOut) = 0;

  protected:
    ~IPerPropertyBrowsing() = default;
};

inline constexpr IID IID_IPerPropertyBrowsing = {
    0x376bd3aa, 0x3845, 0x101b, {0x84, 0xed, 0x08, 0x00, 0x2b, 0x2e, 0xc7, 0x13}};

namespace com {

// A terminated 16-bit copy of `narrow` in task memory (CoTaskMemFree frees it); null when memory
// runs out.
LPOLESTR AllocTaskText(std::string_view narrow);
// Frees the arrays a GetPredefinedStrings answered, and empties them.
void FreePredefined(CALPOLESTR* strings, CADWORD* cookies);

}  // namespace com
